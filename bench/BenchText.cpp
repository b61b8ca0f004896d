// UTF-8 decoding of a large request body, beside memcpy of the same bytes.
#include <cstdio>
#include <cstring>
#include <string>

#include "BenchClock.h"
#include "platform/Text.h"
#include "platform/Utf8.h"

namespace {

// A body of `bytes` bytes made by repeating `unit`.
std::string Body(const std::string& unit, size_t bytes) {
  std::string body;
  body.reserve(bytes + unit.size());
  while (body.size() < bytes) body += unit;
  return body;
}

}  // namespace

int main() {
  constexpr size_t Size = 50u << 20;
  const std::pair<const char*, std::string> bodies[] = {
      {"JSON-like, mostly ASCII", Body(R"({"name":"Widget 42","qty":"7","price":"19.90","note":"组装"},)", Size)},
      {"Chinese text", Body("发票明细商品名称规格数量单价金额", Size)},
  };
  std::printf("%-26s %12s %14s %8s %18s\n", "body (50 MB)", "memcpy GB/s", "decode GB/s", "ratio",
              "+ fresh buffer GB/s");
  for (const auto& [name, body] : bodies) {
    std::string copy(body.size(), '\0');
    const double copySeconds = trs::bench::BestSeconds(5, [&] { std::memcpy(copy.data(), body.data(), body.size()); });
    // Decoding into a buffer that already has the room, as memcpy writes into one; then the
    // whole call as a request makes it, with a new 100 MB buffer (page faults included).
    std::u16string text;
    bool decoded = trs::utf8::DecodeBody(body, text);
    const double decodeSeconds = trs::bench::BestSeconds(5, [&] { decoded &= trs::utf8::DecodeBody(body, text); });
    size_t units = 0;
    const double freshSeconds = trs::bench::BestSeconds(5, [&] { units += trs::DecodeUtf8Body(body).size(); });
    if (!decoded || units == 0) return 1;  // the body must decode: an empty result would be a wrong figure
    const double gb = static_cast<double>(body.size()) / 1e9;
    std::printf("%-26s %12.2f %14.2f %7.2fx %18.2f\n", name, gb / copySeconds, gb / decodeSeconds,
                copySeconds / decodeSeconds, gb / freshSeconds);
  }
  return 0;
}
