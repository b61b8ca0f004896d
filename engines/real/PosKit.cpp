// PosKit.dll: the cash drawer behind the receipt printer and the customer display on its
// serial line, configured in the [receipt] and [display] sections of printing.ini; its
// window edits that file. The exports answer nothing, so a failure goes to the log.
#include <atomic>
#include <chrono>
#include <exception>
#include <type_traits>

#include "CustomerDisplay.h"
#include "EscPos.h"
#include "NarrowText.h"
#include "PrintLog.h"
#include "PrintSettings.h"
#include "PrintTarget.h"
#include "SettingsWindow.h"
#include "engineabi/PosKit.h"
#include "platform/Mutex.h"

#define TRS_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr char Engine[] = "PosKit";

// One command at a time on the devices: two requests must not interleave their bytes.
trs::TMutex DeviceLock;

void OpenCashBox() {
  const printkit::TReceiptPrinter printer = printkit::ReceiptPrinterFrom(printkit::TPrintSettings::Current());
  const printkit::TTarget target = printkit::ParseTarget(printer.Target);
  if (target.Kind == printkit::TTargetKind::PdfFolder) {
    printkit::Log(Engine, "no cash drawer to open: the receipt printer is " + target.Text);
    return;
  }
  printkit::TJob job;
  job.Title = "cash drawer";
  job.Bytes = printkit::EscPosDrawerPulse(printer.DrawerPin, printer.DrawerOn, printer.DrawerOff);
  trs::TLockGuard guard(DeviceLock);
  printkit::Log(Engine, "cash drawer pulse sent to " +
                            printkit::Deliver(target, job, std::chrono::milliseconds(printer.TimeLimitMs)));
}

void ScreenOut(int32_t number, const char* text) {
  const printkit::TCustomerDisplay display = printkit::CustomerDisplayFrom(printkit::TPrintSettings::Current());
  if (display.Device.empty()) {
    printkit::Log(Engine, "no customer display configured ([display] device=)");
    return;
  }
  const std::string bytes = printkit::DisplayCommands(display, number, printkit::NarrowToUtf8(text));
  trs::TLockGuard guard(DeviceLock);
  printkit::DeliverToDevice(display.Device, bytes, std::chrono::milliseconds(display.TimeLimitMs), display.Baud);
}

}  // namespace

TRS_EXPORT void ShowPosCfg(int32_t /*zero*/) noexcept {
  try {
    printkit::SettingsWindow().Show();
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot show the printing settings: ") + error.what());
  }
}
static_assert(std::is_same_v<decltype(ShowPosCfg), PosKit::ShowPosCfgFn>);

TRS_EXPORT void HidePage(int32_t page) noexcept { printkit::SettingsWindow().HidePage(page); }
static_assert(std::is_same_v<decltype(HidePage), PosKit::HidePageFn>);

TRS_EXPORT void ShowAllPages() noexcept { printkit::SettingsWindow().ShowAllPages(); }
static_assert(std::is_same_v<decltype(ShowAllPages), PosKit::ShowAllPagesFn>);

TRS_EXPORT void PosOpenCashBox() noexcept {
  try {
    OpenCashBox();
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot open the cash drawer: ") + error.what());
  }
}
static_assert(std::is_same_v<decltype(PosOpenCashBox), PosKit::PosOpenCashBoxFn>);

TRS_EXPORT void PosScreenOut(int32_t number, const char* text) noexcept {
  try {
    ScreenOut(number, text);
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot write to the customer display: ") + error.what());
  }
}
static_assert(std::is_same_v<decltype(PosScreenOut), PosKit::PosScreenOutFn>);

TRS_EXPORT uint8_t GetIsShowedForm() noexcept { return printkit::SettingsWindow().IsShown() ? 1 : 0; }
static_assert(std::is_same_v<decltype(GetIsShowedForm), PosKit::GetIsShowedFormFn>);
