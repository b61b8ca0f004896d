// A report host control written from the engine binary interface note alone, without any
// of the project's headers: the creation export, IDispatch with the control's places,
// properties through Invoke (one of which refuses its value with an EXCEPINFO), BSTRs laid
// out by hand. It writes what it receives, one line a call, to the file named by
// NOTE_ENGINE_LOG.
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "NoteOnlyEngine.h"

using note::Log;

using HRESULT = int32_t;
using BSTR = char16_t*;
using VARIANT_BOOL = int16_t;

struct GUID {
  uint32_t Data1;
  uint16_t Data2, Data3;
  uint8_t Data4[8];
};

struct DISPPARAMS {
  note::VARIANT* rgvarg;
  int32_t* rgdispidNamedArgs;
  uint32_t cArgs;
  uint32_t cNamedArgs;
};

struct EXCEPINFO {
  uint16_t wCode, wReserved;
  BSTR bstrSource, bstrDescription, bstrHelpFile;
  uint32_t dwHelpContext;
  void* pvReserved;
  void* pfnDeferredFillIn;
  HRESULT scode;
};

struct IUnknown {
  virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;
};

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(uint32_t*) = 0;
  virtual HRESULT GetTypeInfo(uint32_t, uint32_t, void**) = 0;
  virtual HRESULT GetIDsOfNames(const GUID&, char16_t**, uint32_t, uint32_t, int32_t*) = 0;
  virtual HRESULT Invoke(int32_t dispId, const GUID& iid, uint32_t lcid, uint16_t flags, DISPPARAMS* params,
                         note::VARIANT* result, EXCEPINFO* exception, uint32_t* argError) = 0;
};

namespace {

constexpr HRESULT Ok = 0;
constexpr HRESULT NoInterface = static_cast<HRESULT>(0x80004002);
constexpr HRESULT NotImplemented = static_cast<HRESULT>(0x80004001);
constexpr HRESULT MemberNotFound = static_cast<HRESULT>(0x80020003);
constexpr HRESULT ExceptionOccurred = static_cast<HRESULT>(0x80020009);
constexpr HRESULT InvalidArgument = static_cast<HRESULT>(0x80070057);
constexpr uint16_t VtI4 = 3, VtBstr = 8, VtBool = 11;

BSTR AllocString(const char* ascii) {
  std::u16string text;
  for (const char* c = ascii; *c != '\0'; ++c) text.push_back(static_cast<char16_t>(*c));
  return note::NewBstr(text.data(), static_cast<uint32_t>(text.size()));
}

// The text as ASCII ("?" for anything else), read by its length prefix.
std::string Ascii(BSTR text) {
  if (text == nullptr) return "(null)";
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<uint8_t*>(text) - 4, 4);
  std::string out;
  for (uint32_t i = 0; i < bytes / 2; ++i) out += text[i] < 128 ? static_cast<char>(text[i]) : '?';
  return out;
}

}  // namespace

