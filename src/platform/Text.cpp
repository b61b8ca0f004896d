// The platform-neutral part of the text model: case, trimming, the body/result codecs and
// the narrow page <-> UTF-8 conversions built on each platform's narrow <-> wide ones.
#include "platform/Text.h"

#include "platform/Utf8.h"

namespace trs {

// Through UTF-16, whatever the narrow page's platform conversion is.
std::string NarrowToUtf8(std::string_view text) {
  if (NarrowIsUtf8()) return std::string(text);
  return utf8::FromUtf16(NarrowToWide(text));
}

std::string Utf8ToNarrow(std::string_view text) {
  if (NarrowIsUtf8()) return std::string(text);
  return WideToNarrow(utf8::ToUtf16(text));
}

WideString DecodeUtf8Body(std::string_view body) {
  WideString text;
  if (!utf8::DecodeBody(body, text)) text.clear();
  return text;
}

std::string EncodeUtf8Result(std::u16string_view text) {
  std::string out;
  utf8::EncodeResult(text, out);
  return out;
}

WideString Utf8ToWide(std::string_view utf8) { return utf8::ToUtf16(utf8); }

namespace {
template <typename Char>
Char LowerChar(Char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c + ('a' - 'A')) : c;
}

template <typename Char>
std::basic_string_view<Char> TrimImpl(std::basic_string_view<Char> text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned>(text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned>(text[last - 1]) <= 32) --last;
  return text.substr(first, last - first);
}
}  // namespace

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = LowerChar(c);
  return out;
}

WideString LowerAscii(std::u16string_view text) {
  WideString out(text);
  for (char16_t& c : out) c = LowerChar(c);
  return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerChar(a[i]) != LowerChar(b[i])) return false;
  return true;
}

std::string_view Trim(std::string_view text) { return TrimImpl(text); }
std::u16string_view Trim(std::u16string_view text) { return TrimImpl(text); }

}  // namespace trs
