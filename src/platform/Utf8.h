// UTF-8 <-> UTF-16 codecs. Pure functions, no locale.
#pragma once

#include <string>
#include <string_view>

namespace trs::utf8 {

// The request-body decoder (see DecodeUtf8Body in Text.h). Returns false on a malformed body.
bool DecodeBody(std::string_view body, std::u16string& out);
// Each UTF-16 unit as one to three bytes, surrogate pairs as four.
void EncodeResult(std::u16string_view text, std::string& out);

// Strict-form conversions used where UTF-8 is a narrow page: invalid input bytes become
// U+FFFD, lone surrogates become "?" (a character the page cannot hold).
std::u16string ToUtf16(std::string_view text);
std::string FromUtf16(std::u16string_view text);

// The longest prefix of at most maxBytes bytes that ends on a character boundary.
size_t PrefixLength(std::string_view text, size_t maxBytes);

}  // namespace trs::utf8
