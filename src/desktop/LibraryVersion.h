// The version text of a library file, as the engine drivers report and compare it.
#pragma once

#include <string>

namespace trs {

// "%d.%d.%d.%d": the high and low halves of the file version's most significant word, then
// of the product version's least significant word; a file without version information gives
// 65535 for each number.
std::string LibraryVersionText(const std::string& path);

}  // namespace trs