struct IReportHostControl : IDispatch {
  virtual HRESULT Design() = 0;
  virtual HRESULT Probe() = 0;
  virtual HRESULT zrHost_Place3() = 0;
  virtual HRESULT zrHost_Place4() = 0;
  virtual HRESULT zrHost_Place5() = 0;
  virtual HRESULT zrHost_Place6() = 0;
  virtual HRESULT ClearDataSet() = 0;
  virtual HRESULT SetMasterDetailRelation(BSTR, BSTR) = 0;
  virtual HRESULT Preview() = 0;
  virtual HRESULT Close() = 0;
  virtual HRESULT Print() = 0;
  virtual HRESULT PrintWithoutDialog() = 0;
  virtual HRESULT zrHost_Place13() = 0;
  virtual HRESULT zrHost_Place14() = 0;
  virtual HRESULT zrHost_Place15() = 0;
  virtual HRESULT CreateTemplate(BSTR, int32_t) = 0;
  virtual HRESULT SetTempatePageMargin(int32_t, int32_t, int32_t, int32_t) = 0;
  virtual HRESULT ClearTemplatePages() = 0;
  virtual HRESULT AddTemplatePage(int32_t* result) = 0;
  virtual HRESULT AddTemplateTable(int32_t, int32_t* result) = 0;
  virtual HRESULT AddTemplateTableRow(int32_t, int32_t, int32_t* result) = 0;
  virtual HRESULT AddTemplateTableCell(int32_t, int32_t, int32_t, BSTR, int32_t, double, int32_t* result) = 0;
  virtual HRESULT SetTemplateTableCellTextAlign(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) = 0;
  virtual HRESULT SetTemplateTableCellFont(int32_t, int32_t, int32_t, int32_t, BSTR, int32_t, VARIANT_BOOL,
                                           VARIANT_BOOL, VARIANT_BOOL) = 0;
  virtual HRESULT MergeTemplateTableCell(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) = 0;
  virtual HRESULT SaveTemplate() = 0;
  virtual HRESULT zrHost_Place27() = 0;
  virtual HRESULT LoadDataFromQuill3(BSTR, int32_t, int32_t* result) = 0;
  virtual HRESULT ExportData(int32_t, int32_t* result) = 0;
  virtual HRESULT SetTemplateTableCellLineVisible(int32_t, int32_t, int32_t, int32_t, VARIANT_BOOL, VARIANT_BOOL,
                                                  VARIANT_BOOL, VARIANT_BOOL) = 0;
  virtual HRESULT SetTemplateTableRowHeight(int32_t, int32_t, int32_t, double) = 0;
  virtual HRESULT SetTemplateTableCellKind(int32_t, int32_t, int32_t, int32_t, int32_t, double) = 0;
  virtual HRESULT zrHost_Place33() = 0;
  virtual HRESULT zrHost_Place34() = 0;
  virtual HRESULT zrHost_Place35() = 0;
  virtual HRESULT zrHost_Place36() = 0;
  virtual HRESULT zrHost_Place37() = 0;
  virtual HRESULT zrHost_Place38() = 0;
  virtual HRESULT zrHost_Place39() = 0;
  virtual HRESULT zrHost_Place40() = 0;
  virtual HRESULT zrHost_Place41() = 0;
  virtual HRESULT zrHost_Place42() = 0;
  virtual HRESULT zrHost_Place43() = 0;
  virtual HRESULT zrHost_Place44() = 0;
  virtual HRESULT zrHost_Place45() = 0;
  virtual HRESULT zrHost_Place46() = 0;
  virtual HRESULT zrHost_Place47() = 0;
  virtual HRESULT zrHost_Place48() = 0;
  virtual HRESULT zrHost_Place49() = 0;
  virtual HRESULT zrHost_Place50() = 0;
  virtual HRESULT zrHost_Place51() = 0;
  virtual HRESULT Execute() = 0;
  virtual HRESULT zrHost_Place53() = 0;
  virtual HRESULT zrHost_Place54() = 0;
  virtual HRESULT zrHost_Place55() = 0;
  virtual HRESULT zrHost_Place56() = 0;
  virtual HRESULT zrHost_Place57() = 0;
  virtual HRESULT zrHost_Place58() = 0;
  virtual HRESULT ExpandTemplateTableRow(int32_t, int32_t, BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, VARIANT_BOOL) = 0;
  virtual HRESULT zrHost_Place60() = 0;
  virtual HRESULT zrHost_Place61() = 0;
  virtual HRESULT zrHost_Place62() = 0;
  virtual HRESULT zrHost_Place63() = 0;
  virtual HRESULT AddTemplateChart(int32_t, int32_t, int32_t, int32_t, BSTR, BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL,
                                   double, double, int32_t* result) = 0;
  virtual HRESULT zrHost_Place65() = 0;
  virtual HRESULT SetTemplateTableCellFieldFormat(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) = 0;
  virtual HRESULT AppendReportStyle(BSTR, BSTR, int32_t* result) = 0;
  virtual HRESULT SetTemplateTableCellForNumber(int32_t, int32_t, int32_t, int32_t, VARIANT_BOOL) = 0;
  virtual HRESULT zrHost_Place69() = 0;
  virtual HRESULT AppendReportStyles(BSTR, int32_t* result) = 0;
};

