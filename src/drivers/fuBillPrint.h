// The bill print driver: request type BillPrint.
#pragma once

#include "drivers/fuReportBase.h"

namespace trs {

// Until its engine is wired in, this driver answers the staging commands and properties of
// its base only; SetProperty has nothing to set yet.
class TBillPrint : public TReportBase {
 public:
  void SetProperty(const std::string&, const std::string&) override TRS_REQUIRES(CallLock) {}
};

}  // namespace trs
