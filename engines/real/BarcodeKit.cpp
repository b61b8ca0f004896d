// BarcodeKit.dll: labels with barcodes. BarConfigCds keeps the rows of the packet it is
// given; PrintBarOutEx prints `number` copies of each row's label in a named style
// (LabelStyle.h: sheets or rolls, text and barcode fields, PDF or ZPL/TSPL, a target);
// SetStartPrintPosition picks the first slot on the first sheet of the next print (1-based,
// left to right, top down; 1 again after that print). GetStyleNames lists the style file's
// names, one a line ("\r\n" between them). Failures answer false and go to the log.
#include <QString>

#include <atomic>
#include <chrono>
#include <exception>
#include <type_traits>

#include "LabelOutput.h"
#include "LabelStyle.h"
#include "NarrowText.h"
#include "PrintLog.h"
#include "PrintSettings.h"
#include "PrintTarget.h"
#include "dataset/ClientDataSet.h"
#include "engineabi/BarcodeKit.h"
#include "platform/Mutex.h"
#include "platform/Ole.h"

#define TRS_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr char Engine[] = "BarcodeKit";

trs::TMutex StateLock;
printkit::TLabelData Rows TRS_GUARDED_BY(StateLock);
int StartSlot TRS_GUARDED_BY(StateLock) = 1;

printkit::TLabelData ReadPacket(std::string_view packet) {
  trs::TClientDataSet table;
  table.SetData(packet);
  printkit::TLabelData data;
  for (int field = 0; field < table.FieldCount(); ++field) data.Columns.push_back(printkit::NarrowToUtf8(table.FieldInfo(field).Name));
  for (table.First(); !table.Eof(); table.Next()) {
    std::vector<std::string> row;
    for (int field = 0; field < table.FieldCount(); ++field)
      row.push_back(table.FieldIsNull(field) ? std::string() : printkit::NarrowToUtf8(table.FieldAsString(field)));
    data.Rows.push_back(std::move(row));
  }
  return data;
}

std::string StyleFile(const printkit::TPrintSettings& settings) {
  return printkit::ResolveConfigPath(settings.Text("labels", "styles", "labels.json"));
}

bool Print(int32_t number, const std::string& styleName) {
  if (number < 1) throw printkit::TPrintError("the number of copies must be at least 1, not " + std::to_string(number));
  printkit::TLabelData data;
  int start = 1;
  {
    trs::TLockGuard guard(StateLock);
    data = Rows;
    start = StartSlot;
    StartSlot = 1;
  }
  if (data.Rows.empty()) throw printkit::TPrintError("no label data: BarConfigCds gave no rows");
  const printkit::TPrintSettings settings = printkit::TPrintSettings::Current();
  const std::string name = styleName.empty() ? settings.Text("labels", "default_style") : styleName;
  const printkit::TLabelStyle style = printkit::LoadLabelStyle(StyleFile(settings), name, data.Columns);
  const printkit::TTarget target = printkit::ParseTarget(style.Target.empty() ? settings.Text("labels", "target") : style.Target);
  const printkit::TJob job = printkit::LabelJob(style, data, number, start);
  const auto limit = std::chrono::milliseconds(settings.Number("labels", "timeout_ms", 10000));
  const std::string styleText = style.Name.empty() ? "the built-in style" : "style \"" + style.Name + "\"";
  printkit::Log(Engine, std::to_string(data.Rows.size() * static_cast<size_t>(number)) + " label(s) in " + styleText +
                            " sent to " + printkit::Deliver(target, job, limit));
  return true;
}

}  // namespace

TRS_EXPORT void BarConfigCds(int32_t /*zero*/, VARIANT* packet) noexcept {
  try {
    if (packet == nullptr || packet->vt != (VT_ARRAY | VT_UI1) || packet->parray == nullptr || packet->parray->pvData == nullptr)
      throw printkit::TPrintError("no data packet");
    printkit::TLabelData data =
        ReadPacket({static_cast<const char*>(packet->parray->pvData), packet->parray->rgsabound[0].cElements});
    trs::TLockGuard guard(StateLock);
    Rows = std::move(data);
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot take the label data: ") + error.what());
  }
}
static_assert(std::is_same_v<decltype(BarConfigCds), BarcodeKit::BarConfigCdsFn>);

TRS_EXPORT uint8_t PrintBarOutEx(int32_t number, const char* styleName) noexcept {
  try {
    return Print(number, printkit::NarrowToUtf8(styleName)) ? 1 : 0;
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("labels not printed: ") + error.what());
    return 0;
  }
}
static_assert(std::is_same_v<decltype(PrintBarOutEx), BarcodeKit::PrintBarOutExFn>);

TRS_EXPORT void GetStyleNames(BSTR* names) noexcept {
  if (names == nullptr) return;
  try {
    QString text;
    for (const std::string& name : printkit::LabelStyleNames(StyleFile(printkit::TPrintSettings::Current()))) {
      if (!text.isEmpty()) text += "\r\n";
      text += QString::fromStdString(name);
    }
    *names = SysAllocStringLen(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<uint32_t>(text.size()));
  } catch (const std::exception& error) {
    printkit::Log(Engine, std::string("cannot list the label styles: ") + error.what());
  }
}
static_assert(std::is_same_v<decltype(GetStyleNames), BarcodeKit::GetStyleNamesFn>);

TRS_EXPORT void SetStartPrintPosition(int32_t position) noexcept {
  trs::TLockGuard guard(StateLock);
  StartSlot = position;
}
static_assert(std::is_same_v<decltype(SetStartPrintPosition), BarcodeKit::SetStartPrintPositionFn>);

// Labels are printed without a window of their own.
TRS_EXPORT uint8_t GetIsShowedForm() noexcept { return 0; }
static_assert(std::is_same_v<decltype(GetIsShowedForm), BarcodeKit::GetIsShowedFormFn>);
