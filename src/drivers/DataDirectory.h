// The data directories the drivers save staged tables into, and their upkeep at start-up.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace trs {

// The "data" directory of the program's own directory, then that of every product
// directory in the registry, each once, each ending with the path separator.
std::vector<std::string> KnownDataDirectories();

// Removes what saves cut short by a crash left in those directories (the new files of
// replacements whose process has ended). Returns how many files went.
size_t RemoveStaleSaves();

}  // namespace trs
