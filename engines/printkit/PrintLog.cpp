#include "PrintLog.h"

#include <cstdio>

#include "platform/Diagnostics.h"

namespace printkit {

void Log(const char* engine, const std::string& text) {
  // One fprintf per line keeps lines from different threads whole.
  std::fprintf(stderr, "%s TallyReportSrv: %s: %s\n", trs::LocalTimestamp().c_str(), engine, text.c_str());
}

}  // namespace printkit
