// The point-of-sale device driver: request type PosDriver (device settings, cash box,
// customer display), over the device library PosKit.dll.
#pragma once

#include "drivers/EngineLibrary.h"
#include "drivers/LibraryDriver.h"
#include "engineabi/PosKit.h"

namespace trs {

// PosKit.dll once loaded, with its entry points (each possibly absent).
struct TPosKit {
  explicit TPosKit(TEngineLibrary library);

  TEngineLibrary Library;
  PosKit::ShowPosCfgFn* ShowPosCfg;
  PosKit::HidePageFn* HidePage;
  PosKit::ShowAllPagesFn* ShowAllPages;
  PosKit::PosOpenCashBoxFn* PosOpenCashBox;
  PosKit::PosScreenOutFn* PosScreenOut;
  PosKit::GetIsShowedFormFn* GetIsShowedForm;
};

// A thin pass-through: each command converts its arguments and calls one export. Every
// command answers "-1".
class TPosDriver : public TLibraryDriver<TPosKit> {
 public:
  TPosDriver() : TLibraryDriver(PosKit::FileName) {}

 protected:
  WideString RunCommand(const TPosKit& kit, const std::string& name, const std::string& args) override
      TRS_REQUIRES(CallLock);
};

}  // namespace trs
