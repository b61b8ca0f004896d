// Conversions between caller values and the stored bytes of each column type.
#include "dataset/FieldValue.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dataset/DateTime.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs::packet {
namespace {

// The standard conversion covers 32 bits (and hexadecimal); 8-byte columns also take wider
// decimal numbers.
std::optional<int64_t> ParseSigned(std::string_view text) {
  if (auto value = TryStrToInt(text)) return *value;
  std::string_view digits = text;
  if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
  int64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

std::optional<uint64_t> ParseUnsigned(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && digits[0] == '+') digits.remove_prefix(1);
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

[[noreturn]] void ThrowRange(const TColumn& column, const std::string& value) {
  const unsigned bits = 8u * column.Size;
  if (column.Base() == btUnsigned) {
    const uint64_t max = bits >= 64 ? UINT64_MAX : (1ull << bits) - 1;
    throw EDatabaseError(Format("%s is not a valid value for field '%s'. The allowed range is 0 to %llu",
                                value.c_str(), column.Def.Name.c_str(), static_cast<unsigned long long>(max)));
  }
  const int64_t max = bits >= 64 ? INT64_MAX : static_cast<int64_t>((1ull << (bits - 1)) - 1);
  throw EDatabaseError(Format("%s is not a valid value for field '%s'. The allowed range is %lld to %lld",
                              value.c_str(), column.Def.Name.c_str(), static_cast<long long>(-max - 1),
                              static_cast<long long>(max)));
}

std::string LittleEndian(uint64_t value, size_t bytes) {
  std::string out;
  AppendLittleEndian(out, value, bytes);
  return out;
}

std::string SignedPayload(const TColumn& column, int64_t value, const std::string& shown) {
  const unsigned bits = 8u * column.Size;
  if (bits < 64) {
    const int64_t max = static_cast<int64_t>((1ull << (bits - 1)) - 1);
    if (value > max || value < -max - 1) ThrowRange(column, shown);
  }
  return LittleEndian(static_cast<uint64_t>(value), column.Size);
}

std::string UnsignedPayload(const TColumn& column, uint64_t value, const std::string& shown) {
  const unsigned bits = 8u * column.Size;
  if (bits < 64 && value > (1ull << bits) - 1) ThrowRange(column, shown);
  return LittleEndian(value, column.Size);
}

// Fixed-size text and byte columns are padded with zeros or cut to their size.
std::string FitFixed(const TColumn& column, std::string_view bytes) {
  std::string out(bytes);
  if (column.Storage == TStorage::Fixed) out.resize(column.Size, '\0');
  return out;
}

size_t TextLimit(const TColumn& column) {
  const uint64_t size = static_cast<uint64_t>(std::max(column.Def.Size, 0));
  return static_cast<size_t>(std::min<uint64_t>(size, column.MaxPayload));
}

int64_t CheckedOrdinal(const TColumn& column, std::string_view payload) {
  const int64_t ordinal = SignedFromPayload(payload);
  if (ordinal < datetime::FirstOrdinal || ordinal > datetime::LastOrdinal)
    throw EConvertError(Format("Field '%s' holds an invalid date", column.Def.Name.c_str()));
  return ordinal;
}

int64_t CheckedTime(const TColumn& column, std::string_view payload) {
  const int64_t ms = SignedFromPayload(payload);
  if (ms < 0 || ms >= datetime::MsPerDay)
    throw EConvertError(Format("Field '%s' holds an invalid time", column.Def.Name.c_str()));
  return ms;
}

datetime::TSplitStamp CheckedStamp(const TColumn& column, std::string_view payload) {
  const auto stamp = datetime::SplitTimestamp(DoubleFromPayload(payload));
  if (!stamp) throw EConvertError(Format("Field '%s' holds an invalid date and time", column.Def.Name.c_str()));
  return *stamp;
}

}  // namespace

int64_t SignedFromPayload(std::string_view payload) {
  const size_t bytes = std::min<size_t>(payload.size(), 8);
  const uint64_t raw = ReadLittleEndian(payload.data(), bytes);
  if (bytes == 0 || bytes == 8) return static_cast<int64_t>(raw);
  const unsigned shift = static_cast<unsigned>(64 - 8 * bytes);
  return static_cast<int64_t>(raw << shift) >> shift;  // sign-extends
}

uint64_t UnsignedFromPayload(std::string_view payload) {
  return ReadLittleEndian(payload.data(), std::min<size_t>(payload.size(), 8));
}

double DoubleFromPayload(std::string_view payload) {
  return std::bit_cast<double>(UnsignedFromPayload(payload));
}

std::string PayloadFromDouble(double value) { return LittleEndian(std::bit_cast<uint64_t>(value), 8); }

std::string FloatToText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char text[40];
  std::snprintf(text, sizeof text, "%.15G", value);
  std::string out(text);
  // "1.5E-05" -> "1.5E-5", "1E+20" -> "1E20"
  const size_t e = out.find('E');
  if (e != std::string::npos) {
    size_t digits = e + 1;
    if (out[digits] == '+') out.erase(digits, 1);
    else if (out[digits] == '-') ++digits;
    while (digits + 1 < out.size() && out[digits] == '0') out.erase(digits, 1);
  }
  return out;
}

