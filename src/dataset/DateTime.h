// Calendar arithmetic and the text forms of dates and times: the process format callers
// use ("yyyy-mm-dd hh:nn:ss") and the forms MIDAS packets store.
//
// Packets count days from 0001-01-01 = 1 (the proleptic Gregorian ordinal) and keep
// date-times as a double of milliseconds, ordinal * 86400000 + milliseconds of the day.
// Every function here accepts only years 1 to 9999, the range TDateTime can show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace trs::datetime {

inline constexpr int64_t MsPerDay = 86400000;
// Ordinal of 1899-12-30, the day TDateTime counts from.
inline constexpr int64_t TDateTimeDayOffset = 693594;
inline constexpr int64_t FirstOrdinal = 1;         // 0001-01-01
inline constexpr int64_t LastOrdinal = 3652059;    // 9999-12-31

struct TCivilDate {
  int Year = 1;
  int Month = 1;
  int Day = 1;
};

bool ValidCivilDate(int year, int month, int day);
// Works for any year; callers check the range.
int64_t OrdinalFromCivil(int year, int month, int day);
TCivilDate CivilFromOrdinal(int64_t ordinal);

// A stored timestamp split into its day and its milliseconds of the day, rounded to the
// millisecond; nullopt when it is not finite or outside years 1 to 9999.
struct TSplitStamp {
  int64_t Ordinal = 0;
  int64_t MsOfDay = 0;
};
std::optional<TSplitStamp> SplitTimestamp(double ms);
inline double TimestampFromParts(int64_t ordinal, int64_t msOfDay) {
  return static_cast<double>(ordinal * MsPerDay + msOfDay);
}
double TimestampFromTDateTime(double value);
double TDateTimeFromTimestamp(double ms);

// --- Process format
// "yyyy-mm-dd", optionally a blank and "hh:nn" or "hh:nn:ss"; blanks around are ignored.
std::optional<double> ParseProcessDateTime(std::string_view text);
// "hh:nn" or "hh:nn:ss", as milliseconds of the day.
std::optional<int32_t> ParseProcessTime(std::string_view text);
std::string FormatProcessDate(int64_t ordinal);        // yyyy-mm-dd
std::string FormatProcessTime(int64_t msOfDay);        // hh:nn:ss
// yyyy-mm-dd, plus " hh:nn:ss" when the time is not midnight.
std::string FormatProcessDateTime(const TSplitStamp& stamp);

// --- XML packet forms
std::string FormatXmlDate(int64_t ordinal);            // yyyymmdd
std::string FormatXmlTime(int64_t msOfDay);            // hh:nn:ssmmm
// yyyymmddThh:nn:ssmmm, or yyyymmdd alone at midnight.
std::string FormatXmlDateTime(const TSplitStamp& stamp);
std::optional<int32_t> ParseXmlDate(std::string_view text);
std::optional<int32_t> ParseXmlTime(std::string_view text);
std::optional<double> ParseXmlDateTime(std::string_view text);

}  // namespace trs::datetime
