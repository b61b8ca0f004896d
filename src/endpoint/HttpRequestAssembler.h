// Assembles one HTTP request from its bytes as they arrive, so that a server can read many
// connections without blocking on any of them. THttpRequestReader reads through it, so both
// paths share one grammar and one set of limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "endpoint/HttpMessage.h"

namespace trs {

// The longest request or header line, without its line end.
inline constexpr size_t HttpMaxLineLength = 16384;
// All header lines together; far above what a browser sends, it only bounds the memory a
// client can make the server hold.
inline constexpr size_t HttpMaxHeaderBytes = size_t{1} << 20;
// The largest request body accepted (256 MiB).
inline constexpr uint64_t HttpDefaultMaxBodySize = uint64_t{256} << 20;
// What all requests being read or handled may hold together (512 MiB).
inline constexpr uint64_t HttpDefaultRequestMemory = uint64_t{512} << 20;

enum class THttpReadResult {
  Request,   // a complete request: answer it
  Drop,      // unreadable, unknown method or cut off: close without a response
  TooLarge,  // the body exceeds the limit: answer 413 without calling the handler
  // Outcomes the server decides, never the parser:
  TimedOut,    // the request did not arrive whole within its deadline: 408
  OverBudget,  // the request would take the server past its memory for requests: 503
};

// The request line is taken up to LF (a CR before it dropped) and split at its last blank
// into command and version; the method is the command's first word, upper-cased, the rest is
// the target. GET, POST, HEAD and OPTIONS are read (header lines up to the first empty one,
// then the body); anything else is dropped at once. A line over HttpMaxLineLength, or
// headers over HttpMaxHeaderBytes, drop the request.
//
// The body is Content-Length bytes when that header (name in any case, a trimmed decimal)
// is above zero; a POST without a valid Content-Length runs until the client closes its
// side; any other request has no body. Params are decoded from HttpParamSource() once the
// request is complete.
//
// Invariant: once an outcome has been returned, it stays; later bytes are ignored.
class THttpRequestAssembler {
 public:
  explicit THttpRequestAssembler(uint64_t maxBodySize = HttpDefaultMaxBodySize) : MaxBodySize(maxBodySize) {}

  // Takes the next bytes the client sent; the outcome once it is known, else nullopt.
  std::optional<THttpReadResult> Feed(std::string_view bytes);
  // The client closed its side: a body read until the close is complete, anything else was
  // cut off.
  THttpReadResult FeedEnd();

  std::optional<THttpReadResult> Outcome() const { return Result; }
  // The request line and headers are in; the body (if any) follows.
  bool HeadComplete() const { return Stage == TStage::Body || Stage == TStage::BodyUntilClose || Stage == TStage::Done; }
  // Nothing at all has arrived yet.
  bool Untouched() const { return Buffer.empty() && Stage == TStage::RequestLine; }
  // The body bytes announced by Content-Length (0 when there is none or it is read until close).
  uint64_t DeclaredBodySize() const { return Declared; }
  // The bytes this request holds or has announced it will: what a server counts against its
  // memory budget.
  uint64_t MemoryClaimed() const;
  // How much one read should take at most: a line at a time in the head, so that an endless
  // line is noticed without buffering much beyond it; large pieces for the body, but never
  // past its end.
  size_t PreferredReadSize() const;

  // The request read so far; complete once the outcome is Request.
  THttpRequest& Request() { return Assembled; }

 private:
  enum class TStage { RequestLine, Headers, Body, BodyUntilClose, Done };

  std::optional<THttpReadResult> ParseHead();
  std::optional<THttpReadResult> StartBody();
  std::optional<THttpReadResult> TakeBody(std::string_view bytes);
  THttpReadResult Finish(THttpReadResult result);

  uint64_t MaxBodySize;
  TStage Stage = TStage::RequestLine;
  std::optional<THttpReadResult> Result;
  THttpRequest Assembled;
  std::string Buffer;    // head bytes received; those before Position are consumed
  size_t Position = 0;
  size_t Scanned = 0;    // bytes after Position already known to hold no LF
  size_t HeaderBytes = 0;
  uint64_t Declared = 0;
};

}  // namespace trs
