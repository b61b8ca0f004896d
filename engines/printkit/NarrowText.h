// Texts that come through the engines' exports are narrow text in the program's code page
// (the locale's character set); the kit works in UTF-8.
#pragma once

#include <string>

namespace printkit {

// A null pointer is the empty text.
std::string NarrowToUtf8(const char* text);
std::string NarrowToUtf8(const std::string& text);
std::string Utf8ToNarrow(const std::string& text);

}  // namespace printkit
