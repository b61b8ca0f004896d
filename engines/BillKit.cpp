// Stand-in for BillKit.dll, the bill printing library: reads the packets and bill files it
// is given (the journal shows their rows), counts prints and journals every call. Variants:
// TRS_BILL_SINGLE_TABLE has neither MultiTableBillPrint, SetDesignTableCount nor PosPreview
// (everything goes through PosBillPrint); TRS_BILL_NO_DESIGN_COUNT lacks only
// SetDesignTableCount.
#include <atomic>
#include <filesystem>
#include <string>
#include <type_traits>

#include "EngineExport.h"
#include "StandIn.h"
#include "engineabi/BillKit.h"


namespace {

constexpr char Engine[] = "BillKit";
constexpr const char* BillFiles[] = {"billhead.cds",  "billdetail.cds",  "billtail.cds",
                                     "billhead2.cds", "billdetail2.cds", "billtail2.cds",
                                     "billhead3.cds", "billdetail3.cds", "billtail3.cds"};

std::atomic<int32_t> PrintCount{0};

// The bill files present in the data directory beside the library, with their tables.
[[maybe_unused]] standin::TJson BillFilesOnDisk() {
  const std::string dataDirectory = standin::OwnDirectory() + "data/";
  std::vector<std::pair<std::string, standin::TJson>> files;
  for (const char* name : BillFiles)
    if (std::filesystem::exists(dataDirectory + name)) files.emplace_back(name, standin::DescribeFile(dataDirectory + name));
  return standin::JsonObject(files);
}

}  // namespace

TRS_EXPORT uint8_t PosBillPrint(int32_t zero, const char* name, VARIANT packet, int32_t part, uint8_t flag) noexcept {
  standin::TJson table = "null";
  if (packet.vt == (VT_ARRAY | VT_UI1) && packet.parray != nullptr)
    table = standin::DescribePacket({static_cast<const char*>(packet.parray->pvData),
                                     packet.parray->rgsabound[0].cElements});
  standin::TCall call(Engine, "PosBillPrint",
                      {standin::Json(zero), standin::Json(name), table, standin::Json(part), standin::Json(flag)});
  if (part == 1) ++PrintCount;
  return static_cast<uint8_t>(call.Result(1) != 0);
}
static_assert(std::is_same_v<decltype(PosBillPrint), BillKit::PosBillPrintFn>);

#ifndef TRS_BILL_SINGLE_TABLE
TRS_EXPORT void MultiTableBillPrint(const char* name, uint8_t flag) noexcept {
  standin::TCall call(Engine, "MultiTableBillPrint", {standin::Json(name), standin::Json(flag), BillFilesOnDisk()});
  ++PrintCount;
}
static_assert(std::is_same_v<decltype(MultiTableBillPrint), BillKit::MultiTableBillPrintFn>);

TRS_EXPORT void PosPreview(const char* name) noexcept {
  standin::TCall call(Engine, "PosPreview", {standin::Json(name), BillFilesOnDisk()});
}
static_assert(std::is_same_v<decltype(PosPreview), BillKit::PosPreviewFn>);

#ifndef TRS_BILL_NO_DESIGN_COUNT
TRS_EXPORT void SetDesignTableCount(int32_t count) noexcept {
  standin::TCall call(Engine, "SetDesignTableCount", {standin::Json(count)});
}
static_assert(std::is_same_v<decltype(SetDesignTableCount), BillKit::SetDesignTableCountFn>);
#endif
#endif

TRS_EXPORT int32_t GetBillPrintCount() noexcept {
  standin::TCall call(Engine, "GetBillPrintCount", {});
  return static_cast<int32_t>(call.Result(PrintCount.load()));
}
static_assert(std::is_same_v<decltype(GetBillPrintCount), BillKit::GetBillPrintCountFn>);

TRS_EXPORT void SetIsPrintLimit(uint8_t limit) noexcept {
  standin::TCall call(Engine, "SetIsPrintLimit", {standin::Json(limit)});
}
static_assert(std::is_same_v<decltype(SetIsPrintLimit), BillKit::SetIsPrintLimitFn>);

TRS_EXPORT void SetPrintBillLimitTimes(int32_t times) noexcept {
  standin::TCall call(Engine, "SetPrintBillLimitTimes", {standin::Json(times)});
}
static_assert(std::is_same_v<decltype(SetPrintBillLimitTimes), BillKit::SetPrintBillLimitTimesFn>);

TRS_EXPORT uint8_t GetIsShowedForm() noexcept { return standin::IsFormShown(Engine); }
static_assert(std::is_same_v<decltype(GetIsShowedForm), BillKit::GetIsShowedFormFn>);
