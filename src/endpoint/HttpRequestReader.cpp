// The blocking request reader over the incremental parser, and Content-Length values.
#include "endpoint/HttpRequestReader.h"

#include <limits>
#include <vector>

#include "platform/Text.h"

namespace trs {

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

THttpReadResult THttpRequestReader::Read(THttpRequest& request) {
  THttpRequestAssembler assembler(MaxBodySize);
  std::vector<char> buffer;
  std::optional<THttpReadResult> result;
  while (!result) {
    // Never more than the assembler wants: the bytes after a request stay in the stream.
    const size_t wanted = assembler.PreferredReadSize();
    if (buffer.size() < wanted) buffer.resize(wanted);
    const long n = Stream.Read(buffer.data(), wanted);
    if (n < 0)
      result = THttpReadResult::Drop;
    else if (n == 0)
      result = assembler.FeedEnd();
    else
      result = assembler.Feed(std::string_view(buffer.data(), static_cast<size_t>(n)));
  }
  request = std::move(assembler.Request());
  return *result;
}

}  // namespace trs