namespace {

constexpr GUID IID_IReportHostControl = {0xb6f08d03, 0x70bd, 0x413a, {0xbf, 0xd5, 0x0e, 0xef, 0x1e, 0x33, 0x0b, 0x34}};

class TNoteControl final : public IReportHostControl {
 public:
  HRESULT QueryInterface(const GUID& iid, void** out) override {
    if (std::memcmp(&iid, &IID_IReportHostControl, sizeof(GUID)) != 0) return *out = nullptr, NoInterface;
    AddRef();
    *out = static_cast<IReportHostControl*>(this);
    return Ok;
  }
  uint32_t AddRef() override { return ++Count; }
  uint32_t Release() override {
    const uint32_t left = --Count;
    if (left == 0) {
      Log("released");
      delete this;
    }
    return left;
  }
  HRESULT GetTypeInfoCount(uint32_t* count) override { return *count = 0, Ok; }
  HRESULT GetTypeInfo(uint32_t, uint32_t, void**) override { return NotImplemented; }
  HRESULT GetIDsOfNames(const GUID&, char16_t**, uint32_t, uint32_t, int32_t*) override { return NotImplemented; }
  HRESULT Invoke(int32_t dispId, const GUID&, uint32_t lcid, uint16_t flags, DISPPARAMS* params,
                 note::VARIANT* result, EXCEPINFO* exception, uint32_t*) override {
    if (flags == 2 && dispId == 233 && result != nullptr) {  // StyleNames
      result->vt = VtBstr;
      result->bstrVal = AllocString("Note A\r\nNote B");
      return Ok;
    }
    if (flags == 2 && dispId == 249 && result != nullptr) {  // PrintTimes
      result->vt = VtI4;
      result->lVal = Prints;
      return Ok;
    }
    if (flags != 4 || params == nullptr || params->cArgs != 1 || params->cNamedArgs != 1 ||
        params->rgdispidNamedArgs[0] != -3)
      return MemberNotFound;
    const note::VARIANT& value = params->rgvarg[0];
    if (dispId == 213 && value.vt == VtBstr) {  // TemplateName
      Log("put TemplateName %s lcid=%04X", Ascii(value.bstrVal).c_str(), lcid);
      return Ok;
    }
    if (dispId == 253 && value.vt == VtBool) {  // QuickPrint
      int16_t flag;
      std::memcpy(&flag, value.raw, 2);
      Log("put QuickPrint %d", flag);
      return Ok;
    }
    if (dispId == 252 && value.vt == VtI4) {  // PrintTimesLimit: refused, with a reason
      exception->bstrSource = AllocString("NoteHost");
      exception->bstrDescription = AllocString("limit refused by the note's control");
      exception->scode = InvalidArgument;
      return ExceptionOccurred;
    }
    return MemberNotFound;
  }

