// The bill print driver: request type BillPrint, over the bill library BillKit.dll.
#pragma once

#include <memory>

#include "drivers/EngineLibrary.h"
#include "drivers/LibraryDriver.h"
#include "drivers/ReportDataset.h"
#include "engineabi/BillKit.h"

namespace trs {

// BillKit.dll once loaded, with its entry points (each possibly absent).
struct TBillKit {
  explicit TBillKit(TEngineLibrary library);

  TEngineLibrary Library;
  BillKit::PosBillPrintFn* PosBillPrint;
  BillKit::SetDesignTableCountFn* SetDesignTableCount;
  BillKit::MultiTableBillPrintFn* MultiTableBillPrint;
  BillKit::SetIsPrintLimitFn* SetIsPrintLimit;
  BillKit::GetBillPrintCountFn* GetBillPrintCount;
  BillKit::SetPrintBillLimitTimesFn* SetPrintBillLimitTimes;
  BillKit::PosPreviewFn* PosPreview;
  BillKit::GetIsShowedFormFn* GetIsShowedForm;
};

// Prints bills: a page stages the bill's tables cell by cell (head, then detail tables),
// then prints or previews; the driver writes the tables as bill files into its staging
// directory for the library. The print limit is the library's; the driver passes it on.
class TBillPrint : public TLibraryDriver<TBillKit> {
 public:
  // The staging directory is fixed here, once: the program's data directory (a product tag
  // set later does not move it, while prints read from the product directory of their time).
  TBillPrint();

 protected:
  WideString RunCommand(const TBillKit& kit, const std::string& name, const std::string& args) override
      TRS_REQUIRES(CallLock);

 private:
  // Builds and writes the bill files when any table is staged.
  void WriteStagedBill() TRS_REQUIRES(CallLock);
  // Sends billhead, billdetail and billtail in turn until the library refuses one.
  void PrintSingleTable(const TBillKit& kit, const std::string& name, bool flag) TRS_REQUIRES(CallLock);
  void Preview(const TBillKit& kit, const std::string& args) TRS_REQUIRES(CallLock);
  void Print(const TBillKit& kit, const std::string& args) TRS_REQUIRES(CallLock);

  std::unique_ptr<TReportDataset> Tables TRS_GUARDED_BY(CallLock);
};

}  // namespace trs
