// The barcode label driver: request type Barcode, over the label library BarcodeKit.dll.
#pragma once

#include <string>

#include "drivers/EngineLibrary.h"
#include "drivers/LibraryDriver.h"
#include "engineabi/BarcodeKit.h"

namespace trs {

// BarcodeKit.dll once loaded, with its entry points (each possibly absent). Both forms of
// PrintBarOutEx are the same export; which one is called depends on the library's version.
struct TBarcodeKit {
  explicit TBarcodeKit(TEngineLibrary library);

  TEngineLibrary Library;
  BarcodeKit::BarConfigCdsFn* BarConfigCds;
  BarcodeKit::PrintBarOutExFn* PrintBarOutEx;
  BarcodeKit::PrintBarOutExOldFn* PrintBarOutExOld;
  BarcodeKit::GetStyleNamesFn* GetStyleNames;
  BarcodeKit::SetStartPrintPositionFn* SetStartPrintPosition;
  BarcodeKit::GetIsShowedFormFn* GetIsShowedForm;
};

// Whether a library of this version text takes the style name in PrintBarOutEx: versions
// from 1.8.8.1009 on, compared number by number; a text with another count of numbers is
// an older library.
bool TakesStyleName(const std::string& versionText);

// Prints labels from a staged table: the page saves the table (SaveDataTable), hands it to
// the library (BarConfigCds), picks a style, sets the start position and prints.
class TBarcode : public TLibraryDriver<TBarcodeKit> {
 public:
  TBarcode() : TLibraryDriver(BarcodeKit::FileName) {}

 protected:
  WideString RunCommand(const TBarcodeKit& kit, const std::string& name, const std::string& args) override
      TRS_REQUIRES(CallLock);

 private:
  void ConfigureFromFile(const TBarcodeKit& kit, const std::string& fileName) TRS_REQUIRES(CallLock);
  bool PrintLabels(const TBarcodeKit& kit, int32_t number) TRS_REQUIRES(CallLock);
  static WideString StyleNames(const TBarcodeKit& kit);

  // Set by "SetStyleName"; empty means none (the library then gets a null pointer).
  std::string StyleName TRS_GUARDED_BY(CallLock);
};

}  // namespace trs
