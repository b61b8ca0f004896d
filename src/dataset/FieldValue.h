// Stored values of each column type: what callers set (text, numbers, date-times, bytes)
// turned into the bytes a packet row holds, and those bytes read back.
//
// A payload is a value's bytes without its length prefix; for fixed columns it has exactly
// the column's size. "nullopt" stands for NULL where a conversion can produce one (empty
// text into a non-text column).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dataset/PacketTable.h"

namespace trs::packet {

// --- Caller values into payloads
// Text is cut at a zero byte and to the column size without splitting a character;
// date-times read the process format; numbers the standard conversions.
std::optional<std::string> PayloadFromText(const TColumn& column, std::string_view text);
std::optional<std::string> PayloadFromWideText(const TColumn& column, std::u16string_view text);
// Blob, BCD and array columns take the bytes as they are; others read them as text.
std::optional<std::string> PayloadFromBytes(const TColumn& column, std::string_view bytes);
std::string PayloadFromInteger(const TColumn& column, int64_t value);
std::string PayloadFromFloat(const TColumn& column, double value);
// `value` is a TDateTime (days since 1899-12-30).
std::string PayloadFromDateTime(const TColumn& column, double value);

// --- Payloads read back
int64_t SignedFromPayload(std::string_view payload);
uint64_t UnsignedFromPayload(std::string_view payload);
double DoubleFromPayload(std::string_view payload);
std::string PayloadFromDouble(double value);

// Process-format text: numbers in decimal, booleans True/False, dates "yyyy-mm-dd[ hh:nn:ss]".
std::string TextFromPayload(const TColumn& column, std::string_view payload);
std::u16string WideTextFromPayload(const TColumn& column, std::string_view payload);
int32_t IntegerFromPayload(const TColumn& column, std::string_view payload);
double FloatFromPayload(const TColumn& column, std::string_view payload);
double DateTimeFromPayload(const TColumn& column, std::string_view payload);

// True for number and date columns, whose NULL reads as zero; a NULL text converts as "".
bool NullReadsAsZero(const TColumn& column);

// The runtime's display of a double: up to 15 significant digits, "E" exponent.
std::string FloatToText(double value);

}  // namespace trs::packet
