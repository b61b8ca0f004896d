// The report V11 driver: request type ReportV11, which drives the report host control
// ("QuillHost.ocx" in the program's directory).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "desktop/ktShowDialog.h"
#include "desktop/zrProgressor.h"
#include "drivers/QuillHost_TLB.h"
#include "drivers/fuReportBase.h"

namespace trs {

// What the driver shares with its dialog runs, which may outlive a request and even the
// driver: the control, made by whichever needs it first (a request or a run's worker), and
// EndShowDialog, which the runs set and pages poll.
class TQuillReportState {
 public:
  explicit TQuillReportState(std::string controlDirectory) : ControlDirectory(std::move(controlDirectory)) {}

  // The control, creating it now when there is none yet; a failed creation raises its error
  // and leaves none, so the next caller tries again. Once made, the control stays for the
  // life of this object.
  TReportHost& Host() TRS_EXCLUDES(HostLock);

  // 0 from the start of a dialog operation until its run's completion notice, then 1.
  std::atomic<int32_t> EndShowDialog{0};

 private:
  const std::string ControlDirectory;
  TMutex HostLock;
  std::unique_ptr<TReportHost> HostValue TRS_GUARDED_BY(HostLock);
};

// The driver. Template building: LoadDataFromQuill3 shows the progress window and sets
// BuildingTemplate; every later command the base does not handle steps the window;
// SaveTemplate (or a failure of either) finishes it. Dialog operations (Design, Preview,
// Print, Execute, PrintWithoutDialog, ExportData) run on the dialog runner and answer at
// once; the page polls EndShowDialog or IsPrinting, which are answered without waiting for
// any call in progress.
class TQuillReport : public TReportBase {
 public:
  // The control is looked for in `controlDirectory` (the program's directory).
  explicit TQuillReport(std::string controlDirectory);
  TQuillReport();
  ~TQuillReport() override;

  WideString InvokeMethod(const std::string& name, const std::string& args) override TRS_REQUIRES(CallLock);
  void SetProperty(const std::string& name, const std::string& value) override TRS_REQUIRES(CallLock);
  WideString GetProperty(const std::string& name) override TRS_REQUIRES(CallLock);
  // "isprinting" and "endshowdialog".
  std::optional<WideString> GetPropertyWithoutWaiting(const std::string& name) const override;
  int LoadDataFromQuill3(const WideString& data, int option) override TRS_REQUIRES(CallLock);

  // The runner of one dialog operation; `Kind` picks the control's method: 0 Execute,
  // 1 Print, 2 Design, 3 Preview, 4 ExportData (with 0), 5 PrintWithoutDialog.
  class TktPrintConfiger;

 private:
  // An operation of PlainMethods; its integer result ("-1" for those without one).
  int32_t RunPlainMethod(const std::string& name) TRS_REQUIRES(CallLock);
  // A command with arguments from the command table; -1 for those without a result and
  // for a name that is in no table.
  int32_t RunCommand(const std::string& name) TRS_REQUIRES(CallLock);
  // Starts a run of `kind` on the dialog runner; the run's number (never 0).
  int32_t StartDialog(uint8_t kind) TRS_REQUIRES(CallLock);
  int32_t SaveTemplate() TRS_REQUIRES(CallLock);

  const std::vector<std::string> TextProperties;
  const std::vector<std::string> IntegerProperties;
  const std::vector<std::string> BooleanProperties;
  const std::vector<std::string> PlainMethods;
  std::vector<std::string> Arguments TRS_GUARDED_BY(CallLock);
  const std::shared_ptr<TQuillReportState> State;
  std::unique_ptr<TzrProgressor> Progress;
  bool BuildingTemplate TRS_GUARDED_BY(CallLock) = false;
  // The most recent run's runner; an earlier one is released once its run has ended.
  std::shared_ptr<TktPrintConfiger> CurrentConfiger TRS_GUARDED_BY(CallLock);
  int32_t DialogRuns TRS_GUARDED_BY(CallLock) = 0;
};

class TQuillReport::TktPrintConfiger : public TktIEShowDialog {
 public:
  // Sets the owner's EndShowDialog to 0.
  TktPrintConfiger(uint8_t kind, std::shared_ptr<TQuillReportState> owner);

 protected:
  // Runs the control's method for Kind (creating the control when there is none) with
  // EngineDialogActive held; the flag is cleared whether the call succeeds or fails.
  void DoShow() override;
  // Sets the owner's EndShowDialog to 1.
  void DoAfterShow() override;

 private:
  const uint8_t Kind;
  const std::shared_ptr<TQuillReportState> Owner;
};

}  // namespace trs