bool NullReadsAsZero(const TColumn& column) {
  if (column.Storage == TStorage::Array) return false;
  const uint8_t base = column.Base();
  return base != btString && base != btUnicode && base != btBytes && base != btBCD;
}

std::optional<std::string> PayloadFromText(const TColumn& column, std::string_view text) {
  if (column.Storage == TStorage::Array) return std::string(text);
  switch (column.Base()) {
    case btString: {
      text = text.substr(0, text.find('\0'));
      return FitFixed(column, text.substr(0, NarrowCutLength(text, TextLimit(column))));
    }
    case btUnicode:
      return PayloadFromWideText(column, NarrowToWide(text));
    case btBytes:
    case btBCD:
      return FitFixed(column, text);
    default:
      break;
  }
  // Empty text clears every other kind of field.
  if (text.empty()) return std::nullopt;
  switch (column.Base()) {
    case btSigned: {
      // Only 8-byte columns go past the 32 bits of the standard conversion.
      const auto value = column.Size == 8 ? ParseSigned(text) : std::optional<int64_t>(TryStrToInt(text));
      if (!value) throw EConvertError(Format("'%s' is not a valid integer value", std::string(text).c_str()));
      return SignedPayload(column, *value, std::string(text));
    }
    case btUnsigned: {
      if (const auto value = TryStrToInt(text)) {
        if (*value < 0) ThrowRange(column, std::string(text));
        return UnsignedPayload(column, static_cast<uint64_t>(*value), std::string(text));
      }
      const auto value = column.Size >= 4 ? ParseUnsigned(text) : std::nullopt;
      if (!value) throw EConvertError(Format("'%s' is not a valid integer value", std::string(text).c_str()));
      return UnsignedPayload(column, *value, std::string(text));
    }
    case btBoolean:
      return LittleEndian(StrToBool(text) ? 1 : 0, column.Size);
    case btFloat:
      return PayloadFromDouble(StrToFloat(text));
    case btDate: {
      const auto stamp = datetime::ParseProcessDateTime(text);
      if (!stamp) throw EConvertError(Format("'%s' is not a valid date", std::string(text).c_str()));
      return LittleEndian(static_cast<uint64_t>(static_cast<int64_t>(*stamp) / datetime::MsPerDay), 4);
    }
    case btTime: {
      const auto ms = datetime::ParseProcessTime(text);
      if (!ms) throw EConvertError(Format("'%s' is not a valid time", std::string(text).c_str()));
      return LittleEndian(static_cast<uint64_t>(*ms), 4);
    }
    case btTimestamp: {
      const auto stamp = datetime::ParseProcessDateTime(text);
      if (!stamp) throw EConvertError(Format("'%s' is not a valid date and time", std::string(text).c_str()));
      return PayloadFromDouble(*stamp);
    }
    default:
      return FitFixed(column, text);
  }
}

