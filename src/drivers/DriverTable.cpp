// The one place that knows the concrete drivers.
#include "drivers/DriverTable.h"

#include "drivers/fuBarcode.h"
#include "drivers/fuBillPrint.h"
#include "drivers/fuEshopReport.h"
#include "drivers/fuPosDriver.h"
#include "drivers/fuQuillReport.h"
#include "drivers/fuTallyReport.h"

namespace trs {

std::vector<TDriverEntry> CreateDrivers() {
  std::vector<TDriverEntry> drivers;
  drivers.push_back({ReportV10Type, std::make_unique<TTallyReport>()});
  drivers.push_back({ReportV11Type, std::make_unique<TQuillReport>()});
  drivers.push_back({ExpressType, std::make_unique<TEShopReport>()});
  drivers.push_back({u"barcode", std::make_unique<TBarcode>()});
  drivers.push_back({u"billprint", std::make_unique<TBillPrint>()});
  drivers.push_back({u"posdriver", std::make_unique<TPosDriver>()});
  return drivers;
}

}  // namespace trs
