// The program's own file and directory: the directory the engines, data/ and CONFIG.CFG
// live in, wherever the program was copied to.
#pragma once

#include <string>

namespace trs {

// Full path of the running executable.
std::string ProgramFileName();
// Its directory, ending with the path separator.
std::string ProgramDirectory();
// The directory of the loaded file (program or library) whose code holds `address`, ending
// with the path separator: where a library was loaded from. "" when there is none.
std::string ModuleDirectoryOf(const void* address);
// The path separator of this platform, as text ("/" here).
const char* PathDelimiter();

}  // namespace trs
