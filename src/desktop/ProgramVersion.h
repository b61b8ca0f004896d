// The running program's own version, as the shell shows it.
#pragma once

#include <string>

namespace trs {

// "%d.%d.%d.%d": major, minor, release and build of the program file's file version; empty
// when the program's file or its version record cannot be read.
std::string ProgramVersionText();

}  // namespace trs
