// The six drivers and the request types that reach them.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "drivers/fuReportBase.h"

namespace trs {

// One driver and the lower-case `type` that selects it.
struct TDriverEntry {
  WideString Type;
  std::unique_ptr<TReportBase> Driver;
};

// Request types of the drivers the endpoint treats specially: the default type (also the
// empty one), the second report generation that takes "LoadDataFromQuill3" for every other
// type, and the express driver that takes every "LoadDataFromJson".
inline constexpr char16_t ReportV10Type[] = u"reportv10";
inline constexpr char16_t ReportV11Type[] = u"reportv11";
inline constexpr char16_t ExpressType[] = u"express";

// The six drivers in the order they are created (and are to be freed): report V10, report
// V11, express, barcode, bill print, POS device.
std::vector<TDriverEntry> CreateDrivers();

}  // namespace trs
