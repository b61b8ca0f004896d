// Reads one HTTP request from a byte stream, with the tolerance and the limits pages rely on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "endpoint/HttpMessage.h"
#include "endpoint/HttpStream.h"

namespace trs {

// The longest request or header line, without its line end.
inline constexpr size_t HttpMaxLineLength = 16384;
// All header lines together; far above what a browser sends, it only bounds the memory a
// client can make the server hold.
inline constexpr size_t HttpMaxHeaderBytes = size_t{1} << 20;
// The largest request body accepted (256 MiB).
inline constexpr uint64_t HttpDefaultMaxBodySize = uint64_t{256} << 20;

enum class THttpReadResult {
  Request,   // a complete request: answer it
  Drop,      // unreadable, unknown method, cut off or timed out: close without a response
  TooLarge,  // the body exceeds the limit: answer 413 without calling the handler
};

// One request per reader. The request line is read up to LF (a CR before it dropped) and
// split at its last blank into command and version; the method is the command's first
// word, upper-cased, the rest is the target. GET, POST, HEAD and OPTIONS are read (header
// lines up to the first empty one, then the body); anything else is dropped unread.
//
// The body is Content-Length bytes when that header (name in any case, a trimmed decimal)
// is above zero; a POST without a valid Content-Length reads until the client closes its
// side; any other request has no body. Params are decoded from HttpParamSource().
class THttpRequestReader {
 public:
  explicit THttpRequestReader(IHttpStream& stream, uint64_t maxBodySize = HttpDefaultMaxBodySize)
      : Stream(stream), MaxBodySize(maxBodySize) {}

  THttpReadResult Read(THttpRequest& request);

 private:
  bool ReadLine(std::string& line);
  long Fill();
  THttpReadResult ReadBody(const THttpRequest& request, std::string& body);

  IHttpStream& Stream;
  uint64_t MaxBodySize;
  std::string Buffer;  // bytes received and not yet consumed start at Position
  size_t Position = 0;
};

// A Content-Length value: optional blanks, an optional sign, decimal digits. nullopt when it
// is not a number; values beyond 64 bits saturate, negative values count as 0.
std::optional<uint64_t> ParseHttpContentLength(std::string_view text);

}  // namespace trs
