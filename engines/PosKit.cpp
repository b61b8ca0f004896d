// Stand-in for PosKit.dll, the point-of-sale device library: keeps the customer display's
// text and journals every call. The variant TRS_POS_BARE exports GetIsShowedForm only.
#include "platform/Mutex.h"
#include <string>
#include <type_traits>

#include "EngineExport.h"
#include "StandIn.h"
#include "engineabi/PosKit.h"


namespace {

constexpr char Engine[] = "PosKit";

}  // namespace

#ifndef TRS_POS_BARE
namespace {

trs::TMutex DisplayLock;
std::string DisplayText TRS_GUARDED_BY(DisplayLock);  // what the customer display shows

}  // namespace

TRS_EXPORT void ShowPosCfg(int32_t zero) noexcept { standin::TCall call(Engine, "ShowPosCfg", {standin::Json(zero)}); }
static_assert(std::is_same_v<decltype(ShowPosCfg), PosKit::ShowPosCfgFn>);

TRS_EXPORT void HidePage(int32_t page) noexcept { standin::TCall call(Engine, "HidePage", {standin::Json(page)}); }
static_assert(std::is_same_v<decltype(HidePage), PosKit::HidePageFn>);

TRS_EXPORT void ShowAllPages() noexcept { standin::TCall call(Engine, "ShowAllPages", {}); }
static_assert(std::is_same_v<decltype(ShowAllPages), PosKit::ShowAllPagesFn>);

TRS_EXPORT void PosOpenCashBox() noexcept { standin::TCall call(Engine, "PosOpenCashBox", {}); }
static_assert(std::is_same_v<decltype(PosOpenCashBox), PosKit::PosOpenCashBoxFn>);

TRS_EXPORT void PosScreenOut(int32_t number, const char* text) noexcept {
  trs::TLockGuard guard(DisplayLock);
  const std::string previous = DisplayText;
  DisplayText = text == nullptr ? "" : text;
  standin::TCall call(Engine, "PosScreenOut",
                      {standin::Json(number), standin::Json(text), standin::JsonObject({{"previous", standin::Json(previous)}})});
}
static_assert(std::is_same_v<decltype(PosScreenOut), PosKit::PosScreenOutFn>);
#endif

TRS_EXPORT uint8_t GetIsShowedForm() noexcept { return standin::IsFormShown(Engine); }
static_assert(std::is_same_v<decltype(GetIsShowedForm), PosKit::GetIsShowedFormFn>);
