// The program's log line on standard error.
#include "desktop/LogLine.h"

#include <cstdio>

#include "platform/Diagnostics.h"

namespace trs {

void LogLine(const std::string& text) {
  // One fprintf per line keeps lines from different threads whole.
  std::fprintf(stderr, "%s TallyReportSrv: %s\n", LocalTimestamp().c_str(), text.c_str());
}

}  // namespace trs
