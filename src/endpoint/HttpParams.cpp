// Parameter source selection and the URL decoding of parameter lines.
#include "endpoint/HttpParams.h"

#include "platform/Convert.h"
#include "platform/Text.h"

namespace trs {

namespace {

// Reads `count` hex digits at text[pos...]; false when any is missing or not hex.
bool ReadHex(std::string_view text, size_t pos, size_t count, unsigned& value) {
  if (pos + count > text.size()) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    const int digit = HexDigitValue(text[pos + i]);
    if (digit < 0) return false;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return true;
}

}  // namespace

std::string HttpParamSource(const THttpRequest& request) {
  const size_t question = request.Target.find('?');
  const std::string_view query =
      question == std::string::npos ? std::string_view() : std::string_view(request.Target).substr(question + 1);
  const std::string* contentType = request.FindHeader("Content-Type");
  if (contentType == nullptr || LowerAscii(*contentType) != "application/x-www-form-urlencoded")
    return std::string(query);
  std::string source = request.RawBody;
  if (!source.empty() && !query.empty()) source += '&';
  source.append(query);
  return source;
}

std::vector<std::string> DecodeHttpParams(std::string_view source) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < source.size()) {
    size_t end = source.find('&', start);
    if (end == std::string_view::npos) end = source.size();
    lines.push_back(DecodeHttpParam(source.substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

std::string DecodeHttpParam(std::string_view piece) {
  std::string out;
  out.reserve(piece.size());
  // A run of %u escapes is converted as one text, so that a surrogate pair written as two
  // escapes becomes one character rather than two unconvertible halves.
  std::u16string units;
  const auto flushUnits = [&] {
    if (!units.empty()) {
      out += WideToNarrow(units);
      units.clear();
    }
  };
  size_t i = 0;
  while (i < piece.size()) {
    const char c = piece[i];
    unsigned value = 0;
    if (c == '%') {
      if (i + 1 < piece.size() && piece[i + 1] == 'u' && ReadHex(piece, i + 2, 4, value)) {
        if (value != 0) units.push_back(static_cast<char16_t>(value));
        i += 6;
        continue;
      }
      if (ReadHex(piece, i + 1, 2, value)) {
        flushUnits();
        if (value != 0) out.push_back(static_cast<char>(value));
        i += 3;
        continue;
      }
    }
    flushUnits();
    out.push_back(c == '+' ? ' ' : c);
    ++i;
  }
  flushUnits();
  return out;
}

}  // namespace trs
