// Stand-in for QPrint.Dll, the report V10 engine: CreateReport and the five interfaces with
// every place in its slot. It keeps the templates it is given (lines, cells with their
// setter values and fonts, merges, margins) and journals each one when it is closed, keeps
// the settings of the last report for the next one, and answers GetMainData with a packet
// whose first record holds "样式编号" and "样式名称".
//
// Besides the keys of StandIn.h, the control file takes, per call:
//   <Call>.error=<message>       the call fails with an engine error (a C++ exception)
//   <Call>.until_file=<path>     the call (a dialog) stays open until that file exists
//   GetMainData.style_number=<n>, GetMainData.style_name=<text>: the first record
//   GetMainData.style_number=none: a main table without "样式编号"
// A placeholder place that is called is journalled under its name and fails, so a call in
// the wrong slot shows. StandInLiveObjects() tells how many objects are alive.
//
// Built in variants: TRS_QPRINT_NO_CREATE has no CreateReport export.
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "EngineExport.h"
#include "StandIn.h"
#include "dataset/ClientDataSet.h"
#include "engineabi/QPrint.h"
#include "platform/Mutex.h"
#include "platform/Text.h"


namespace {

using standin::Json;
using standin::JsonArray;
using standin::JsonObject;
using standin::TCall;
using standin::TJson;

constexpr char Engine[] = "QPrint";
constexpr auto LongestDialog = std::chrono::seconds(60);

// Engines, templates, lines and cells alive: every reference handed out and released again
// brings it back to where it was.
std::atomic<int> LiveObjects{0};

// Guards the state of every object: the engine is called from request threads and dialog
// workers at once. Never held while a call waits (its delay or its dialog).
trs::TMutex StateLock;

TJson JsonText(const ShortString& text) { return Json(std::string_view(text.text, text.length)); }

// The control's answer for `call` in the program's page, else `narrowFallback` as it is.
std::string NarrowResult(const TCall& call, const std::string& narrowFallback) {
  const std::optional<std::string> value = call.Setting("result");
  return value ? standin::ProgramText(*value) : narrowFallback;
}

void WriteShortString(const std::string& text, ShortString& result) {
  result.length = static_cast<uint8_t>(text.size() > 255 ? 255 : text.size());
  text.copy(result.text, result.length);
}

// The control's extras of a call: a dialog that stays open until the test's file exists,
// then the failure the test asked for.
void Finish(const TCall& call) {
  if (const std::optional<std::string> file = call.Setting("until_file")) {
    const auto deadline = std::chrono::steady_clock::now() + LongestDialog;
    while (!std::filesystem::exists(*file) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (const std::optional<std::string> message = call.Setting("error"))
    throw std::runtime_error(standin::ProgramText(*message));
}

[[noreturn]] void Placeholder(const char* name) {
  TCall call(Engine, name, {});
  throw std::logic_error(std::string("QPrint stand-in: the place ") + name + " is not an operation");
}

// Reference counting shared by the five kinds of object; an object frees itself when its
// count reaches 0.
template <typename Interface>
class TCounted : public Interface {
 public:
  TCounted() { ++LiveObjects; }
  virtual ~TCounted() { --LiveObjects; }
  TCounted(const TCounted&) = delete;
  TCounted& operator=(const TCounted&) = delete;

  HRESULT QueryInterface(const GUID&, void** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++Count; }
  ULONG Release() override {
    const uint32_t left = --Count;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<uint32_t> Count{1};
};

#define TRS_PLACEHOLDER(name) \
  void name() override { Placeholder(#name); }

class TCell final : public TCounted<IzrCellIntf> {
 public:
  TJson Describe() const TRS_REQUIRES(StateLock) {
    std::vector<std::pair<std::string, TJson>> setters;
    for (const auto& [place, value] : Setters) setters.emplace_back(std::to_string(place), Json(value));
    return JsonObject({{"text", Json(std::string_view(Text))}, {"setters", JsonObject(setters)}, {"font", Font}});
  }

  TRS_PLACEHOLDER(zrCell_Place1)
  TRS_PLACEHOLDER(zrCell_Place2)
  void SetText(const ShortString& text) override {
    TCall call(Engine, "SetText", {JsonText(text)});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    Text.assign(text.text, text.length);
  }
  TRS_PLACEHOLDER(zrCell_Place4)
  void SetByte5(uint8_t value) override { Set(5, value); }
  TRS_PLACEHOLDER(zrCell_Place6)
  void SetInteger7(int32_t value) override { Set(7, value); }
  TRS_PLACEHOLDER(zrCell_Place8)
  void SetInteger9(int32_t value) override { Set(9, value); }
  TRS_PLACEHOLDER(zrCell_Place10)
  void SetByte11(uint8_t value) override { Set(11, value); }
  TRS_PLACEHOLDER(zrCell_Place12)
  void SetInteger13(int32_t value) override { Set(13, value); }
  TRS_PLACEHOLDER(zrCell_Place14)
  void SetByte15(uint8_t value) override { Set(15, value); }
  TRS_PLACEHOLDER(zrCell_Place16)
  void SetInteger17(int32_t value) override { Set(17, value); }
  TRS_PLACEHOLDER(zrCell_Place18)
  void SetByte19(uint8_t value) override { Set(19, value); }
  TRS_PLACEHOLDER(zrCell_Place20)
  void SetInteger21(int32_t value) override { Set(21, value); }
  TRS_PLACEHOLDER(zrCell_Place22)
  void SetByte23(uint8_t value) override { Set(23, value); }
  TRS_PLACEHOLDER(zrCell_Place24)
  void SetInteger25(int32_t value) override { Set(25, value); }
  TRS_PLACEHOLDER(zrCell_Place26)
  void SetInteger27(int32_t value) override { Set(27, value); }
  TRS_PLACEHOLDER(zrCell_Place28)
  void SetInteger29(int32_t value) override { Set(29, value); }
  TRS_PLACEHOLDER(zrCell_Place30)
  void SetInteger31(int32_t value) override { Set(31, value); }
  TRS_PLACEHOLDER(zrCell_Place32)
  TRS_PLACEHOLDER(zrCell_Place33)
  void SetFont(const ShortString& name, int32_t size, uint8_t a, uint8_t b, uint8_t c, uint8_t d) override {
    const TJson font = JsonArray({JsonText(name), Json(size), Json(a), Json(b), Json(c), Json(d)});
    TCall call(Engine, "SetFont", {font});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    Font = font;
  }
  TRS_PLACEHOLDER(zrCell_Place35)

 private:
  // Journalled as "Set<place>" with the value: the order of the setters shows in the journal.
  void Set(int place, long long value) {
    const std::string name = "Set" + std::to_string(place);
    TCall call(Engine, name.c_str(), {Json(value)});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    Setters[place] = value;
  }

  std::string Text TRS_GUARDED_BY(StateLock);
  std::map<int, long long> Setters TRS_GUARDED_BY(StateLock);
  TJson Font TRS_GUARDED_BY(StateLock) = "null";
};

class TLine final : public TCounted<IzrLineIntf> {
 public:
  ~TLine() override {
    for (TCell* cell : Cells) cell->Release();
  }

  TJson Describe() const TRS_REQUIRES(StateLock) {
    std::vector<TJson> cells;
    for (const TCell* cell : Cells) cells.push_back(cell->Describe());
    return JsonObject({{"height", Height ? Json(*Height) : TJson("null")}, {"cells", JsonArray(cells)}});
  }

  TRS_PLACEHOLDER(zrLine_Place1)
  TRS_PLACEHOLDER(zrLine_Place2)
  TRS_PLACEHOLDER(zrLine_Place3)
  void SetHeight(int32_t height) override {
    TCall call(Engine, "SetHeight", {Json(height)});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    Height = height;
  }
  TRS_PLACEHOLDER(zrLine_Place5)
  TRS_PLACEHOLDER(zrLine_Place6)
  void AddCell(IzrCellIntf** result) override {
    TCall call(Engine, "AddCell", {Json(result != nullptr && *result == nullptr ? "null" : "not null")});
    Finish(call);
    *result = new TCell;
  }
  void InsertCell(IzrCellIntf* cell) override {
    TCall call(Engine, "InsertCell", {});
    Finish(call);
    if (cell == nullptr) throw std::invalid_argument("InsertCell: no cell");
    cell->AddRef();
    trs::TLockGuard guard(StateLock);
    Cells.push_back(static_cast<TCell*>(cell));
  }
  TRS_PLACEHOLDER(zrLine_Place9)
  TRS_PLACEHOLDER(zrLine_Place10)
  TRS_PLACEHOLDER(zrLine_Place11)

 private:
  std::optional<int32_t> Height TRS_GUARDED_BY(StateLock);
  std::vector<TCell*> Cells TRS_GUARDED_BY(StateLock);  // one reference each
};

class TTemplate final : public TCounted<IzrTemplateIntf> {
 public:
  ~TTemplate() override {
    for (TLine* line : Lines) line->Release();
  }

  TJson Describe() const TRS_REQUIRES(StateLock) {
    std::vector<std::pair<std::string, TJson>> margins;
    for (const auto& [place, value] : Margins) margins.emplace_back(std::to_string(place), Json(value));
    std::vector<TJson> lines;
    for (const TLine* line : Lines) lines.push_back(line->Describe());
    std::vector<TJson> merges;
    for (const auto& merge : Merges) merges.push_back(JsonArray({Json(merge[0]), Json(merge[1]), Json(merge[2]), Json(merge[3])}));
    return JsonObject({{"file", Json(std::string_view(File))}, {"option", Json(Option)}, {"margins", JsonObject(margins)},
                       {"lines", JsonArray(lines)}, {"merges", JsonArray(merges)}});
  }

  // IzrModelIntf
  TRS_PLACEHOLDER(zrModel_Place1)
  TRS_PLACEHOLDER(zrModel_Place2)
  void SetCreateOption(int32_t option) override {
    TCall call(Engine, "SetCreateOption", {Json(option)});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    Option = option;
  }
  TRS_PLACEHOLDER(zrModel_Place4)
  TRS_PLACEHOLDER(zrModel_Place5)
  TRS_PLACEHOLDER(zrModel_Place6)
  void SetMargin7(int32_t value) override { SetMargin(7, value); }
  TRS_PLACEHOLDER(zrModel_Place8)
  void SetMargin9(int32_t value) override { SetMargin(9, value); }
  TRS_PLACEHOLDER(zrModel_Place10)
  void SetMargin11(int32_t value) override { SetMargin(11, value); }
  TRS_PLACEHOLDER(zrModel_Place12)
  void SetMargin13(int32_t value) override { SetMargin(13, value); }
  TRS_PLACEHOLDER(zrModel_Place14)
  TRS_PLACEHOLDER(zrModel_Place15)
  void AddLine(IzrLineIntf** result) override {
    TCall call(Engine, "AddLine", {Json(result != nullptr && *result == nullptr ? "null" : "not null")});
    Finish(call);
    *result = new TLine;
  }
  void EndLine(IzrLineIntf* line) override {
    TCall call(Engine, "EndLine", {});
    Finish(call);
    if (line == nullptr) throw std::invalid_argument("EndLine: no line");
    line->AddRef();
    trs::TLockGuard guard(StateLock);
    Lines.push_back(static_cast<TLine*>(line));
  }
  TRS_PLACEHOLDER(zrModel_Place18)
  uint8_t MergeCell(int32_t a, int32_t b, int32_t c, int32_t d) override {
    TCall call(Engine, "MergeCell", {Json(a), Json(b), Json(c), Json(d)});
    Finish(call);
    const bool merged = call.Result(1) != 0;
    if (merged) {
      trs::TLockGuard guard(StateLock);
      Merges.push_back({a, b, c, d});
    }
    return merged ? 1 : 0;
  }
  TRS_PLACEHOLDER(zrModel_Place20)
  TRS_PLACEHOLDER(zrModel_Place21)
  TRS_PLACEHOLDER(zrModel_Place22)

  // IzrTemplateIntf
  void LoadFromFile(const ShortString& fileName) override {
    TCall call(Engine, "LoadFromFile", {JsonText(fileName)});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    File.assign(fileName.text, fileName.length);
  }
  TRS_PLACEHOLDER(zrTemplate_Place2)
  TRS_PLACEHOLDER(zrTemplate_Place3)
  TRS_PLACEHOLDER(zrTemplate_Place4)
  TRS_PLACEHOLDER(zrTemplate_Place5)
  TRS_PLACEHOLDER(zrTemplate_Place6)
  TRS_PLACEHOLDER(zrTemplate_Place7)
  TRS_PLACEHOLDER(zrTemplate_Place8)
  TRS_PLACEHOLDER(zrTemplate_Place9)
  TRS_PLACEHOLDER(zrTemplate_Place10)
  TRS_PLACEHOLDER(zrTemplate_Place11)
  TRS_PLACEHOLDER(zrTemplate_Place12)
  TRS_PLACEHOLDER(zrTemplate_Place13)
  TRS_PLACEHOLDER(zrTemplate_Place14)
  TRS_PLACEHOLDER(zrTemplate_Place15)
  TRS_PLACEHOLDER(zrTemplate_Place16)
  TRS_PLACEHOLDER(zrTemplate_Place17)
  TRS_PLACEHOLDER(zrTemplate_Place18)
  TRS_PLACEHOLDER(zrTemplate_Place19)

 private:
  void SetMargin(int place, int32_t value) {
    const std::string name = "SetMargin" + std::to_string(place);
    TCall call(Engine, name.c_str(), {Json(value)});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    Margins[place] = value;
  }

  std::string File TRS_GUARDED_BY(StateLock);
  int32_t Option TRS_GUARDED_BY(StateLock) = 0;
  std::map<int, int32_t> Margins TRS_GUARDED_BY(StateLock);
  std::vector<TLine*> Lines TRS_GUARDED_BY(StateLock);  // the ended lines, one reference each
  std::vector<std::array<int32_t, 4>> Merges TRS_GUARDED_BY(StateLock);
};

// What the engine keeps between reports: a report made after EndReport sees the settings
// and the data the page gave an earlier one.
struct TEngineSettings {
  std::string TemplateName;
  int32_t StyleIndex = 0;
};
TEngineSettings Settings TRS_GUARDED_BY(StateLock);

// The engine's main table: one record with the style number and name the control chose.
std::string MainDataPacket(const TCall& call) {
  const std::string number = call.Setting("style_number").value_or("1");
  trs::TClientDataSet table;
  if (number != "none") table.AddFieldDef(standin::ProgramText("样式编号"), trs::TFieldType::ftInteger, 0);
  table.AddFieldDef(standin::ProgramText("样式名称"), trs::TFieldType::ftString, 100);
  table.CreateDataSet();
  table.Append();
  int field = 0;
  if (number != "none") table.SetFieldInteger(field++, std::atoll(number.c_str()));
  table.SetFieldText(field, standin::ProgramText(call.Setting("style_name").value_or("标准样式")));
  table.Post();
  return table.Data();
}

// Dialog operations: journalled, then open for as long as the control says.
#define TRS_DIALOG(name)                \
  void name() override {                \
    TCall call(Engine, #name, {});      \
    Finish(call);                       \
  }

class TReport final : public TCounted<IzrReport> {
 public:
  TRS_PLACEHOLDER(zrReport_Place1)
  TRS_PLACEHOLDER(zrReport_Place2)
  TRS_PLACEHOLDER(zrReport_Place3)
  void GetTemplateName(ShortString& result) override {
    TCall call(Engine, "GetTemplateName", {});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    WriteShortString(NarrowResult(call, Settings.TemplateName), result);
  }
  void SetTemplateName(const ShortString& name) override {
    TCall call(Engine, "SetTemplateName", {JsonText(name)});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    Settings.TemplateName.assign(name.text, name.length);
  }
  void GetMainData(VARIANT& result) override {
    TCall call(Engine, "GetMainData", {Json(static_cast<long long>(result.vt))});
    Finish(call);
    const std::string packet = MainDataPacket(call);
    SAFEARRAY* array = SafeArrayCreateByteVector(static_cast<uint32_t>(packet.size()));
    if (array == nullptr) throw std::bad_alloc();
    packet.copy(static_cast<char*>(array->pvData), packet.size());
    result.vt = VT_ARRAY | VT_UI1;
    result.parray = array;
  }
  TRS_PLACEHOLDER(zrReport_Place7)
  TRS_PLACEHOLDER(zrReport_Place8)
  TRS_PLACEHOLDER(zrReport_Place9)
  TRS_PLACEHOLDER(zrReport_Place10)
  TRS_PLACEHOLDER(zrReport_Place11)
  TRS_PLACEHOLDER(zrReport_Place12)
  TRS_PLACEHOLDER(zrReport_Place13)
  TRS_PLACEHOLDER(zrReport_Place14)
  TRS_PLACEHOLDER(zrReport_Place15)
  TRS_PLACEHOLDER(zrReport_Place16)
  int32_t GetLastResult() override { return Integer("GetLastResult", 1); }
  TRS_PLACEHOLDER(zrReport_Place18)
  TRS_PLACEHOLDER(zrReport_Place19)
  TRS_DIALOG(Print)
  TRS_DIALOG(Preview)
  TRS_DIALOG(Design)
  TRS_DIALOG(Execute)
  TRS_PLACEHOLDER(zrReport_Place24)
  void GetVersionInfo(ShortString& result) override {
    TCall call(Engine, "GetVersionInfo", {});
    Finish(call);
    WriteShortString(NarrowResult(call, "QPrint stand-in 5.2"), result);
  }
  int32_t GetStyleIndex() override {
    TCall call(Engine, "GetStyleIndex", {});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    return static_cast<int32_t>(call.Result(Settings.StyleIndex));
  }
  void SetStyleIndex(int32_t index) override {
    TCall call(Engine, "SetStyleIndex", {Json(index)});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    Settings.StyleIndex = index;
  }
  const char* ReadStyleNames() override {
    TCall call(Engine, "ReadStyleNames", {});
    Finish(call);
    trs::TLockGuard guard(StateLock);
    StyleNames = NarrowResult(call, standin::ProgramText("标准样式\r\n小票样式"));
    return StyleNames.c_str();
  }
  void NewTemplate(IzrTemplateIntf** result) override {
    TCall call(Engine, "NewTemplate", {Json(result != nullptr && *result == nullptr ? "null" : "not null")});
    Finish(call);
    *result = new TTemplate;
  }
  void CloseTemplate(IzrTemplateIntf* templ) override {
    TJson description = "null";
    if (templ != nullptr) {
      trs::TLockGuard guard(StateLock);
      description = static_cast<TTemplate*>(templ)->Describe();
    }
    TCall call(Engine, "CloseTemplate", {description});
    Finish(call);
  }
  void BeginAction() override { Simple("BeginAction"); }
  void OpenTemplate() override { Simple("OpenTemplate"); }
  void GetStyleFileName(int32_t style, ShortString& result) override {
    TCall call(Engine, "GetStyleFileName", {Json(style)});
    Finish(call);
    WriteShortString(NarrowResult(call, "Style" + std::to_string(style) + ".rwx"), result);
  }
  TRS_DIALOG(ExportData)
  TRS_PLACEHOLDER(zrReport_Place35)
  TRS_PLACEHOLDER(zrReport_Place36)
  TRS_PLACEHOLDER(zrReport_Place37)
  TRS_PLACEHOLDER(zrReport_Place38)
  TRS_PLACEHOLDER(zrReport_Place39)
  TRS_PLACEHOLDER(zrReport_Place40)
  TRS_PLACEHOLDER(zrReport_Place41)
  TRS_PLACEHOLDER(zrReport_Place42)
  TRS_PLACEHOLDER(zrReport_Place43)
  TRS_PLACEHOLDER(zrReport_Place44)
  TRS_PLACEHOLDER(zrReport_Place45)
  TRS_PLACEHOLDER(zrReport_Place46)
  void LoadData(const VARIANT& data, int32_t n, int32_t third) override {
    const std::u16string_view text =
        data.vt == VT_BSTR ? BStrView(data.bstrVal) : std::u16string_view();
    TCall call(Engine, "LoadData",
               {Json(static_cast<long long>(data.vt)), standin::JsonUtf8(trs::EncodeUtf8Result(text)), Json(n), Json(third)});
    Finish(call);
  }
  TRS_PLACEHOLDER(zrReport_Place48)
  void SetDataDirName(const ShortString& name) override {
    TCall call(Engine, "SetDataDirName", {JsonText(name)});
    Finish(call);
  }
  TRS_PLACEHOLDER(zrReport_Place50)
  int32_t GetPrintTimes() override { return Integer("GetPrintTimes", 0); }
  int32_t GetExportTimes() override { return Integer("GetExportTimes", 0); }
  void SetPrintTimesLimit(int32_t limit) override { Simple("SetPrintTimesLimit", {Json(limit)}); }
  uint8_t BeginBatchPrint() override { return Integer("BeginBatchPrint", 1) != 0 ? 1 : 0; }
  void EndBatchPrint() override { Simple("EndBatchPrint"); }
  void SetAllowExport(uint8_t allow) override { Simple("SetAllowExport", {Json(allow)}); }
  TRS_PLACEHOLDER(zrReport_Place57)
  TRS_DIALOG(PrintWithoutDialog)
  TRS_PLACEHOLDER(zrReport_Place59)
  void SetAllowPrint(uint8_t allow) override { Simple("SetAllowPrint", {Json(allow)}); }
  TRS_PLACEHOLDER(zrReport_Place61)
  void SetAllowPreviewEdit(uint8_t allow) override { Simple("SetAllowPreviewEdit", {Json(allow)}); }
  TRS_PLACEHOLDER(zrReport_Place63)
  TRS_PLACEHOLDER(zrReport_Place64)
  TRS_PLACEHOLDER(zrReport_Place65)
  void SetDefaultUseNewDesignForm(uint8_t use) override { Simple("SetDefaultUseNewDesignForm", {Json(use)}); }
  void PrepareAction(uint8_t prepare) override { Simple("PrepareAction", {Json(prepare)}); }
  int16_t GetIsBatchPrinting() override { return static_cast<int16_t>(Integer("GetIsBatchPrinting", 0)); }
  TRS_PLACEHOLDER(zrReport_Place69)

 private:
  void Simple(const char* name, std::vector<TJson> args = {}) {
    TCall call(Engine, name, std::move(args));
    Finish(call);
  }
  int32_t Integer(const char* name, long long fallback) {
    TCall call(Engine, name, {});
    Finish(call);
    return static_cast<int32_t>(call.Result(fallback));
  }

  // What ReadStyleNames answered last: valid until the next call.
  std::string StyleNames TRS_GUARDED_BY(StateLock);
};

}  // namespace

#ifndef TRS_QPRINT_NO_CREATE
TRS_EXPORT void CreateReport(IzrReport** report) noexcept {
  try {
    TCall call(Engine, "CreateReport", {Json(report != nullptr && *report == nullptr ? "null" : "not null")});
    if (report != nullptr) *report = new TReport;
  } catch (...) {
    // An export never throws: without memory the caller gets no report.
  }
}
static_assert(std::is_same_v<decltype(CreateReport), QPrint::CreateReportFn>);
#endif

// For tests: the objects alive now (reports, templates, lines, cells).
TRS_EXPORT int32_t StandInLiveObjects() noexcept { return LiveObjects.load(); }
