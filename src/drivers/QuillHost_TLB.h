// The host object of the report host control: one control instance from "QuillHost.ocx",
// its methods by place and its properties through the dispatch interface, with failures
// turned into errors.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "drivers/EngineLibrary.h"
#include "engineabi/QuillHost.h"
#include "platform/Mutex.h"
#include "platform/OleHolders.h"
#include "platform/OleStatus.h"
#include "platform/Text.h"

namespace trs {

// A failing call into the control: the description the control gave with the failure, or
// the system's text for the status when it gave none.
class EOleException : public Exception {
 public:
  EOleException(std::string message, HRESULT status) : Exception(std::move(message)), Status(status) {}
  HRESULT ErrorCode() const { return Status; }

 private:
  HRESULT Status;
};

// One instance of the control, created with its defaults and no window. The library that
// holds it stays loaded while the object lives; the object's references to the control
// are released when it goes.
//
// Threads: calls are serialised (one at a time, whatever thread makes it), except the
// dialog methods (Design, Preview, Print, PrintWithoutDialog, Execute, ExportData), which
// keep the control's window up until the user closes it and so run without the lock; the
// control accepts other calls meanwhile.
class TReportHost {
 public:
  // Creates an instance from the control file in `directory` (with its trailing
  // separator). A missing file, one that can't be loaded, one without the creation export
  // and a creation that gives no object fail with EOleSysError "Class not registered"; a
  // failing status of the creation export fails with that status.
  static std::unique_ptr<TReportHost> Create(const std::string& directory);
  ~TReportHost();
  TReportHost(const TReportHost&) = delete;
  TReportHost& operator=(const TReportHost&) = delete;

  // Methods, by the control's names. Texts are wide; booleans reach the control as
  // VARIANT_BOOL (-1 or 0). Every failure is an EOleException.
  void Design();
  void Probe();
  void ClearDataSet();
  void SetMasterDetailRelation(std::u16string_view master, std::u16string_view detail);
  void Preview();
  void Close();
  void Print();
  void PrintWithoutDialog();
  void CreateTemplate(std::u16string_view name, int32_t kind);
  void SetTempatePageMargin(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void ClearTemplatePages();
  int32_t AddTemplatePage();
  int32_t AddTemplateTable(int32_t page);
  int32_t AddTemplateTableRow(int32_t page, int32_t table);
  int32_t AddTemplateTableCell(int32_t page, int32_t table, int32_t row, std::u16string_view text, int32_t width,
                               double value);
  void SetTemplateTableCellTextAlign(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
  void SetTemplateTableCellFont(int32_t a0, int32_t a1, int32_t a2, int32_t a3, std::u16string_view fontName,
                                int32_t size, bool b0, bool b1, bool b2);
  void MergeTemplateTableCell(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
  void SaveTemplate();
  int32_t LoadDataFromQuill3(std::u16string_view data, int32_t option);
  int32_t ExportData(int32_t kind);
  void SetTemplateTableCellLineVisible(int32_t a0, int32_t a1, int32_t a2, int32_t a3, bool b0, bool b1, bool b2,
                                       bool b3);
  void SetTemplateTableRowHeight(int32_t a0, int32_t a1, int32_t a2, double height);
  void SetTemplateTableCellKind(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, double value);
  void Execute();
  void ExpandTemplateTableRow(int32_t a0, int32_t a1, std::u16string_view title, std::u16string_view names, bool b0,
                              bool b1, bool b2);
  int32_t AddTemplateChart(int32_t a0, int32_t a1, int32_t a2, int32_t a3, std::u16string_view t0,
                           std::u16string_view t1, std::u16string_view t2, bool b0, bool b1, double r0, double r1);
  void SetTemplateTableCellFieldFormat(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5);
  int32_t AppendReportStyle(std::u16string_view name, std::u16string_view style);
  void SetTemplateTableCellForNumber(int32_t a0, int32_t a1, int32_t a2, int32_t a3, bool b0);
  int32_t AppendReportStyles(std::u16string_view styles);

  // Properties, read from the control on every call (nothing is cached). A get converts
  // the control's value as automation does (a number to decimal text, decimal text to a
  // number); a value that does not convert fails with "Type mismatch.".
  WideString GetTextProperty(QuillHost::TPropertyId id);
  int32_t GetIntegerProperty(QuillHost::TPropertyId id);
  void SetTextProperty(QuillHost::TPropertyId id, std::u16string_view value);
  void SetIntegerProperty(QuillHost::TPropertyId id, int32_t value);
  void SetBooleanProperty(QuillHost::TPropertyId id, bool value);

 private:
  TReportHost(TEngineLibrary library, TComPtr<IDispatch> control);

  // The control's default interface, asked for on the first call and kept from then on;
  // "Interface not supported" when the control does not offer it.
  IReportHostControl& DefaultInterface() TRS_REQUIRES(CallLock);
  // Runs `call` on the default interface under the lock; a failing status or an escaping
  // std::exception becomes an EOleException.
  template <typename Call>
  void Locked(const Call& call) TRS_EXCLUDES(CallLock);
  // The same for a dialog method: the lock is held only to take the interface.
  template <typename Call>
  void Unlocked(const Call& call) TRS_EXCLUDES(CallLock);
  void Invoke(QuillHost::TPropertyId id, uint16_t flags, VARIANT* argument, VARIANT* result) TRS_EXCLUDES(CallLock);
  void Put(QuillHost::TPropertyId id, TOleVariant& value) TRS_EXCLUDES(CallLock);

  // Declared first, so the library is unloaded only after the references below are gone.
  TEngineLibrary Library;
  TComPtr<IDispatch> Control;
  TMutex CallLock;
  TComPtr<IReportHostControl> Interface TRS_GUARDED_BY(CallLock);
};

// The error text of a failing status: the description when there is one, else the
// system's text for `scode` when that is a failure, else for `status`.
std::string OleErrorText(HRESULT status, std::u16string_view description, HRESULT scode = S_OK);

}  // namespace trs
