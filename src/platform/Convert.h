// Text to number conversions with the runtime's error texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trs {

// The standard integer conversion: an optional sign, then decimal digits, or hexadecimal
// digits after "$" or "0x". Values outside 32 bits fail.
std::optional<int32_t> TryStrToInt(std::string_view text);
// As TryStrToInt; fails with "'%s' is not a valid integer value".
int32_t StrToInt(std::string_view text);
// Numbers (zero is false) or True/False in any letter case; else
// "'%s' is not a valid boolean value".
bool StrToBool(std::string_view text);
// Decimal floating point with "." as separator, blanks around allowed; else
// "'%s' is not a valid floating point value".
double StrToFloat(std::string_view text);

std::string IntToStr(long long value);

// The value of one hexadecimal digit (either case), or -1 for any other character.
int HexDigitValue(char c);

}  // namespace trs
