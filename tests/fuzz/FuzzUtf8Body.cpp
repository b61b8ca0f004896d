// Fuzz target: the request-body decoder and the result encoder, which must round-trip
// every body they accept.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/Text.h"
#include "platform/Utf8.h"

namespace {

// The body rules one byte at a time, with none of the decoder's fast paths: the decoder
// must agree with it on every input.
bool ReferenceDecode(std::string_view body, std::u16string& out) {
  out.clear();
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(body[i]); };
  const auto continuation = [&](size_t i) { return i < body.size() && (byte(i) & 0xC0) == 0x80; };
  for (size_t i = 0; i < body.size();) {
    const unsigned lead = byte(i);
    if (lead < 0x80) {
      out += static_cast<char16_t>(lead);
      i += 1;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
      if (!continuation(i + 1) || !continuation(i + 2) || !continuation(i + 3)) return false;
      const uint32_t cp = ((lead & 7u) << 18) | ((byte(i + 1) & 0x3Fu) << 12) | ((byte(i + 2) & 0x3Fu) << 6) | (byte(i + 3) & 0x3Fu);
      if (cp < 0x10000 || cp > 0x10FFFF) return false;
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
      i += 4;
    } else if (lead & 0x20) {
      if (!continuation(i + 1) || !continuation(i + 2)) return false;
      out += static_cast<char16_t>(((lead & 0xFu) << 12) | ((byte(i + 1) & 0x3Fu) << 6) | (byte(i + 2) & 0x3Fu));
      i += 3;
    } else {
      if (!continuation(i + 1)) return false;
      out += static_cast<char16_t>(((lead & 0x1Fu) << 6) | (byte(i + 1) & 0x3Fu));
      i += 2;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  std::u16string text;
  std::u16string expected;
  const bool accepted = trs::utf8::DecodeBody(body, text);
  if (accepted != ReferenceDecode(body, expected) || (accepted && text != expected)) std::abort();
  if (accepted) {
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
