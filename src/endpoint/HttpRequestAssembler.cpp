// The incremental request parser: request line, header lines, body, parameters.
#include "endpoint/HttpRequestAssembler.h"

#include <algorithm>
#include <cstring>

#include "endpoint/HttpParams.h"
#include "endpoint/HttpRequestReader.h"
#include "platform/Text.h"

namespace trs {

namespace {

constexpr size_t HeadReadSize = 16384;
constexpr size_t BodyReadSize = 65536;
// What is reserved up front for a declared body: a client may announce far more than it sends.
constexpr size_t MaxBodyReserve = size_t{1} << 20;

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  return out;
}

bool IsReadMethod(const std::string& method) {
  return method == "GET" || method == "POST" || method == "HEAD" || method == "OPTIONS";
}

}  // namespace

std::optional<THttpReadResult> THttpRequestAssembler::Feed(std::string_view bytes) {
  if (Result) return Result;
  if (Stage == TStage::Body || Stage == TStage::BodyUntilClose) return TakeBody(bytes);
  Buffer.append(bytes);
  return ParseHead();
}

THttpReadResult THttpRequestAssembler::FeedEnd() {
  if (Result) return *Result;
  return Finish(Stage == TStage::BodyUntilClose ? THttpReadResult::Request : THttpReadResult::Drop);
}

uint64_t THttpRequestAssembler::MemoryClaimed() const {
  return Buffer.size() + std::max<uint64_t>(Declared, Assembled.RawBody.size());
}

size_t THttpRequestAssembler::PreferredReadSize() const {
  if (Stage == TStage::Body) return static_cast<size_t>(std::min<uint64_t>(BodyReadSize, Declared - Assembled.RawBody.size()));
  return Stage == TStage::BodyUntilClose ? BodyReadSize : HeadReadSize;
}

std::optional<THttpReadResult> THttpRequestAssembler::ParseHead() {
  std::string line;
  for (;;) {
    const size_t available = Buffer.size() - Position;
    const char* start = Buffer.data() + Position;
    const void* lf = std::memchr(start + Scanned, '\n', available - Scanned);
    if (lf == nullptr) {
      // Without its LF the line is already too long, even if its last byte is a CR to drop.
      if (available > HttpMaxLineLength + 1) return Finish(THttpReadResult::Drop);
      Scanned = available;
      return std::nullopt;
    }
    const auto length = static_cast<size_t>(static_cast<const char*>(lf) - start);
    line.assign(start, length);
    Position += length + 1;
    Scanned = 0;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > HttpMaxLineLength) return Finish(THttpReadResult::Drop);

    if (Stage == TStage::RequestLine) {
      const size_t lastBlank = line.rfind(' ');
      if (lastBlank == std::string::npos) return Finish(THttpReadResult::Drop);
      const std::string_view command = std::string_view(line).substr(0, lastBlank);
      const size_t firstBlank = command.find(' ');
      Assembled.Method = UpperAscii(command.substr(0, firstBlank));
      if (!IsReadMethod(Assembled.Method)) return Finish(THttpReadResult::Drop);
      Assembled.Target =
          firstBlank == std::string_view::npos ? std::string() : std::string(command.substr(firstBlank + 1));
      Assembled.Version = line.substr(lastBlank + 1);
      Stage = TStage::Headers;
      continue;
    }
    if (line.empty()) return StartBody();
    HeaderBytes += line.size() + 1;
    if (HeaderBytes > HttpMaxHeaderBytes) return Finish(THttpReadResult::Drop);
    const size_t colon = line.find(':');
    const std::string_view text(line);
    if (colon == std::string::npos)
      Assembled.Headers.emplace_back(Trim(text), std::string());
    else
      Assembled.Headers.emplace_back(Trim(text.substr(0, colon)), Trim(text.substr(colon + 1)));
  }
}

std::optional<THttpReadResult> THttpRequestAssembler::StartBody() {
  // A missing or non-numeric Content-Length counts as absent.
  const std::string* lengthText = Assembled.FindHeader("Content-Length");
  bool hasLength = false;
  uint64_t length = 0;
  if (lengthText != nullptr) {
    const std::optional<uint64_t> parsed = ParseHttpContentLength(*lengthText);
    hasLength = parsed.has_value();
    length = parsed.value_or(0);
  }
  // What arrived after the empty line already belongs to the body; the head buffer goes.
  std::string rest = Buffer.substr(Position);
  Buffer = std::string();
  Position = 0;

  if (length > 0) {
    if (length > MaxBodySize) return Finish(THttpReadResult::TooLarge);
    Declared = length;
    Assembled.RawBody.reserve(static_cast<size_t>(std::min<uint64_t>(Declared, MaxBodyReserve)));
    Stage = TStage::Body;
    return TakeBody(rest);
  }
  if (!hasLength && Assembled.Method == "POST") {
    Stage = TStage::BodyUntilClose;
    return TakeBody(rest);
  }
  return Finish(THttpReadResult::Request);
}

std::optional<THttpReadResult> THttpRequestAssembler::TakeBody(std::string_view bytes) {
  std::string& body = Assembled.RawBody;
  if (Stage == TStage::Body) {
    body.append(bytes.substr(0, static_cast<size_t>(Declared - body.size())));
    if (body.size() == Declared) return Finish(THttpReadResult::Request);
    return std::nullopt;
  }
  body.append(bytes);
  if (body.size() > MaxBodySize) return Finish(THttpReadResult::TooLarge);
  return std::nullopt;
}

THttpReadResult THttpRequestAssembler::Finish(THttpReadResult result) {
  Stage = TStage::Done;
  Buffer = std::string();
  Position = 0;
  if (result == THttpReadResult::Request) Assembled.Params = DecodeHttpParams(HttpParamSource(Assembled));
  Result = result;
  return result;
}

}  // namespace trs
