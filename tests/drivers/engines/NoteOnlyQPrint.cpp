// A report V10 engine written from the engine binary interface note alone, without any of
// the project's headers: the note's types, the five interfaces with every place in its slot
// (placeholders where the program calls nothing), short strings, a packet variant it builds
// byte by byte, and exceptions as its errors. It writes what it receives, one line a call,
// to the file named by NOTE_ENGINE_LOG.
#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

#include "NoteOnlyEngine.h"

using note::SAFEARRAY;
using note::VARIANT;

struct GUID { uint32_t Data1; uint16_t Data2, Data3; uint8_t Data4[8]; };
struct IUnknown {
  virtual int32_t QueryInterface(const GUID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;
};
struct ShortString { uint8_t length; char text[255]; };

struct IzrTemplateIntf;
struct IzrLineIntf;
struct IzrCellIntf;

struct IzrReport : IUnknown {
  virtual void zrReport_Place1() = 0;
  virtual void zrReport_Place2() = 0;
  virtual void zrReport_Place3() = 0;
  virtual void GetTemplateName(ShortString& result) = 0;
  virtual void SetTemplateName(const ShortString& name) = 0;
  virtual void GetMainData(VARIANT& result) = 0;
  virtual void zrReport_Place7() = 0;
  virtual void zrReport_Place8() = 0;
  virtual void zrReport_Place9() = 0;
  virtual void zrReport_Place10() = 0;
  virtual void zrReport_Place11() = 0;
  virtual void zrReport_Place12() = 0;
  virtual void zrReport_Place13() = 0;
  virtual void zrReport_Place14() = 0;
  virtual void zrReport_Place15() = 0;
  virtual void zrReport_Place16() = 0;
  virtual int32_t GetLastResult() = 0;
  virtual void zrReport_Place18() = 0;
  virtual void zrReport_Place19() = 0;
  virtual void Print() = 0;
  virtual void Preview() = 0;
  virtual void Design() = 0;
  virtual void Execute() = 0;
  virtual void zrReport_Place24() = 0;
  virtual void GetVersionInfo(ShortString& result) = 0;
  virtual int32_t GetStyleIndex() = 0;
  virtual void SetStyleIndex(int32_t index) = 0;
  virtual const char* ReadStyleNames() = 0;
  virtual void NewTemplate(IzrTemplateIntf** result) = 0;
  virtual void CloseTemplate(IzrTemplateIntf* templ) = 0;
  virtual void BeginAction() = 0;
  virtual void OpenTemplate() = 0;
  virtual void GetStyleFileName(int32_t style, ShortString& result) = 0;
  virtual void ExportData() = 0;
  virtual void zrReport_Place35() = 0;
  virtual void zrReport_Place36() = 0;
  virtual void zrReport_Place37() = 0;
  virtual void zrReport_Place38() = 0;
  virtual void zrReport_Place39() = 0;
  virtual void zrReport_Place40() = 0;
  virtual void zrReport_Place41() = 0;
  virtual void zrReport_Place42() = 0;
  virtual void zrReport_Place43() = 0;
  virtual void zrReport_Place44() = 0;
  virtual void zrReport_Place45() = 0;
  virtual void zrReport_Place46() = 0;
  virtual void LoadData(const VARIANT& data, int32_t n, int32_t third) = 0;
  virtual void zrReport_Place48() = 0;
  virtual void SetDataDirName(const ShortString& name) = 0;
  virtual void zrReport_Place50() = 0;
  virtual int32_t GetPrintTimes() = 0;
  virtual int32_t GetExportTimes() = 0;
  virtual void SetPrintTimesLimit(int32_t limit) = 0;
  virtual uint8_t BeginBatchPrint() = 0;
  virtual void EndBatchPrint() = 0;
  virtual void SetAllowExport(uint8_t allow) = 0;
  virtual void zrReport_Place57() = 0;
  virtual void PrintWithoutDialog() = 0;
  virtual void zrReport_Place59() = 0;
  virtual void SetAllowPrint(uint8_t allow) = 0;
  virtual void zrReport_Place61() = 0;
  virtual void SetAllowPreviewEdit(uint8_t allow) = 0;
  virtual void zrReport_Place63() = 0;
  virtual void zrReport_Place64() = 0;
  virtual void zrReport_Place65() = 0;
  virtual void SetDefaultUseNewDesignForm(uint8_t use) = 0;
  virtual void PrepareAction(uint8_t prepare) = 0;
  virtual int16_t GetIsBatchPrinting() = 0;
  virtual void zrReport_Place69() = 0;
};
struct IzrModelIntf : IUnknown {
  virtual void zrModel_Place1() = 0;
  virtual void zrModel_Place2() = 0;
  virtual void SetCreateOption(int32_t option) = 0;
  virtual void zrModel_Place4() = 0;
  virtual void zrModel_Place5() = 0;
  virtual void zrModel_Place6() = 0;
  virtual void SetMargin7(int32_t value) = 0; 
  virtual void zrModel_Place8() = 0;
  virtual void SetMargin9(int32_t value) = 0; 
  virtual void zrModel_Place10() = 0;
  virtual void SetMargin11(int32_t value) = 0;
  virtual void zrModel_Place12() = 0;
  virtual void SetMargin13(int32_t value) = 0;
  virtual void zrModel_Place14() = 0;
  virtual void zrModel_Place15() = 0;
  virtual void AddLine(IzrLineIntf** result) = 0;
  virtual void EndLine(IzrLineIntf* line) = 0;
  virtual void zrModel_Place18() = 0;
  virtual uint8_t MergeCell(int32_t a, int32_t b, int32_t c, int32_t d) = 0;
  virtual void zrModel_Place20() = 0;
  virtual void zrModel_Place21() = 0;
  virtual void zrModel_Place22() = 0;
};
struct IzrTemplateIntf : IzrModelIntf {
  virtual void LoadFromFile(const ShortString& fileName) = 0;
  virtual void zrTemplate_Place2() = 0;
  virtual void zrTemplate_Place3() = 0;
  virtual void zrTemplate_Place4() = 0;
  virtual void zrTemplate_Place5() = 0;
  virtual void zrTemplate_Place6() = 0;
  virtual void zrTemplate_Place7() = 0;
  virtual void zrTemplate_Place8() = 0;
  virtual void zrTemplate_Place9() = 0;
  virtual void zrTemplate_Place10() = 0;
  virtual void zrTemplate_Place11() = 0;
  virtual void zrTemplate_Place12() = 0;
  virtual void zrTemplate_Place13() = 0;
  virtual void zrTemplate_Place14() = 0;
  virtual void zrTemplate_Place15() = 0;
  virtual void zrTemplate_Place16() = 0;
  virtual void zrTemplate_Place17() = 0;
  virtual void zrTemplate_Place18() = 0;
  virtual void zrTemplate_Place19() = 0;
};
struct IzrLineIntf : IUnknown {
  virtual void zrLine_Place1() = 0;
  virtual void zrLine_Place2() = 0;
  virtual void zrLine_Place3() = 0;
  virtual void SetHeight(int32_t height) = 0;
  virtual void zrLine_Place5() = 0;
  virtual void zrLine_Place6() = 0;
  virtual void AddCell(IzrCellIntf** result) = 0;
  virtual void InsertCell(IzrCellIntf* cell) = 0;
  virtual void zrLine_Place9() = 0;
  virtual void zrLine_Place10() = 0;
  virtual void zrLine_Place11() = 0;
};
struct IzrCellIntf : IUnknown {
  virtual void zrCell_Place1() = 0;
  virtual void zrCell_Place2() = 0;
  virtual void SetText(const ShortString& text) = 0;
  virtual void zrCell_Place4() = 0;
  virtual void SetByte5(uint8_t value) = 0;
  virtual void zrCell_Place6() = 0;
  virtual void SetInteger7(int32_t value) = 0;
  virtual void zrCell_Place8() = 0;
  virtual void SetInteger9(int32_t value) = 0;
  virtual void zrCell_Place10() = 0;
  virtual void SetByte11(uint8_t value) = 0;
  virtual void zrCell_Place12() = 0;
  virtual void SetInteger13(int32_t value) = 0;
  virtual void zrCell_Place14() = 0;
  virtual void SetByte15(uint8_t value) = 0;
  virtual void zrCell_Place16() = 0;
  virtual void SetInteger17(int32_t value) = 0;
  virtual void zrCell_Place18() = 0;
  virtual void SetByte19(uint8_t value) = 0;
  virtual void zrCell_Place20() = 0;
  virtual void SetInteger21(int32_t value) = 0;
  virtual void zrCell_Place22() = 0;
  virtual void SetByte23(uint8_t value) = 0;
  virtual void zrCell_Place24() = 0;
  virtual void SetInteger25(int32_t value) = 0;
  virtual void zrCell_Place26() = 0;
  virtual void SetInteger27(int32_t value) = 0;
  virtual void zrCell_Place28() = 0;
  virtual void SetInteger29(int32_t value) = 0;
  virtual void zrCell_Place30() = 0;
  virtual void SetInteger31(int32_t value) = 0;
  virtual void zrCell_Place32() = 0;
  virtual void zrCell_Place33() = 0;
  virtual void SetFont(const ShortString& name, int32_t size, uint8_t a, uint8_t b, uint8_t c, uint8_t d) = 0;
  virtual void zrCell_Place35() = 0;
};

namespace {

using note::Log;

std::string Text(const ShortString& text) { return std::string(text.text, text.length); }

void Put(const std::string& text, ShortString& result) {
  result.length = static_cast<uint8_t>(text.size() < 255 ? text.size() : 255);
  std::memcpy(result.text, text.data(), result.length);
}

// File version 7.1 and product version x.x.0.3: the version text is 7.1.0.3.
[[gnu::section(".vs_fixedfileinfo"), gnu::used]] const uint32_t VersionRecord[13] = {
    0xFEEF04BD, 0x00010000, (7u << 16) | 1u, 0, (7u << 16) | 1u, 3, 0x3F, 0, 0, 0, 0, 0, 0};

// Counted objects log their birth and their end, so a test can see each one released.
template <typename Interface>
struct Counted : Interface {
  explicit Counted(const char* kind) : Kind(kind) { Log("new %s", Kind); }
  virtual ~Counted() { Log("free %s", Kind); }
  int32_t QueryInterface(const GUID&, void** out) override {
    *out = nullptr;
    return static_cast<int32_t>(0x80004002u);
  }
  uint32_t AddRef() override { return ++Count; }
  uint32_t Release() override {
    const uint32_t left = --Count;
    if (left == 0) delete this;
    return left;
  }
  const char* Kind;
  std::atomic<uint32_t> Count{1};
};

struct Cell final : Counted<IzrCellIntf> {
  Cell() : Counted("cell") {}
  void zrCell_Place1() override { note::Log("placeholder zrCell_Place1"); }
  void zrCell_Place2() override { note::Log("placeholder zrCell_Place2"); }
  void zrCell_Place4() override { note::Log("placeholder zrCell_Place4"); }
  void zrCell_Place6() override { note::Log("placeholder zrCell_Place6"); }
  void zrCell_Place8() override { note::Log("placeholder zrCell_Place8"); }
  void zrCell_Place10() override { note::Log("placeholder zrCell_Place10"); }
  void zrCell_Place12() override { note::Log("placeholder zrCell_Place12"); }
  void zrCell_Place14() override { note::Log("placeholder zrCell_Place14"); }
  void zrCell_Place16() override { note::Log("placeholder zrCell_Place16"); }
  void zrCell_Place18() override { note::Log("placeholder zrCell_Place18"); }
  void zrCell_Place20() override { note::Log("placeholder zrCell_Place20"); }
  void zrCell_Place22() override { note::Log("placeholder zrCell_Place22"); }
  void zrCell_Place24() override { note::Log("placeholder zrCell_Place24"); }
  void zrCell_Place26() override { note::Log("placeholder zrCell_Place26"); }
  void zrCell_Place28() override { note::Log("placeholder zrCell_Place28"); }
  void zrCell_Place30() override { note::Log("placeholder zrCell_Place30"); }
  void zrCell_Place32() override { note::Log("placeholder zrCell_Place32"); }
  void zrCell_Place33() override { note::Log("placeholder zrCell_Place33"); }
  void zrCell_Place35() override { note::Log("placeholder zrCell_Place35"); }
  void SetText(const ShortString& text) override { Log("SetText %s", Text(text).c_str()); }
  void SetByte5(uint8_t v) override { Log("Cell5 %u", v); }
  void SetByte11(uint8_t v) override { Log("Cell11 %u", v); }
  void SetByte15(uint8_t v) override { Log("Cell15 %u", v); }
  void SetByte19(uint8_t v) override { Log("Cell19 %u", v); }
  void SetByte23(uint8_t v) override { Log("Cell23 %u", v); }
  void SetInteger7(int32_t v) override { Log("Cell7 %d", v); }
  void SetInteger9(int32_t v) override { Log("Cell9 %d", v); }
  void SetInteger13(int32_t v) override { Log("Cell13 %d", v); }
  void SetInteger17(int32_t v) override { Log("Cell17 %d", v); }
  void SetInteger21(int32_t v) override { Log("Cell21 %d", v); }
  void SetInteger25(int32_t v) override { Log("Cell25 %d", v); }
  void SetInteger27(int32_t v) override { Log("Cell27 %d", v); }
  void SetInteger29(int32_t v) override { Log("Cell29 %d", v); }
  void SetInteger31(int32_t v) override { Log("Cell31 %d", v); }
  void SetFont(const ShortString& name, int32_t size, uint8_t a, uint8_t b, uint8_t c, uint8_t d) override {
    Log("SetFont %s %d %u %u %u %u", Text(name).c_str(), size, a, b, c, d);
  }
};

struct Line final : Counted<IzrLineIntf> {
  Line() : Counted("line") {}
  ~Line() override {
    for (IzrCellIntf* cell : Cells) cell->Release();
  }
  void zrLine_Place1() override { note::Log("placeholder zrLine_Place1"); }
  void zrLine_Place2() override { note::Log("placeholder zrLine_Place2"); }
  void zrLine_Place3() override { note::Log("placeholder zrLine_Place3"); }
  void zrLine_Place5() override { note::Log("placeholder zrLine_Place5"); }
  void zrLine_Place6() override { note::Log("placeholder zrLine_Place6"); }
  void zrLine_Place9() override { note::Log("placeholder zrLine_Place9"); }
  void zrLine_Place10() override { note::Log("placeholder zrLine_Place10"); }
  void zrLine_Place11() override { note::Log("placeholder zrLine_Place11"); }
  void SetHeight(int32_t height) override { Log("SetHeight %d", height); }
  void AddCell(IzrCellIntf** result) override { *result = new Cell; }
  void InsertCell(IzrCellIntf* cell) override {
    cell->AddRef();
    Cells.push_back(cell);
    Log("InsertCell");
  }
  std::vector<IzrCellIntf*> Cells;
};

struct Template final : Counted<IzrTemplateIntf> {
  Template() : Counted("template") {}
  void zrModel_Place1() override { note::Log("placeholder zrModel_Place1"); }
  void zrModel_Place2() override { note::Log("placeholder zrModel_Place2"); }
  void zrModel_Place4() override { note::Log("placeholder zrModel_Place4"); }
  void zrModel_Place5() override { note::Log("placeholder zrModel_Place5"); }
  void zrModel_Place6() override { note::Log("placeholder zrModel_Place6"); }
  void zrModel_Place8() override { note::Log("placeholder zrModel_Place8"); }
  void zrModel_Place10() override { note::Log("placeholder zrModel_Place10"); }
  void zrModel_Place12() override { note::Log("placeholder zrModel_Place12"); }
  void zrModel_Place14() override { note::Log("placeholder zrModel_Place14"); }
  void zrModel_Place15() override { note::Log("placeholder zrModel_Place15"); }
  void zrModel_Place18() override { note::Log("placeholder zrModel_Place18"); }
  void zrModel_Place20() override { note::Log("placeholder zrModel_Place20"); }
  void zrModel_Place21() override { note::Log("placeholder zrModel_Place21"); }
  void zrModel_Place22() override { note::Log("placeholder zrModel_Place22"); }
  void zrTemplate_Place2() override { note::Log("placeholder zrTemplate_Place2"); }
  void zrTemplate_Place3() override { note::Log("placeholder zrTemplate_Place3"); }
  void zrTemplate_Place4() override { note::Log("placeholder zrTemplate_Place4"); }
  void zrTemplate_Place5() override { note::Log("placeholder zrTemplate_Place5"); }
  void zrTemplate_Place6() override { note::Log("placeholder zrTemplate_Place6"); }
  void zrTemplate_Place7() override { note::Log("placeholder zrTemplate_Place7"); }
  void zrTemplate_Place8() override { note::Log("placeholder zrTemplate_Place8"); }
  void zrTemplate_Place9() override { note::Log("placeholder zrTemplate_Place9"); }
  void zrTemplate_Place10() override { note::Log("placeholder zrTemplate_Place10"); }
  void zrTemplate_Place11() override { note::Log("placeholder zrTemplate_Place11"); }
  void zrTemplate_Place12() override { note::Log("placeholder zrTemplate_Place12"); }
  void zrTemplate_Place13() override { note::Log("placeholder zrTemplate_Place13"); }
  void zrTemplate_Place14() override { note::Log("placeholder zrTemplate_Place14"); }
  void zrTemplate_Place15() override { note::Log("placeholder zrTemplate_Place15"); }
  void zrTemplate_Place16() override { note::Log("placeholder zrTemplate_Place16"); }
  void zrTemplate_Place17() override { note::Log("placeholder zrTemplate_Place17"); }
  void zrTemplate_Place18() override { note::Log("placeholder zrTemplate_Place18"); }
  void zrTemplate_Place19() override { note::Log("placeholder zrTemplate_Place19"); }
  void SetCreateOption(int32_t option) override { Log("SetCreateOption %d", option); }
  void SetMargin7(int32_t v) override { Log("Margin7 %d", v); }
  void SetMargin9(int32_t v) override { Log("Margin9 %d", v); }
  void SetMargin11(int32_t v) override { Log("Margin11 %d", v); }
  void SetMargin13(int32_t v) override { Log("Margin13 %d", v); }
  void AddLine(IzrLineIntf** result) override { *result = new Line; }
  void EndLine(IzrLineIntf* line) override {
    Log("EndLine cells=%zu", static_cast<Line*>(line)->Cells.size());
    ++Lines;
  }
  uint8_t MergeCell(int32_t a, int32_t b, int32_t c, int32_t d) override {
    Log("MergeCell %d %d %d %d", a, b, c, d);
    return a <= c && b <= d;  // a range the wrong way round is refused
  }
  void LoadFromFile(const ShortString& fileName) override {
    // A template of that name is not found: the engine's error.
    if (Text(fileName) == "missing.rwx") throw std::runtime_error("template missing.rwx not found");
    Log("LoadFromFile %s", Text(fileName).c_str());
  }
  int Lines = 0;
};

// The main table: one record with the style number -1 and the style name "Note", in the
// binary packet format, built byte by byte.
void AppendU16(std::string& out, uint16_t value) { out.append(reinterpret_cast<const char*>(&value), 2); }
void AppendU32(std::string& out, uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); }
std::string MainDataPacket() {
  const std::string number = "\xE6\xA0\xB7\xE5\xBC\x8F\xE7\xBC\x96\xE5\x8F\xB7";  // 样式编号
  const std::string name = "\xE6\xA0\xB7\xE5\xBC\x8F\xE5\x90\x8D\xE7\xA7\xB0";    // 样式名称
  std::string fields;
  fields += static_cast<char>(number.size()) + number;
  AppendU16(fields, 4), AppendU16(fields, 1), AppendU16(fields, 0), AppendU16(fields, 0);  // int32
  fields += static_cast<char>(name.size()) + name;
  AppendU16(fields, 2), AppendU16(fields, 0x49), AppendU16(fields, 0), AppendU16(fields, 0);  // text, 2-byte length
  AppendU16(fields, 0);  // no dataset properties
  std::string row;
  row += '\0';  // row status
  row += '\0';  // both fields hold a value
  AppendU32(row, static_cast<uint32_t>(-1));
  AppendU16(row, 4);
  row += "Note";
  std::string packet;
  AppendU32(packet, 0xBDE01996u);
  AppendU16(packet, 1), AppendU16(packet, 0), AppendU32(packet, 24), AppendU16(packet, 2), AppendU32(packet, 1);
  AppendU32(packet, 3);
  AppendU16(packet, static_cast<uint16_t>(24 + fields.size()));
  return packet + fields + row;
}

struct Report final : Counted<IzrReport> {
  Report() : Counted("report") {}
  void zrReport_Place1() override { note::Log("placeholder zrReport_Place1"); }
  void zrReport_Place2() override { note::Log("placeholder zrReport_Place2"); }
  void zrReport_Place3() override { note::Log("placeholder zrReport_Place3"); }
  void zrReport_Place7() override { note::Log("placeholder zrReport_Place7"); }
  void zrReport_Place8() override { note::Log("placeholder zrReport_Place8"); }
  void zrReport_Place9() override { note::Log("placeholder zrReport_Place9"); }
  void zrReport_Place10() override { note::Log("placeholder zrReport_Place10"); }
  void zrReport_Place11() override { note::Log("placeholder zrReport_Place11"); }
  void zrReport_Place12() override { note::Log("placeholder zrReport_Place12"); }
  void zrReport_Place13() override { note::Log("placeholder zrReport_Place13"); }
  void zrReport_Place14() override { note::Log("placeholder zrReport_Place14"); }
  void zrReport_Place15() override { note::Log("placeholder zrReport_Place15"); }
  void zrReport_Place16() override { note::Log("placeholder zrReport_Place16"); }
  void zrReport_Place18() override { note::Log("placeholder zrReport_Place18"); }
  void zrReport_Place19() override { note::Log("placeholder zrReport_Place19"); }
  void zrReport_Place24() override { note::Log("placeholder zrReport_Place24"); }
  void zrReport_Place35() override { note::Log("placeholder zrReport_Place35"); }
  void zrReport_Place36() override { note::Log("placeholder zrReport_Place36"); }
  void zrReport_Place37() override { note::Log("placeholder zrReport_Place37"); }
  void zrReport_Place38() override { note::Log("placeholder zrReport_Place38"); }
  void zrReport_Place39() override { note::Log("placeholder zrReport_Place39"); }
  void zrReport_Place40() override { note::Log("placeholder zrReport_Place40"); }
  void zrReport_Place41() override { note::Log("placeholder zrReport_Place41"); }
  void zrReport_Place42() override { note::Log("placeholder zrReport_Place42"); }
  void zrReport_Place43() override { note::Log("placeholder zrReport_Place43"); }
  void zrReport_Place44() override { note::Log("placeholder zrReport_Place44"); }
  void zrReport_Place45() override { note::Log("placeholder zrReport_Place45"); }
  void zrReport_Place46() override { note::Log("placeholder zrReport_Place46"); }
  void zrReport_Place48() override { note::Log("placeholder zrReport_Place48"); }
  void zrReport_Place50() override { note::Log("placeholder zrReport_Place50"); }
  void zrReport_Place57() override { note::Log("placeholder zrReport_Place57"); }
  void zrReport_Place59() override { note::Log("placeholder zrReport_Place59"); }
  void zrReport_Place61() override { note::Log("placeholder zrReport_Place61"); }
  void zrReport_Place63() override { note::Log("placeholder zrReport_Place63"); }
  void zrReport_Place64() override { note::Log("placeholder zrReport_Place64"); }
  void zrReport_Place65() override { note::Log("placeholder zrReport_Place65"); }
  void zrReport_Place69() override { note::Log("placeholder zrReport_Place69"); }
  void GetTemplateName(ShortString& result) override { Put(TemplateName, result); }
  void SetTemplateName(const ShortString& name) override {
    TemplateName = Text(name);
    Log("SetTemplateName %s", TemplateName.c_str());
  }
  void GetMainData(VARIANT& result) override {
    const std::string packet = MainDataPacket();
    auto* array = note::NewByteArray<SAFEARRAY>(packet.data(), static_cast<uint32_t>(packet.size()));
    Log("GetMainData vt=%u", result.vt);
    result.vt = 0x2000 | 17;
    result.parray = array;
  }
  int32_t GetLastResult() override { return 1; }
  void Print() override { Log("Print"); }
  void Preview() override { Log("Preview"); }
  void Design() override { Log("Design"); }
  void Execute() override { Log("Execute"); }
  void GetVersionInfo(ShortString& result) override { Put("Note engine", result); }
  int32_t GetStyleIndex() override { return 42; }
  void SetStyleIndex(int32_t index) override { Log("SetStyleIndex %d", index); }
  const char* ReadStyleNames() override { return "Note A\r\nNote B"; }
  void NewTemplate(IzrTemplateIntf** result) override { *result = new Template; }
  void CloseTemplate(IzrTemplateIntf* templ) override { Log("CloseTemplate lines=%d", static_cast<Template*>(templ)->Lines); }
  void BeginAction() override { Log("BeginAction"); }
  void OpenTemplate() override { Log("OpenTemplate"); }
  void GetStyleFileName(int32_t style, ShortString& result) override { Put("unused" + std::to_string(style), result); }
  void ExportData() override { Log("ExportData"); }
  void LoadData(const VARIANT& data, int32_t n, int32_t third) override {
    // The text is UTF-16 behind its byte length; this engine logs its ASCII characters.
    std::string text;
    const uint32_t bytes = data.bstrVal == nullptr ? 0 : reinterpret_cast<const uint32_t*>(data.bstrVal)[-1];
    for (uint32_t i = 0; i < bytes / 2; ++i) text += static_cast<char>(data.bstrVal[i] < 128 ? data.bstrVal[i] : '?');
    Log("LoadData vt=%u %s %d %d", data.vt, text.c_str(), n, third);
  }
  void SetDataDirName(const ShortString& name) override { Log("SetDataDirName %s", Text(name).c_str()); }
  int32_t GetPrintTimes() override { return 3; }
  int32_t GetExportTimes() override { throw std::runtime_error("no export counter"); }
  void SetPrintTimesLimit(int32_t limit) override { Log("SetPrintTimesLimit %d", limit); }
  uint8_t BeginBatchPrint() override { return 1; }
  void EndBatchPrint() override {}
  void SetAllowExport(uint8_t allow) override { Log("SetAllowExport %u", allow); }
  void PrintWithoutDialog() override { Log("PrintWithoutDialog"); }
  void SetAllowPrint(uint8_t allow) override { Log("SetAllowPrint %u", allow); }
  void SetAllowPreviewEdit(uint8_t allow) override { Log("SetAllowPreviewEdit %u", allow); }
  void SetDefaultUseNewDesignForm(uint8_t use) override { Log("SetDefaultUseNewDesignForm %u", use); }
  void PrepareAction(uint8_t prepare) override { Log("PrepareAction %u", prepare); }
  int16_t GetIsBatchPrinting() override { return 0; }
  std::string TemplateName;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void CreateReport(IzrReport** report) noexcept {
  try {
    *report = new Report;
  } catch (...) {
  }
}