  HRESULT Design() override { return Plain("Design"); }
  HRESULT Probe() override { return Plain("Probe"); }
  HRESULT zrHost_Place3() override { return NotImplemented; }
  HRESULT zrHost_Place4() override { return NotImplemented; }
  HRESULT zrHost_Place5() override { return NotImplemented; }
  HRESULT zrHost_Place6() override { return NotImplemented; }
  HRESULT ClearDataSet() override { return Plain("ClearDataSet"); }
  HRESULT SetMasterDetailRelation(BSTR a, BSTR b) override {
    Log("SetMasterDetailRelation %s %s", Ascii(a).c_str(), Ascii(b).c_str());
    return Ok;
  }
  HRESULT Preview() override { return Plain("Preview"); }
  HRESULT Close() override { return Plain("Close"); }
  HRESULT Print() override {
    ++Prints;
    return Plain("Print");
  }
  HRESULT PrintWithoutDialog() override { return Plain("PrintWithoutDialog"); }
  HRESULT zrHost_Place13() override { return NotImplemented; }
  HRESULT zrHost_Place14() override { return NotImplemented; }
  HRESULT zrHost_Place15() override { return NotImplemented; }
  HRESULT CreateTemplate(BSTR name, int32_t kind) override {
    Log("CreateTemplate %s %d", Ascii(name).c_str(), kind);
    return Ok;
  }
  HRESULT SetTempatePageMargin(int32_t, int32_t, int32_t, int32_t) override { return Plain("SetTempatePageMargin"); }
  HRESULT ClearTemplatePages() override { return Plain("ClearTemplatePages"); }
  HRESULT AddTemplatePage(int32_t* result) override {
    *result = Pages++;
    return Plain("AddTemplatePage");
  }
  HRESULT AddTemplateTable(int32_t, int32_t* result) override { return *result = 0, Plain("AddTemplateTable"); }
  HRESULT AddTemplateTableRow(int32_t, int32_t, int32_t* result) override {
    return *result = 0, Plain("AddTemplateTableRow");
  }
  HRESULT AddTemplateTableCell(int32_t page, int32_t table, int32_t row, BSTR text, int32_t width, double value,
                               int32_t* result) override {
    Log("AddTemplateTableCell %d %d %d %s %d %.2f", page, table, row, Ascii(text).c_str(), width, value);
    *result = 42;
    return Ok;
  }
  HRESULT SetTemplateTableCellTextAlign(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) override {
    return Plain("SetTemplateTableCellTextAlign");
  }
  HRESULT SetTemplateTableCellFont(int32_t, int32_t, int32_t, int32_t, BSTR font, int32_t size, VARIANT_BOOL b0,
                                   VARIANT_BOOL b1, VARIANT_BOOL b2) override {
    Log("SetTemplateTableCellFont %s %d %d %d %d", Ascii(font).c_str(), size, b0, b1, b2);
    return Ok;
  }
  HRESULT MergeTemplateTableCell(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) override {
    return Plain("MergeTemplateTableCell");
  }
  HRESULT SaveTemplate() override { return Plain("SaveTemplate"); }
  HRESULT zrHost_Place27() override { return NotImplemented; }
  HRESULT LoadDataFromQuill3(BSTR data, int32_t option, int32_t* result) override {
    Log("LoadDataFromQuill3 %s %d", Ascii(data).c_str(), option);
    *result = 7;
    return Ok;
  }
  HRESULT ExportData(int32_t kind, int32_t* result) override {
    Log("ExportData %d", kind);
    *result = 1;
    return Ok;
  }
  HRESULT SetTemplateTableCellLineVisible(int32_t, int32_t, int32_t, int32_t, VARIANT_BOOL, VARIANT_BOOL,
                                          VARIANT_BOOL, VARIANT_BOOL) override {
    return Plain("SetTemplateTableCellLineVisible");
  }
  HRESULT SetTemplateTableRowHeight(int32_t, int32_t, int32_t, double height) override {
    Log("SetTemplateTableRowHeight %.2f", height);
    return Ok;
  }
  HRESULT SetTemplateTableCellKind(int32_t, int32_t, int32_t, int32_t, int32_t, double) override {
    return Plain("SetTemplateTableCellKind");
  }
  HRESULT zrHost_Place33() override { return NotImplemented; }
  HRESULT zrHost_Place34() override { return NotImplemented; }
  HRESULT zrHost_Place35() override { return NotImplemented; }
  HRESULT zrHost_Place36() override { return NotImplemented; }
  HRESULT zrHost_Place37() override { return NotImplemented; }
  HRESULT zrHost_Place38() override { return NotImplemented; }
  HRESULT zrHost_Place39() override { return NotImplemented; }
  HRESULT zrHost_Place40() override { return NotImplemented; }
  HRESULT zrHost_Place41() override { return NotImplemented; }
  HRESULT zrHost_Place42() override { return NotImplemented; }
  HRESULT zrHost_Place43() override { return NotImplemented; }
  HRESULT zrHost_Place44() override { return NotImplemented; }
  HRESULT zrHost_Place45() override { return NotImplemented; }
  HRESULT zrHost_Place46() override { return NotImplemented; }
  HRESULT zrHost_Place47() override { return NotImplemented; }
  HRESULT zrHost_Place48() override { return NotImplemented; }
  HRESULT zrHost_Place49() override { return NotImplemented; }
  HRESULT zrHost_Place50() override { return NotImplemented; }
  HRESULT zrHost_Place51() override { return NotImplemented; }
  HRESULT Execute() override { return Plain("Execute"); }
  HRESULT zrHost_Place53() override { return NotImplemented; }
  HRESULT zrHost_Place54() override { return NotImplemented; }
  HRESULT zrHost_Place55() override { return NotImplemented; }
  HRESULT zrHost_Place56() override { return NotImplemented; }
  HRESULT zrHost_Place57() override { return NotImplemented; }
  HRESULT zrHost_Place58() override { return NotImplemented; }
  HRESULT ExpandTemplateTableRow(int32_t a0, int32_t a1, BSTR title, BSTR names, VARIANT_BOOL b0, VARIANT_BOOL b1,
                                 VARIANT_BOOL b2) override {
    Log("ExpandTemplateTableRow %d %d %s [%s] %d %d %d", a0, a1, Ascii(title).c_str(), Ascii(names).c_str(), b0, b1,
        b2);
    return Ok;
  }
  HRESULT zrHost_Place60() override { return NotImplemented; }
  HRESULT zrHost_Place61() override { return NotImplemented; }
  HRESULT zrHost_Place62() override { return NotImplemented; }
  HRESULT zrHost_Place63() override { return NotImplemented; }
  HRESULT AddTemplateChart(int32_t, int32_t, int32_t, int32_t, BSTR, BSTR, BSTR, VARIANT_BOOL, VARIANT_BOOL, double r0,
                           double r1, int32_t* result) override {
    Log("AddTemplateChart %.2f %.2f", r0, r1);
    *result = 3;
    return Ok;
  }
  HRESULT zrHost_Place65() override { return NotImplemented; }
  HRESULT SetTemplateTableCellFieldFormat(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) override {
    return Plain("SetTemplateTableCellFieldFormat");
  }
  HRESULT AppendReportStyle(BSTR, BSTR, int32_t* result) override { return *result = 1, Plain("AppendReportStyle"); }
  HRESULT SetTemplateTableCellForNumber(int32_t, int32_t, int32_t, int32_t, VARIANT_BOOL flag) override {
    Log("SetTemplateTableCellForNumber %d", flag);
    return Ok;
  }
  HRESULT zrHost_Place69() override { return NotImplemented; }
  HRESULT AppendReportStyles(BSTR styles, int32_t* result) override {
    Log("AppendReportStyles %s", Ascii(styles).c_str());
    *result = 2;
    return Ok;
  }

 private:
  ~TNoteControl() = default;
  static HRESULT Plain(const char* name) {
    Log("%s", name);
    return Ok;
  }

  std::atomic<uint32_t> Count{1};
  std::atomic<int32_t> Pages{0};
  std::atomic<int32_t> Prints{0};
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT CreateReportHostControl(IDispatch** control) noexcept {
  Log("created");
  *control = new (std::nothrow) TNoteControl;
  return *control != nullptr ? Ok : static_cast<HRESULT>(0x8007000E);
}
