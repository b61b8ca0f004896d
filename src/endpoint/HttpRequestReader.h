// Reads one HTTP request from a byte stream, with the tolerance and the limits pages rely on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "endpoint/HttpMessage.h"
#include "endpoint/HttpRequestAssembler.h"
#include "endpoint/HttpStream.h"

namespace trs {

// One request per reader, pulled from a blocking stream and parsed by THttpRequestAssembler
// (whose comment gives the grammar). A stream failure (-1) drops the request; the peer's
// close ends a body read until the close and cuts off anything else.
class THttpRequestReader {
 public:
  explicit THttpRequestReader(IHttpStream& stream, uint64_t maxBodySize = HttpDefaultMaxBodySize)
      : Stream(stream), MaxBodySize(maxBodySize) {}

  // Fills `request` with what was read (complete when the result is Request).
  THttpReadResult Read(THttpRequest& request);

 private:
  IHttpStream& Stream;
  uint64_t MaxBodySize;
};

// A Content-Length value: optional blanks, an optional sign, decimal digits. nullopt when it
// is not a number; values beyond 64 bits saturate, negative values count as 0.
std::optional<uint64_t> ParseHttpContentLength(std::string_view text);

}  // namespace trs
