// The report V11 driver: request type ReportV11, which drives the report host control.
#pragma once

#include "drivers/fuReportBase.h"

namespace trs {

// Until its engine is wired in, this driver answers the staging commands and properties of
// its base only; SetProperty has nothing to set yet.
class TQuillReport : public TReportBase {
 public:
  void SetProperty(const std::string&, const std::string&) override TRS_REQUIRES(CallLock) {}

  // Hands report data to the host control and answers its result; -1 while none is wired in.
  int LoadDataFromQuill3(const WideString&, int) TRS_REQUIRES(CallLock) { return -1; }
};

}  // namespace trs
