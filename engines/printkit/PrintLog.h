// The engines' log: one line on standard error, in the program's own form, so that what an
// engine did with a job shows in the program's log.
#pragma once

#include <string>

namespace printkit {

void Log(const char* engine, const std::string& text);

}  // namespace printkit
