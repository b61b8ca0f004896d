// The report V10 driver: request type ReportV10, or no type at all. It builds reports line
// by line and cell by cell on the engine QPrint.Dll, hands it data and settings, and runs
// its dialog actions in front of the browser.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "drivers/QPrintLoader.h"
#include "drivers/fuReportBase.h"
#include "engineabi/QPrint.h"
#include "platform/Mutex.h"
#include "platform/OleHolders.h"

namespace trs {

// Engine references go: none -> Report (EnsureReport) -> with Template (createreport) ->
// with Line (addline) -> with Cell (addcell) -> none again (EndReport). Reading a property
// other than version, setting StyleIndex and every dialog method end the report being built.
//
// Threads: requests reach the driver under its CallLock, and so do the steps of a dialog
// action that touch the references: the action takes the lock to read or create Report and
// to take its own counted reference in the same step, and again for the EndReport at its
// end. No lock is held while the engine's window is open, so IsPrinting, EndShowDialog and
// any other Get are answered during the dialog; what they drop is the driver's reference,
// never the action's. The destructor waits for the driver's running dialog actions.
class TTallyReport : public TReportBase {
 public:
  // `loader` is the program's one QPrint.Dll loader unless a test gives its own.
  explicit TTallyReport(TQPrintLoader& loader = ReportEngineLoader());
  ~TTallyReport() override;

  WideString InvokeMethod(const std::string& name, const std::string& args) override TRS_REQUIRES(CallLock);
  void SetProperty(const std::string& name, const std::string& value) override TRS_REQUIRES(CallLock);
  WideString GetProperty(const std::string& name) override TRS_REQUIRES(CallLock);
  // Hands the request body to the engine report: 0, or -1 for any failure (not reported).
  int LoadDataFromQuill3(const WideString& data, int n) override TRS_REQUIRES(CallLock);

 private:
  class TktPrintConfiger;
  struct TDialogState;
  struct TPublishedOperation;

  // The commands of InvokeMethod after the base's; -1 for an unknown name.
  int RunCommand(const std::string& command) TRS_REQUIRES(CallLock);
  int CreateReport() TRS_REQUIRES(CallLock);
  int AddLine() TRS_REQUIRES(CallLock);
  int SetLineHeight() TRS_REQUIRES(CallLock);
  int AddCell() TRS_REQUIRES(CallLock);
  int SetCellFont() TRS_REQUIRES(CallLock);
  int SetReportMargin() TRS_REQUIRES(CallLock);
  int EndLine() TRS_REQUIRES(CallLock);
  int MergeCell() TRS_REQUIRES(CallLock);
  int BeginBatchPrint() TRS_REQUIRES(CallLock);
  int EndBatchPrint() TRS_REQUIRES(CallLock);

  // The published operations: dialog actions and getters, looked up by name.
  static const TPublishedOperation* FindPublished(const std::string& name);
  int32_t ShowDialog(uint8_t kind) TRS_REQUIRES(CallLock);
  WideString Get_Version() TRS_REQUIRES(CallLock);
  WideString Get_TemplateName() TRS_REQUIRES(CallLock);
  WideString Get_StyleNames() TRS_REQUIRES(CallLock);
  WideString Get_VersionInfo() TRS_REQUIRES(CallLock);
  int32_t Get_StyleIndex() TRS_REQUIRES(CallLock);
  int32_t Get_PrintTimes() TRS_REQUIRES(CallLock);
  int32_t Get_ExportTimes() TRS_REQUIRES(CallLock);
  int32_t Get_IsBatchPrinting() TRS_REQUIRES(CallLock);
  int32_t Get_EndShowDialog() TRS_REQUIRES(CallLock);
  // "1" while a print bracket or an engine dialog is open or the engine prints a batch.
  WideString IsPrinting() TRS_REQUIRES(CallLock);

  // The answer of `query` on the engine report (created when needed); an engine or loader
  // error is reported and answered with `failed`.
  template <typename Answer, typename Query>
  Answer AskReport(Query query, Answer failed) TRS_REQUIRES(CallLock);
  // Calls `setter` with `value` on the engine report; errors as in AskReport.
  template <typename Setter, typename Value>
  void SetOnReport(Setter setter, const Value& value) TRS_REQUIRES(CallLock);
  // Creates the engine report when there is none. Loader errors are not caught.
  void EnsureReport() TRS_REQUIRES(CallLock);
  // Closes the report being built and drops every reference: 0, or 5 after reporting the
  // engine's error.
  int EndReport() TRS_REQUIRES(CallLock);
  // EndReport's work without the report: the error, if any, for the caller to report
  // once it no longer holds the lock.
  std::exception_ptr CloseReport() TRS_REQUIRES(CallLock);

  // The dialog action on the worker: the style-selected engine action of `kind`; its
  // result (the engine's last result) is not used. Takes the CallLock only to read or
  // create Report and take its own reference.
  int32_t RunStyleAction(uint8_t kind) TRS_EXCLUDES(CallLock);
  // EndReport at the end of a dialog action, on the worker.
  void EndReportAfterAction() TRS_EXCLUDES(CallLock);
  // The style file the action opens, chosen from the engine's main table (error boxes for
  // an invalid choice; the action goes on with an empty name).
  static std::string ChooseStyleFile(IzrReport& report);

  // Hands an engine or loader error to the client log, which shows it and passes it on to
  // crash reporting; ReportCaughtError is for the error being handled in a catch block.
  static void ReportError(const std::exception_ptr& error);
  static void ReportCaughtError();

  TQPrintLoader& Loader;
  TComPtr<IzrReport> Report TRS_GUARDED_BY(CallLock);
  TComPtr<IzrTemplateIntf> Template TRS_GUARDED_BY(CallLock);
  TComPtr<IzrLineIntf> Line TRS_GUARDED_BY(CallLock);
  TComPtr<IzrCellIntf> Cell TRS_GUARDED_BY(CallLock);
  int32_t MaxCells TRS_GUARDED_BY(CallLock) = 0;
  int32_t CellCount TRS_GUARDED_BY(CallLock) = 0;
  // The items of the current command.
  std::vector<std::string> Args TRS_GUARDED_BY(CallLock);
  // The engine library's version once read; read once per run of the program.
  std::string VersionText TRS_GUARDED_BY(CallLock);
  // EndShowDialog and the count of running actions, shared with the runners so that a
  // runner's last notice on the main thread may come after the driver has gone.
  const std::shared_ptr<TDialogState> Dialogs;
  // The runner of the most recent dialog action.
  std::shared_ptr<TktPrintConfiger> Runner TRS_GUARDED_BY(CallLock);
};

}  // namespace trs
