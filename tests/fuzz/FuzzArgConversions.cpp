// Fuzz target: the argument conversions of the driver commands. TryStrToInt and StrToInt
// agree, a value printed with IntToStr (or in its "$"/"0x" hexadecimal forms) reads back
// as itself, and StrToBool follows the integer reading, the two words and the decimal one.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// The error text of a conversion, which cuts the quoted text at a zero byte.
std::string Quoted(const std::string& text, const char* rest) {
  return "'" + text.substr(0, text.find('\0')) + "'" + rest;
}

void CheckValueRoundTrips(int32_t value) {
  const std::string decimal = trs::IntToStr(value);
  Check(decimal == std::to_string(value));
  Check(trs::TryStrToInt(decimal) == value);
  Check(trs::StrToInt(decimal) == value);
  if (value >= 0) Check(trs::TryStrToInt("+" + decimal) == value);
  const auto bits = static_cast<uint32_t>(value);
  const uint32_t negated = 0u - bits;
  char hex[32];
  // The 32-bit pattern reads back as the value, in any case and with leading zeros; a
  // minus sign before the pattern of -value gives the value too.
  for (const char* form : {"$%X", "$%x", "0x%X", "0X%x", "$000%X", "0x00%x", "+$%X"}) {
    std::snprintf(hex, sizeof hex, form, bits);
    Check(trs::TryStrToInt(hex) == value);
  }
  for (const char* form : {"-$%X", "-0x%x"}) {
    std::snprintf(hex, sizeof hex, form, negated);
    Check(trs::TryStrToInt(hex) == value);
  }
  Check(trs::StrToBool(decimal) == (value != 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  const std::optional<int32_t> parsed = trs::TryStrToInt(text);
  try {
    const int32_t value = trs::StrToInt(text);
    Check(parsed == value);
  } catch (const trs::EConvertError& error) {
    Check(!parsed);
    Check(error.GetMessage() == Quoted(text, " is not a valid integer value"));
  }
  if (parsed) CheckValueRoundTrips(*parsed);

  // Any 32-bit value, taken from the input's first bytes.
  uint32_t raw = 0;
  std::memcpy(&raw, data, std::min<size_t>(size, sizeof raw));
  CheckValueRoundTrips(static_cast<int32_t>(raw));

  // StrToBool: an integer is true when not zero; then True/False in any case; then a
  // decimal number as StrToFloat reads it; anything else is the Boolean error.
  bool isFloat = false;
  double number = 0;
  try {
    number = trs::StrToFloat(text);
    isFloat = true;
  } catch (const trs::EConvertError& error) {
    Check(error.GetMessage() == Quoted(text, " is not a valid floating point value"));
  }
  try {
    const bool value = trs::StrToBool(text);
    if (parsed) Check(value == (*parsed != 0));
    else if (trs::SameTextAscii(text, "true")) Check(value);
    else if (trs::SameTextAscii(text, "false")) Check(!value);
    else Check(isFloat && value == (number != 0));
  } catch (const trs::EConvertError& error) {
    Check(!parsed && !trs::SameTextAscii(text, "true") && !trs::SameTextAscii(text, "false") && !isFloat);
    Check(error.GetMessage() == Quoted(text, " is not a valid boolean value"));
  }
  return 0;
}
