// Calendar arithmetic and the text forms of dates and times.
#include "dataset/DateTime.h"

#include <cmath>
#include <cstdio>

#include "platform/Text.h"

namespace trs::datetime {
namespace {

// Days between 0001-01-01 (ordinal 1) and 1970-01-01, the epoch of the civil algorithm.
constexpr int64_t UnixEpochOrdinal = 719163;

// Reads between minDigits and maxDigits decimal digits at `pos`.
bool ReadNumber(std::string_view text, size_t& pos, size_t minDigits, size_t maxDigits, int& value) {
  size_t digits = 0;
  int result = 0;
  while (pos < text.size() && digits < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
    result = result * 10 + (text[pos] - '0');
    ++pos;
    ++digits;
  }
  value = result;
  return digits >= minDigits;
}

bool ReadChar(std::string_view text, size_t& pos, char expected) {
  if (pos >= text.size() || text[pos] != expected) return false;
  ++pos;
  return true;
}

bool ValidTime(int hour, int minute, int second, int ms) {
  return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 &&
         ms >= 0 && ms < 1000;
}

int64_t MsOfDay(int hour, int minute, int second, int ms) {
  return ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + ms;
}

// "yyyymmdd" from `pos`.
std::optional<int64_t> ReadXmlDate(std::string_view text, size_t& pos) {
  int year = 0, month = 0, day = 0;
  if (!ReadNumber(text, pos, 4, 4, year) || !ReadNumber(text, pos, 2, 2, month) ||
      !ReadNumber(text, pos, 2, 2, day) || !ValidCivilDate(year, month, day))
    return std::nullopt;
  return OrdinalFromCivil(year, month, day);
}

// "hh:nn:ss" and optionally three digits of milliseconds, from `pos` to the end.
std::optional<int64_t> ReadXmlTime(std::string_view text, size_t& pos) {
  int hour = 0, minute = 0, second = 0, ms = 0;
  if (!ReadNumber(text, pos, 2, 2, hour) || !ReadChar(text, pos, ':') ||
      !ReadNumber(text, pos, 2, 2, minute) || !ReadChar(text, pos, ':') ||
      !ReadNumber(text, pos, 2, 2, second))
    return std::nullopt;
  // Milliseconds are three digits or absent; fewer digits would be ambiguous.
  if (pos < text.size() && !ReadNumber(text, pos, 3, 3, ms)) return std::nullopt;
  if (pos != text.size() || !ValidTime(hour, minute, second, ms)) return std::nullopt;
  return MsOfDay(hour, minute, second, ms);
}

}  // namespace

bool ValidCivilDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int DaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int last = DaysInMonth[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= last;
}

// Counts days in 400-year eras whose years start in March, so the leap day falls last.
int64_t OrdinalFromCivil(int year, int month, int day) {
  const int64_t y = static_cast<int64_t>(year) - (month <= 2 ? 1 : 0);
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yearOfEra = y - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468 + UnixEpochOrdinal;
}

TCivilDate CivilFromOrdinal(int64_t ordinal) {
  const int64_t z = ordinal - UnixEpochOrdinal + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t monthPos = (5 * dayOfYear + 2) / 153;
  TCivilDate date;
  date.Day = static_cast<int>(dayOfYear - (153 * monthPos + 2) / 5 + 1);
  date.Month = static_cast<int>(monthPos < 10 ? monthPos + 3 : monthPos - 9);
  date.Year = static_cast<int>(yearOfEra + era * 400 + (date.Month <= 2 ? 1 : 0));
  return date;
}

std::optional<TSplitStamp> SplitTimestamp(double ms) {
  if (!std::isfinite(ms)) return std::nullopt;
  const double rounded = std::round(ms);
  if (rounded < static_cast<double>(FirstOrdinal * MsPerDay) ||
      rounded >= static_cast<double>((LastOrdinal + 1) * MsPerDay))
    return std::nullopt;
  const auto whole = static_cast<int64_t>(rounded);
  return TSplitStamp{whole / MsPerDay, whole % MsPerDay};
}

double TimestampFromTDateTime(double value) {
  return (value + static_cast<double>(TDateTimeDayOffset)) * static_cast<double>(MsPerDay);
}

double TDateTimeFromTimestamp(double ms) {
  return ms / static_cast<double>(MsPerDay) - static_cast<double>(TDateTimeDayOffset);
}

std::optional<double> ParseProcessDateTime(std::string_view text) {
  text = Trim(text);
  size_t pos = 0;
  int year = 0, month = 0, day = 0;
  if (!ReadNumber(text, pos, 4, 4, year) || !ReadChar(text, pos, '-') ||
      !ReadNumber(text, pos, 1, 2, month) || !ReadChar(text, pos, '-') ||
      !ReadNumber(text, pos, 1, 2, day) || !ValidCivilDate(year, month, day))
    return std::nullopt;
  int64_t msOfDay = 0;
  if (pos < text.size()) {
    if (!ReadChar(text, pos, ' ')) return std::nullopt;
    const auto time = ParseProcessTime(text.substr(pos));
    if (!time) return std::nullopt;
    msOfDay = *time;
  }
  return TimestampFromParts(OrdinalFromCivil(year, month, day), msOfDay);
}

std::optional<int32_t> ParseProcessTime(std::string_view text) {
  text = Trim(text);
  size_t pos = 0;
  int hour = 0, minute = 0, second = 0;
  if (!ReadNumber(text, pos, 1, 2, hour) || !ReadChar(text, pos, ':') ||
      !ReadNumber(text, pos, 2, 2, minute))
    return std::nullopt;
  if (pos < text.size() && (!ReadChar(text, pos, ':') || !ReadNumber(text, pos, 2, 2, second)))
    return std::nullopt;
  if (pos != text.size() || !ValidTime(hour, minute, second, 0)) return std::nullopt;
  return static_cast<int32_t>(MsOfDay(hour, minute, second, 0));
}

namespace {

// yyyy, mm and dd with `separator` between them ("" for the XML form).
std::string FormatDate(int64_t ordinal, const char* separator) {
  const TCivilDate date = CivilFromOrdinal(ordinal);
  char text[40];
  std::snprintf(text, sizeof text, "%04d%s%02d%s%02d", date.Year, separator, date.Month, separator, date.Day);
  return text;
}

}  // namespace

std::string FormatProcessDate(int64_t ordinal) { return FormatDate(ordinal, "-"); }

std::string FormatProcessTime(int64_t msOfDay) {
  const int64_t seconds = msOfDay / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

std::string FormatProcessDateTime(const TSplitStamp& stamp) {
  std::string text = FormatProcessDate(stamp.Ordinal);
  if (stamp.MsOfDay != 0) text += ' ' + FormatProcessTime(stamp.MsOfDay);
  return text;
}

std::string FormatXmlDate(int64_t ordinal) { return FormatDate(ordinal, ""); }

// hh:nn:ss directly followed by three digits of milliseconds.
std::string FormatXmlTime(int64_t msOfDay) {
  char millis[8];
  std::snprintf(millis, sizeof millis, "%03lld", static_cast<long long>(msOfDay % 1000));
  return FormatProcessTime(msOfDay) + millis;
}

std::string FormatXmlDateTime(const TSplitStamp& stamp) {
  std::string text = FormatXmlDate(stamp.Ordinal);
  if (stamp.MsOfDay != 0) text += 'T' + FormatXmlTime(stamp.MsOfDay);
  return text;
}

std::optional<int32_t> ParseXmlDate(std::string_view text) {
  size_t pos = 0;
  const auto ordinal = ReadXmlDate(text, pos);
  if (!ordinal || pos != text.size()) return std::nullopt;
  return static_cast<int32_t>(*ordinal);
}

std::optional<int32_t> ParseXmlTime(std::string_view text) {
  size_t pos = 0;
  const auto ms = ReadXmlTime(text, pos);
  if (!ms) return std::nullopt;
  return static_cast<int32_t>(*ms);
}

std::optional<double> ParseXmlDateTime(std::string_view text) {
  size_t pos = 0;
  const auto ordinal = ReadXmlDate(text, pos);
  if (!ordinal) return std::nullopt;
  int64_t msOfDay = 0;
  if (pos < text.size()) {
    if (!ReadChar(text, pos, 'T')) return std::nullopt;
    const auto time = ReadXmlTime(text, pos);
    if (!time) return std::nullopt;
    msOfDay = *time;
  }
  return TimestampFromParts(*ordinal, msOfDay);
}

}  // namespace trs::datetime
