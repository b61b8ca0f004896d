// The program's log on standard error: what the headless backend shows instead of boxes and
// progress, and the program's own start-up and shutdown messages.
#pragma once

#include <string>

namespace trs {

// Writes one line to standard error: the local time, "TallyReportSrv: ", then `text`. A
// line is written whole, also when several threads log at once.
void LogLine(const std::string& text);

}  // namespace trs
