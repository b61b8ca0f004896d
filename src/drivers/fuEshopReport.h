// The express driver: request type Express, printing templates through the printer object
// of the express report library rptengine.dll, and every "LoadDataFromJson" request.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/ktShowDialog.h"
#include "drivers/EngineLibrary.h"
#include "drivers/fuReportBase.h"
#include "engineabi/udReportIntf.h"
#include "platform/Mutex.h"
#include "platform/OleHolders.h"

namespace trs {

// The loader of rptengine.dll. The program has one (Program()): the library is loaded from
// the directory given at its first successful load and stays loaded until the program ends;
// later product directories do not reload it. A load that fails leaves nothing loaded, so
// the next request tries again. Tests make loaders of their own, which unload their library
// when they go (after every printer object from it has been released).
class TRptEngineLoader {
 public:
  TRptEngineLoader() = default;
  TRptEngineLoader(const TRptEngineLoader&) = delete;
  TRptEngineLoader& operator=(const TRptEngineLoader&) = delete;

  // The program's loader; never destroyed, so that printer objects released late (by a
  // dialog that ends at shutdown) still find their code.
  static TRptEngineLoader& Program();

  // A new printer object from GetIntf, loading the library from `directory` first when none
  // is loaded. Errors: "无法加载 rptengine.dll，<reason>" when it cannot be loaded,
  // "rptengine.dll 无法获取 GetIntf 方法入口" when it lacks the export, and an error naming
  // GetIntf when that hands out no object.
  TComPtr<IktPrinter> GetIntf(const std::string& directory) TRS_EXCLUDES(Lock);

 private:
  TMutex Lock;
  // The directory of the latest request for a printer object.
  std::string Directory TRS_GUARDED_BY(Lock);
  std::optional<TEngineLibrary> Library TRS_GUARDED_BY(Lock);
};

// Designs, previews and prints templates through the library's printer object (IktPrinter),
// lists and chooses printers, sets field lists and loads JSON data.
//
// The printer object is obtained through GetIntf when a request needs one and none is held;
// it is released after a published operation or an unrecognised command, so that the next
// request gets a new one, and kept by the four commands PrintEx, GetPrinterNames,
// GetCurPrinter and CreateNewTemplate. Print, PrintEx, DesignReport and Preview open the
// library's window: they run in a print configurer on the dialog runner's worker and answer
// at once; the configurer holds its own reference to the printer object, so the driver may
// release or replace its own meanwhile, and no lock is held while the window is up.
//
// Without the library every method fails with the load error, the staging commands
// included (unlike the other library drivers, which answer the empty text).
class TEShopReport : public TReportBase {
 public:
  // A driver on the program's loader, or on `loader`, which must outlive the driver and
  // every dialog the driver started.
  TEShopReport();
  explicit TEShopReport(TRptEngineLoader& loader);
  ~TEShopReport() override;

  WideString InvokeMethod(const std::string& name, const std::string& args) override
      TRS_REQUIRES(CallLock);
  // The express driver has nothing to set: any name and value are accepted and ignored.
  void SetProperty(const std::string&, const std::string&) override TRS_REQUIRES(CallLock) {}
  // "IsPrinting" as the base answers it; "version": the version text of the library file
  // in the current product directory, loaded for the question and unloaded again (the empty
  // text when it cannot be loaded); anything else "-1".
  WideString GetProperty(const std::string& name) override TRS_REQUIRES(CallLock);
  // "IsPrinting" is answered without waiting behind a call that holds the driver.
  std::optional<WideString> GetPropertyWithoutWaiting(const std::string& name) const override;
  // Hands the body of a "LoadDataFromJson" request to the library; its result.
  int LoadDataFromJson(const WideString& data) override TRS_REQUIRES(CallLock);

  // The published operations, reached through InvokeMethod by name with argument item 0.
  // The dialog actions answer the configurer's result (0) at once.
  int32_t DesignReport(const WideString& name) TRS_REQUIRES(CallLock);
  int32_t Preview(const WideString& name) TRS_REQUIRES(CallLock);
  int32_t Print(const WideString& name) TRS_REQUIRES(CallLock);
  // The library's 16-bit answer, sign-extended (true stays -1).
  int32_t SetPrinter(const WideString& name) TRS_REQUIRES(CallLock);
  int32_t CheckTemplateExist(const WideString& name) TRS_REQUIRES(CallLock);
  // 1, or -1 when the library (or, for the two Boolean ones, the conversion of the text to
  // a Boolean) fails; a text that is no Boolean does not reach the library.
  int32_t Set_DataFields(const WideString& fields) TRS_REQUIRES(CallLock);
  int32_t Set_DisplayFields(const WideString& fields) TRS_REQUIRES(CallLock);
  int32_t Set_PreviewPrintVisible(const WideString& visible) TRS_REQUIRES(CallLock);
  int32_t Set_DesginPrintVisible(const WideString& visible) TRS_REQUIRES(CallLock);

  // The dialog runner of the express driver: one library window action on the printer
  // object it holds a reference of its own to. Kind 0 Print, 1 PrintEx (with the second
  // text), 2 DesignReport, 3 Preview; any other kind does nothing.
  class TktPrintConfiger;

 private:
  using TPublishedOperation = int32_t (TEShopReport::*)(const WideString&);
  static std::optional<TPublishedOperation> FindPublished(const std::string& name);

  // Argument item `index` of the latest InvokeMethod; "List index out of bounds (%d)".
  WideString Item(size_t index) const TRS_REQUIRES(CallLock);
  // The printer object held, obtained first when none is.
  IktPrinter& Printer() TRS_REQUIRES(CallLock);
  // Runs a configurer of `kind` and answers its result.
  int32_t RunConfiger(uint8_t kind, const WideString& name, const WideString& second)
      TRS_REQUIRES(CallLock);
  // The library's text left in a fresh answer variable by `fill`, or "-1" when it is empty.
  static WideString AnswerText(const std::function<void(BSTR*)>& fill);
  // The four Set_ operations: 1, or -1 on any error.
  int32_t SetFields(const WideString& fields, int32_t (IktPrinter::*operation)(BSTR)) TRS_REQUIRES(CallLock);
  int32_t SetVisibility(const WideString& visible, int32_t (IktPrinter::*operation)(VARIANT_BOOL))
      TRS_REQUIRES(CallLock);

  TRptEngineLoader& Loader;
  TComPtr<IktPrinter> PrinterIntf TRS_GUARDED_BY(CallLock);
  // The argument items of the latest InvokeMethod.
  std::vector<std::string> ArgItems TRS_GUARDED_BY(CallLock);
  // The latest configurer; the runs of those it replaced keep themselves until they end.
  std::shared_ptr<TktPrintConfiger> CurrentConfiger TRS_GUARDED_BY(CallLock);
};

class TEShopReport::TktPrintConfiger final : public TktIEShowDialog {
 public:
  TktPrintConfiger(TComPtr<IktPrinter> printer, uint8_t kind, WideString name, WideString second);

  uint8_t Kind() const { return KindValue; }
  // Nothing sets it: it reads 0, which the dialog commands answer.
  int32_t Result() const { return ResultValue; }

 protected:
  void DoShow() override;
  void DoAfterShow() override {}

 private:
  const TComPtr<IktPrinter> PrinterIntf;
  const uint8_t KindValue;
  const WideString Name;
  const WideString Second;
  const int32_t ResultValue = 0;
};

}  // namespace trs
