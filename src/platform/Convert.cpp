// Text to number conversions with the runtime's error texts.
#include "platform/Convert.h"

#include <charconv>
#include <cmath>

#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs {
namespace {

// A whole decimal number ("." as the separator whatever the locale); no hexadecimal, no
// infinities, no NaN.
std::optional<double> ParseDecimal(std::string_view text) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value,
                                            std::chars_format::general);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

}  // namespace

std::optional<int32_t> TryStrToInt(std::string_view text) {
  size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  bool hex = false;
  if (pos < text.size() && text[pos] == '$') {
    hex = true;
    ++pos;
  } else if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    hex = true;
    pos += 2;
  }
  if (pos == text.size()) return std::nullopt;
  uint64_t value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = hex ? HexDigitValue(text[pos]) : (text[pos] >= '0' && text[pos] <= '9' ? text[pos] - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFULL) return std::nullopt;
  }
  if (hex) {
    // Hexadecimal spells the 32-bit pattern: $FFFFFFFF is -1.
    const auto bits = static_cast<int32_t>(static_cast<uint32_t>(value));
    return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(bits)) : bits;
  }
  if (negative ? value > 0x80000000ULL : value > 0x7FFFFFFFULL) return std::nullopt;
  return negative ? static_cast<int32_t>(-static_cast<int64_t>(value)) : static_cast<int32_t>(value);
}

int32_t StrToInt(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value;
  throw EConvertError(Format("'%.*s' is not a valid integer value", static_cast<int>(text.size()), text.data()));
}

bool StrToBool(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value != 0;
  if (SameTextAscii(text, "true")) return true;
  if (SameTextAscii(text, "false")) return false;
  // Fractional numbers count as numbers too.
  if (auto number = ParseDecimal(Trim(text))) return *number != 0;
  throw EConvertError(Format("'%.*s' is not a valid boolean value", static_cast<int>(text.size()), text.data()));
}

double StrToFloat(std::string_view text) {
  if (auto value = ParseDecimal(Trim(text))) return *value;
  throw EConvertError(Format("'%.*s' is not a valid floating point value", static_cast<int>(text.size()), text.data()));
}

std::string IntToStr(long long value) { return std::to_string(value); }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace trs