std::optional<std::string> PayloadFromWideText(const TColumn& column, std::u16string_view text) {
  if (column.Storage == TStorage::Array || column.Base() != btUnicode)
    return PayloadFromText(column, WideToNarrow(text));
  text = text.substr(0, text.find(u'\0'));
  size_t units = std::min(text.size(), TextLimit(column) / 2);
  // Never keep the first half of a surrogate pair without its second.
  if (units < text.size() && units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF) --units;
  std::string bytes;
  bytes.reserve(units * 2);
  for (size_t i = 0; i < units; ++i) AppendLittleEndian(bytes, text[i], 2);
  return FitFixed(column, bytes);
}

std::optional<std::string> PayloadFromBytes(const TColumn& column, std::string_view bytes) {
  if (column.Storage == TStorage::Array) return std::string(bytes);
  switch (column.Base()) {
    case btBytes:
    case btBCD:
      return FitFixed(column, bytes);
    case btUnicode: {
      std::u16string units(bytes.size() / 2, u'\0');
      for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(ReadLittleEndian(bytes.data() + 2 * i, 2));
      return PayloadFromWideText(column, units);
    }
    default:
      return PayloadFromText(column, bytes);
  }
}

std::string PayloadFromInteger(const TColumn& column, int64_t value) {
  if (column.Storage != TStorage::Array) {
    switch (column.Base()) {
      case btSigned:
        return SignedPayload(column, value, std::to_string(value));
      case btUnsigned:
        if (value < 0) ThrowRange(column, std::to_string(value));
        return UnsignedPayload(column, static_cast<uint64_t>(value), std::to_string(value));
      case btBoolean:
        return LittleEndian(value != 0 ? 1 : 0, column.Size);
      case btFloat:
        return PayloadFromDouble(static_cast<double>(value));
      default:
        break;
    }
  }
  return PayloadFromText(column, std::to_string(value)).value_or(std::string());
}

std::string PayloadFromFloat(const TColumn& column, double value) {
  if (column.Storage != TStorage::Array) {
    switch (column.Base()) {
      case btFloat:
        return PayloadFromDouble(value);
      case btSigned:
      case btUnsigned:
        if (!std::isfinite(value) || std::fabs(value) >= 9.2e18) ThrowRange(column, FloatToText(value));
        return PayloadFromInteger(column, std::llround(value));
      case btBoolean:
        return LittleEndian(value != 0 ? 1 : 0, column.Size);
      case btDate:
      case btTime:
      case btTimestamp:
        return PayloadFromDateTime(column, value);
      default:
        break;
    }
  }
  return PayloadFromText(column, FloatToText(value)).value_or(std::string());
}

std::string PayloadFromDateTime(const TColumn& column, double value) {
  const auto stamp = datetime::SplitTimestamp(datetime::TimestampFromTDateTime(value));
  if (!stamp) throw EConvertError(Format("%s is not a valid date and time", FloatToText(value).c_str()));
  if (column.Storage != TStorage::Array) {
    switch (column.Base()) {
      case btTimestamp:
        return PayloadFromDouble(datetime::TimestampFromParts(stamp->Ordinal, stamp->MsOfDay));
      case btDate: {
        // A TDateTime before 1899-12-30 counts its time backwards, so the day is the whole part.
        const int64_t ordinal = static_cast<int64_t>(std::trunc(value)) + datetime::TDateTimeDayOffset;
        return LittleEndian(static_cast<uint64_t>(ordinal), 4);
      }
      case btTime: {
        const double fraction = std::fabs(value - std::trunc(value));
        const int64_t ms = std::llround(fraction * static_cast<double>(datetime::MsPerDay)) % datetime::MsPerDay;
        return LittleEndian(static_cast<uint64_t>(ms), 4);
      }
      case btFloat:
        return PayloadFromDouble(value);
      default:
        break;
    }
  }
  return PayloadFromText(column, datetime::FormatProcessDateTime(*stamp)).value_or(std::string());
}

