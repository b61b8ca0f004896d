// One HTTP exchange as the request handler sees it: the request read from the wire, the
// response it fills in, and the handler type the server calls.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Text.h"

namespace trs {

struct THttpRequest {
  std::string Method;   // upper-cased: GET, POST, HEAD (OPTIONS never reaches a handler)
  std::string Target;   // as sent, e.g. "/?Get=IsPrinting"
  std::string Version;  // e.g. "HTTP/1.1"
  std::vector<std::pair<std::string, std::string>> Headers;  // arrival order, values trimmed
  std::string RawBody;                                       // body bytes, undecoded
  std::vector<std::string> Params;  // parameter lines "name=value", decoded, arrival order

  // The value of the first header of that name (matched without case), or nullptr.
  const std::string* FindHeader(std::string_view name) const {
    for (const auto& [headerName, value] : Headers)
      if (SameTextAscii(headerName, name)) return &value;
    return nullptr;
  }
};

struct THttpResponse {
  int Status = 200;
  std::string Content;  // bytes sent as the body
  // Sent after the fixed headers, in this order; empty for an ordinary answer.
  std::vector<std::pair<std::string, std::string>> ExtraHeaders{};
};

// Called once per request on a connection thread; may throw (the server answers 500 with
// the message).
using THttpHandler = std::function<void(const THttpRequest&, THttpResponse&)>;

}  // namespace trs
