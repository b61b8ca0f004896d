// The driver contract every engine driver fulfils, and the table-staging commands all of
// them share (a table of text columns saved under the product's data directory).
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/ktShowDialog.h"
#include "platform/Mutex.h"
#include "platform/Text.h"

namespace trs {

class TClientDataSet;

// Process-wide printing state read by IsPrinting on every driver. PrintBracketOpen is set by
// BeginPrint and cleared by EndPrint on any driver; EngineDialogActive (with the dialog
// runner) is held while an engine dialog of the report or express drivers is open.
extern std::atomic<bool> PrintBracketOpen;

// Base of the six drivers. The endpoint calls a driver only while holding its CallLock, so a
// driver's state (product path, staged table) sees one request at a time; the calls of
// different drivers run in parallel.
//
// Staged-table states: no columns -> columns defined -> open with a current row (AddDataRow)
// -> row posted (SetRowStr of the last column) -> ... AddDataTable returns to the first.
class TReportBase {
 public:
  TReportBase();
  virtual ~TReportBase();
  TReportBase(const TReportBase&) = delete;
  TReportBase& operator=(const TReportBase&) = delete;

  // Runs a named method (lower-cased name) with its argument text. The base answers "1" for
  // a staging command it ran and "-1" for any other name; a driver first asks the base and
  // looks the name up among its own methods only on "-1".
  virtual WideString InvokeMethod(const std::string& name, const std::string& args)
      TRS_REQUIRES(CallLock);
  virtual void SetProperty(const std::string& name, const std::string& value)
      TRS_REQUIRES(CallLock) = 0;
  // The base answers "isprinting" ("1" or "0"), else "-1".
  virtual WideString GetProperty(const std::string& name) TRS_REQUIRES(CallLock);
  // A property that a page polls while a long call into this driver is still running (the
  // library's form is up): answered without the CallLock, so that the poll does not wait
  // behind that call. Nothing means "ask GetProperty under the lock"; the base answers
  // nothing this way.
  virtual std::optional<WideString> GetPropertyWithoutWaiting(const std::string& name) const;

  // The methods whose data is the request body rather than the argument text. The report
  // drivers take "LoadDataFromQuill3" (n is 0 from the endpoint), the express driver
  // "LoadDataFromJson"; every other driver answers -1.
  virtual int LoadDataFromQuill3(const WideString& data, int n) TRS_REQUIRES(CallLock);
  virtual int LoadDataFromJson(const WideString& data) TRS_REQUIRES(CallLock);

  // The directory this driver's engines live in: the product path from the last
  // SetProductTag when one was found, else the program's own directory.
  std::string GetProductPath() const TRS_REQUIRES(CallLock);
  // Looks the tag up in the product registry; an unknown tag empties the product path.
  void SetProductTag(const std::string& tag) TRS_REQUIRES(CallLock);

  // Splits a comma list of arguments into trimmed items (see the .cpp for the exact rules).
  // Without a target list: EAssertionFailed.
  static void SplitArgs(std::string_view text, std::vector<std::string>* list, char separator);
  // The comma list of an argument text, as the drivers' commands take it apart.
  static std::vector<std::string> SplitCommaArgs(std::string_view text);
  // Item `index` of a split argument list; "List index out of bounds (%d)" when missing.
  static const std::string& ArgItem(const std::vector<std::string>& items, size_t index);
  // A column name for `dataset` that no column definition has yet: Price, Price2, Price3.
  static std::string UniqueColumnName(const TClientDataSet& dataset, std::string wanted);

  // Serialises the calls into this driver; held by the endpoint around each call.
  mutable TMutex CallLock;

 protected:
  std::string ProductPath TRS_GUARDED_BY(CallLock);
  std::unique_ptr<TClientDataSet> DataTable TRS_GUARDED_BY(CallLock);
  bool TableOpen TRS_GUARDED_BY(CallLock) = false;

 private:
  void AddDataColumn(const std::vector<std::string>& items) TRS_REQUIRES(CallLock);
  void AddDataRow() TRS_REQUIRES(CallLock);
  void SetRowStr(std::string_view args) TRS_REQUIRES(CallLock);
  void SaveDataTable(const std::string& fileName) TRS_REQUIRES(CallLock);
};

// Refuses a file name from a request that is meant to stay directly inside the data
// directory: absolute names, names with "/", "\" or "..", and names holding a control
// character (a byte below 0x20, NUL included) fail with EInvalidFileName.
void CheckDataFileName(const std::string& fileName);

}  // namespace trs
