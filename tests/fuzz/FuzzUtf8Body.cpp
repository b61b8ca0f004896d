// Fuzz target: the request-body decoder and the result encoder, which must round-trip
// every body they accept.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Text.h"
#include "platform/Utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  std::u16string text;
  if (trs::utf8::DecodeBody(body, text)) {
    if (text.size() > body.size()) std::abort();
    // Re-encoding and decoding again must give the same units.
    std::u16string again;
    if (!trs::utf8::DecodeBody(trs::EncodeUtf8Result(text), again) || again != text) std::abort();
  }
  const std::u16string strict = trs::utf8::ToUtf16(body);
  if (trs::utf8::ToUtf16(trs::utf8::FromUtf16(strict)) != strict) std::abort();
  (void)trs::utf8::PrefixLength(body, size / 2);
  return 0;
}