std::string TextFromPayload(const TColumn& column, std::string_view payload) {
  if (column.Storage == TStorage::Array) return std::string(payload);
  switch (column.Base()) {
    case btSigned: return std::to_string(SignedFromPayload(payload));
    case btUnsigned: return std::to_string(UnsignedFromPayload(payload));
    case btBoolean: return UnsignedFromPayload(payload) != 0 ? "True" : "False";
    case btFloat: return FloatToText(DoubleFromPayload(payload));
    case btDate: return datetime::FormatProcessDate(CheckedOrdinal(column, payload));
    case btTime: return datetime::FormatProcessTime(CheckedTime(column, payload));
    case btTimestamp: return datetime::FormatProcessDateTime(CheckedStamp(column, payload));
    case btString:
      // A fixed-size text is padded with zeros.
      if (column.Storage == TStorage::Fixed) payload = payload.substr(0, payload.find('\0'));
      return std::string(payload);
    case btUnicode: return WideToNarrow(WideTextFromPayload(column, payload));
    default: return std::string(payload);
  }
}

std::u16string WideTextFromPayload(const TColumn& column, std::string_view payload) {
  if (column.Storage == TStorage::Array || column.Base() != btUnicode)
    return NarrowToWide(TextFromPayload(column, payload));
  std::u16string text(payload.size() / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char16_t>(ReadLittleEndian(payload.data() + 2 * i, 2));
  if (column.Storage == TStorage::Fixed) text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

int32_t IntegerFromPayload(const TColumn& column, std::string_view payload) {
  if (column.Storage != TStorage::Array) {
    switch (column.Base()) {
      case btSigned:
      case btUnsigned: {
        const bool isSigned = column.Base() == btSigned;
        const int64_t value = isSigned ? SignedFromPayload(payload) : static_cast<int64_t>(UnsignedFromPayload(payload));
        const bool fits = isSigned || UnsignedFromPayload(payload) <= INT32_MAX;
        if (fits && value >= INT32_MIN && value <= INT32_MAX) return static_cast<int32_t>(value);
        break;  // the text conversion below reports it
      }
      case btBoolean:
        return UnsignedFromPayload(payload) != 0 ? 1 : 0;
      case btFloat: {
        const double value = std::round(DoubleFromPayload(payload));
        if (value >= INT32_MIN && value <= INT32_MAX) return static_cast<int32_t>(value);
        break;
      }
      default:
        break;
    }
  }
  return StrToInt(TextFromPayload(column, payload));
}

double FloatFromPayload(const TColumn& column, std::string_view payload) {
  if (column.Storage != TStorage::Array) {
    switch (column.Base()) {
      case btSigned: return static_cast<double>(SignedFromPayload(payload));
      case btUnsigned: return static_cast<double>(UnsignedFromPayload(payload));
      case btBoolean: return UnsignedFromPayload(payload) != 0 ? 1 : 0;
      case btFloat: return DoubleFromPayload(payload);
      case btDate:
      case btTime:
      case btTimestamp: return DateTimeFromPayload(column, payload);
      default: break;
    }
  }
  return StrToFloat(TextFromPayload(column, payload));
}

double DateTimeFromPayload(const TColumn& column, std::string_view payload) {
  if (column.Storage != TStorage::Array) {
    switch (column.Base()) {
      case btDate:
        return static_cast<double>(SignedFromPayload(payload) - datetime::TDateTimeDayOffset);
      case btTime:
        return static_cast<double>(SignedFromPayload(payload)) / static_cast<double>(datetime::MsPerDay);
      case btTimestamp:
        return datetime::TDateTimeFromTimestamp(DoubleFromPayload(payload));
      case btFloat:
        return DoubleFromPayload(payload);
      default:
        break;
    }
  }
  const std::string text = TextFromPayload(column, payload);
  const auto stamp = datetime::ParseProcessDateTime(text);
  if (!stamp) throw EConvertError(Format("'%s' is not a valid date and time", text.c_str()));
  return datetime::TDateTimeFromTimestamp(*stamp);
}

}  // namespace trs::packet
