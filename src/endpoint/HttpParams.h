// Request parameters: where they come from (query string, form body) and how a piece of
// the wire text decodes into a parameter line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "endpoint/HttpMessage.h"

namespace trs {

// The text the parameters are taken from. With a Content-Type of exactly
// "application/x-www-form-urlencoded" (any letter case, no parameters such as charset) it
// is the raw body, "&", then the query string (the "&" only when both are non-empty);
// otherwise it is the query string alone: what follows the first "?" of the target.
std::string HttpParamSource(const THttpRequest& request);

// Splits the source at each "&" and decodes every piece into one parameter line. An empty
// source has no parameters, and a trailing "&" starts no further piece; "a=1&&b" gives three.
std::vector<std::string> DecodeHttpParams(std::string_view source);

// One piece: "+" is a blank; "%XX" is that byte; "%uXXXX" is that UTF-16 unit in the narrow
// code page (adjacent units convert together, so a surrogate pair is one character). A
// decoded zero is dropped; a "%" not starting a valid escape stays as it is. The bytes are
// otherwise taken as narrow text, without any UTF-8 decoding.
std::string DecodeHttpParam(std::string_view piece);

}  // namespace trs
