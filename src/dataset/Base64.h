// Base64 for the blob values of XML packets (which MIDAS labels "bin.hex").
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace trs {

// Standard alphabet, padded with "=", no line breaks.
std::string Base64Encode(std::string_view bytes);
// Accepts padded or unpadded text and ignores whitespace between the characters; nullopt
// for any other character or a length no encoder produces.
std::optional<std::string> Base64Decode(std::string_view text);

}  // namespace trs
