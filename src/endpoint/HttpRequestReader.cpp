// The request reader: request line, header lines, body, parameters.
#include "endpoint/HttpRequestReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "endpoint/HttpParams.h"
#include "platform/Text.h"

namespace trs {

namespace {

constexpr size_t ReadChunk = 16384;
constexpr size_t BodyChunk = 65536;
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

// Reads from the stream straight into the end of `target`, at most `limit` bytes.
long ReadAppend(IHttpStream& stream, std::string& target, size_t limit) {
  const size_t old = target.size();
  target.resize(old + limit);
  const long n = stream.Read(target.data() + old, limit);
  target.resize(old + (n > 0 ? static_cast<size_t>(n) : 0));
  return n;
}

}  // namespace

std::optional<uint64_t> ParseHttpContentLength(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  constexpr uint64_t Max = std::numeric_limits<uint64_t>::max();
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<uint64_t>(c - '0');
    value = value > (Max - digit) / 10 ? Max : value * 10 + digit;
  }
  return negative ? 0 : value;
}

long THttpRequestReader::Fill() {
  // Drop what has been consumed once it is worth a copy.
  if (Position > ReadChunk * 4) {
    Buffer.erase(0, Position);
    Position = 0;
  }
  return ReadAppend(Stream, Buffer, ReadChunk);
}

bool THttpRequestReader::ReadLine(std::string& line) {
  size_t scanned = 0;  // bytes after Position already known to hold no LF
  for (;;) {
    const size_t available = Buffer.size() - Position;
    const char* start = Buffer.data() + Position;
    const void* lf = std::memchr(start + scanned, '\n', available - scanned);
    if (lf != nullptr) {
      const auto length = static_cast<size_t>(static_cast<const char*>(lf) - start);
      line.assign(start, length);
      Position += length + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line.size() <= HttpMaxLineLength;
    }
    // Without its LF the line is already too long, even if its last byte is a CR to drop.
    if (available > HttpMaxLineLength + 1) return false;
    scanned = available;
    if (Fill() <= 0) return false;  // a line cut off by the close or the timeout
  }
}

THttpReadResult THttpRequestReader::Read(THttpRequest& request) {
  std::string line;
  if (!ReadLine(line)) return THttpReadResult::Drop;
  const size_t lastBlank = line.rfind(' ');
  if (lastBlank == std::string::npos) return THttpReadResult::Drop;
  const std::string_view command = std::string_view(line).substr(0, lastBlank);
  const size_t firstBlank = command.find(' ');
  request.Method = UpperAscii(command.substr(0, firstBlank));
  if (!IsReadMethod(request.Method)) return THttpReadResult::Drop;
  request.Target = firstBlank == std::string_view::npos ? std::string() : std::string(command.substr(firstBlank + 1));
  request.Version = line.substr(lastBlank + 1);

  size_t headerBytes = 0;
  for (;;) {
    if (!ReadLine(line)) return THttpReadResult::Drop;
    if (line.empty()) break;
    headerBytes += line.size() + 1;
    if (headerBytes > HttpMaxHeaderBytes) return THttpReadResult::Drop;
    const size_t colon = line.find(':');
    const std::string_view text(line);
    if (colon == std::string::npos)
      request.Headers.emplace_back(Trim(text), std::string());
    else
      request.Headers.emplace_back(Trim(text.substr(0, colon)), Trim(text.substr(colon + 1)));
  }

  const THttpReadResult body = ReadBody(request, request.RawBody);
  if (body != THttpReadResult::Request) return body;
  request.Params = DecodeHttpParams(HttpParamSource(request));
  return THttpReadResult::Request;
}

THttpReadResult THttpRequestReader::ReadBody(const THttpRequest& request, std::string& body) {
  const std::string* lengthText = request.FindHeader("Content-Length");
  const std::optional<uint64_t> length =
      lengthText == nullptr ? std::nullopt : ParseHttpContentLength(*lengthText);
  const std::string_view buffered = std::string_view(Buffer).substr(Position);

  if (length.has_value() && *length > 0) {
    if (*length > MaxBodySize) return THttpReadResult::TooLarge;
    const auto wanted = static_cast<size_t>(*length);
    body.reserve(std::min(wanted, MaxBodyReserve));
    body.assign(buffered.substr(0, wanted));
    while (body.size() < wanted)
      if (ReadAppend(Stream, body, std::min(BodyChunk, wanted - body.size())) <= 0)
        return THttpReadResult::Drop;  // the body was cut off
    return THttpReadResult::Request;
  }

  if (!length.has_value() && request.Method == "POST") {
    body.assign(buffered);
    for (;;) {
      if (body.size() > MaxBodySize) return THttpReadResult::TooLarge;
      const long n = ReadAppend(Stream, body, BodyChunk);
      if (n == 0) return THttpReadResult::Request;  // the client closed its side: the body is complete
      if (n < 0) return THttpReadResult::Drop;
    }
  }
  return THttpReadResult::Request;
}

}  // namespace trs
