// The express driver: request type Express, printing templates with JSON data.
#pragma once

#include "drivers/fuReportBase.h"

namespace trs {

// Until its engine is wired in, this driver answers the staging commands, properties and
// body methods of its base only; SetProperty has nothing to set yet.
class TEShopReport : public TReportBase {
 public:
  void SetProperty(const std::string&, const std::string&) override TRS_REQUIRES(CallLock) {}
};

}  // namespace trs
