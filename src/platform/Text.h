// The program's two text kinds and the conversions between them.
//
// Wide text is UTF-16 (std::u16string). Narrow text is std::string holding bytes in the
// narrow code page: the locale's character set, UTF-8 under a C/POSIX locale. The request
// body and the response body are UTF-8 whatever the narrow page is.
#pragma once

#include <string>
#include <string_view>

namespace trs {

using WideString = std::u16string;

// Adopts the user's locale for the C library (all of it on Linux, the character type on
// Windows) and with it the narrow code page.
// Called once at start-up before any thread exists; without it the page is UTF-8.
void InitNarrowCodePage();
// Makes `codeset` (an iconv name such as "GBK") the narrow page; "", ASCII and UTF-8 mean
// UTF-8. Like InitNarrowCodePage, meant for start-up, before other threads use text.
void UseNarrowCodePage(const std::string& codeset);
// For a library loaded into the program: takes the narrow page of the C-library locale the
// process already runs in (its character set on Linux, its code page on Windows; the C
// locale counts as UTF-8) without touching the locale, which is the program's to set.
// Called once, before the library converts text.
void AdoptHostNarrowCodePage();
// True when the narrow page is UTF-8 (the conversions then skip iconv).
bool NarrowIsUtf8();

// Narrow <-> wide through the narrow page. A character the narrow page lacks becomes "?";
// bytes that are not valid in the narrow page become U+FFFD.
WideString NarrowToWide(std::string_view text);
std::string WideToNarrow(std::u16string_view text);

// The narrow page <-> UTF-8, for XML packets (identity on a UTF-8 system).
std::string NarrowToUtf8(std::string_view text);
std::string Utf8ToNarrow(std::string_view text);

// Decodes a request body. One to three bytes give one UTF-16 unit under the lenient rules
// pages have always relied on; a four-byte sequence gives a surrogate pair. Any other
// malformed or truncated sequence makes the whole body empty text.
WideString DecodeUtf8Body(std::string_view body);

// Encodes a result for the response: each unit as one to three bytes, a surrogate pair as
// one four-byte sequence (a lone surrogate keeps its three-byte form).
std::string EncodeUtf8Result(std::u16string_view text);

// The longest prefix of narrow text of at most maxBytes bytes that does not split a
// multi-byte character.
size_t NarrowCutLength(std::string_view text, size_t maxBytes);

// Protocol lower-casing: ASCII A-Z only.
std::string LowerAscii(std::string_view text);
WideString LowerAscii(std::u16string_view text);
bool SameTextAscii(std::string_view a, std::string_view b);

// Trimming removes characters of code 32 or below at both ends.
std::string_view Trim(std::string_view text);
std::u16string_view Trim(std::u16string_view text);

// Convenience for tests and messages: ASCII/UTF-8 literal to wide text.
WideString Utf8ToWide(std::string_view utf8);

}  // namespace trs
