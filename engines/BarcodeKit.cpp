// Stand-in for BarcodeKit.dll, the barcode label library: keeps the configuration table it
// is given and journals every call. Built in variants: TRS_BARCODE_OLD gives the earlier
// one-argument PrintBarOutEx; TRS_BARCODE_BARE exports GetIsShowedForm only.
#include "platform/Mutex.h"
#include <string>
#include <type_traits>

#include "EngineExport.h"
#include "StandIn.h"
#include "engineabi/BarcodeKit.h"
#include "platform/Text.h"


namespace {

constexpr char Engine[] = "BarcodeKit";

}  // namespace

#ifndef TRS_BARCODE_BARE
namespace {

constexpr char DefaultStyleNames[] = "标准标签\r\n小标签40x30";

trs::TMutex ConfigurationLock;
// The last table handed over, as the journal shows it.
std::string Configuration TRS_GUARDED_BY(ConfigurationLock) = "null";

// What a print works from: the table handed over last.
standin::TJson Labels() {
  trs::TLockGuard guard(ConfigurationLock);
  return standin::JsonObject({{"labels", Configuration}});
}

}  // namespace

TRS_EXPORT void BarConfigCds(int32_t zero, VARIANT* packet) noexcept {
  std::string table = "null";
  if (packet != nullptr && packet->vt == (VT_ARRAY | VT_UI1) && packet->parray != nullptr)
    table = standin::DescribePacket({static_cast<const char*>(packet->parray->pvData),
                                     packet->parray->rgsabound[0].cElements});
  {
    trs::TLockGuard guard(ConfigurationLock);
    Configuration = table;
  }
  standin::TCall call(Engine, "BarConfigCds", {standin::Json(zero), table});
}
static_assert(std::is_same_v<decltype(BarConfigCds), BarcodeKit::BarConfigCdsFn>);

#ifdef TRS_BARCODE_OLD
TRS_EXPORT uint8_t PrintBarOutEx(int32_t number) noexcept {
  standin::TCall call(Engine, "PrintBarOutEx", {standin::Json(number), Labels()});
  return static_cast<uint8_t>(call.Result(1));
}
static_assert(std::is_same_v<decltype(PrintBarOutEx), BarcodeKit::PrintBarOutExOldFn>);
#else
TRS_EXPORT uint8_t PrintBarOutEx(int32_t number, const char* styleName) noexcept {
  standin::TCall call(Engine, "PrintBarOutEx", {standin::Json(number), standin::Json(styleName), Labels()});
  return static_cast<uint8_t>(call.Result(1));
}
static_assert(std::is_same_v<decltype(PrintBarOutEx), BarcodeKit::PrintBarOutExFn>);
#endif

TRS_EXPORT void GetStyleNames(BSTR* names) noexcept {
  standin::TCall call(Engine, "GetStyleNames", {names == nullptr || *names == nullptr ? "null" : "\"not null\""});
  if (names == nullptr) return;
  const std::u16string text = trs::Utf8ToWide(call.TextResult(DefaultStyleNames));
  *names = AllocBStr(text);
}
static_assert(std::is_same_v<decltype(GetStyleNames), BarcodeKit::GetStyleNamesFn>);

TRS_EXPORT void SetStartPrintPosition(int32_t position) noexcept {
  standin::TCall call(Engine, "SetStartPrintPosition", {standin::Json(position)});
}
static_assert(std::is_same_v<decltype(SetStartPrintPosition), BarcodeKit::SetStartPrintPositionFn>);
#endif

TRS_EXPORT uint8_t GetIsShowedForm() noexcept { return standin::IsFormShown(Engine); }
static_assert(std::is_same_v<decltype(GetIsShowedForm), BarcodeKit::GetIsShowedFormFn>);
