// Stand-in for QuillHost.ocx, the report host control: every method place and property of
// the control, keeping what it is given (the template's pages, tables, rows and cells,
// charts, styles, the loaded data, the property values) in memory and journalling every
// call with its arguments (texts in UTF-8, booleans as the raw VARIANT_BOOL).
//
// Beyond the keys of StandIn.h, the control file sets for any call (a method's name, or
// get_<Property> / put_<Property>):
//   <Call>.hresult=0x80004005     the call fails with that status
//   <Call>.description=<text>     with hresult, a property call fails with
//                                 DISP_E_EXCEPTION and this description in EXCEPINFO
//   <Call>.until_file=<path>      a dialog method keeps its window up until that file
//                                 exists (after its delay_ms)
// The journal also shows "CreateReportHostControl", "QueryInterface" (with the interface
// asked for) and "Destroyed" (the last reference released).
//
// Variants: TRS_QUILL_NO_EXPORT builds the file without the creation export;
// TRS_QUILL_PROBE_FAILS makes Probe fail with E_FAIL.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "EngineExport.h"
#include "StandIn.h"
#include "engineabi/QuillHost.h"
#include "platform/FileNames.h"
#include "platform/Mutex.h"
#include "platform/Text.h"


namespace {

using standin::Json;
using standin::TCall;
using standin::TJson;
using QuillHost::TPropertyId;

constexpr char Engine[] = "QuillHost";
constexpr HRESULT TypeMismatch = static_cast<HRESULT>(0x80020005);

constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::string Utf8(BSTR text) {
  return trs::EncodeUtf8Result(BStrView(text));
}
TJson Text(BSTR text) { return standin::JsonUtf8(Utf8(text)); }
TJson Real(double value) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  return buffer;
}
BSTR AllocText(const std::string& utf8) {
  const std::u16string text = trs::Utf8ToWide(utf8);
  return AllocBStr(text);
}

// The status the control file makes this call fail with, or S_OK.
HRESULT ConfiguredFailure(const TCall& call) {
  const std::optional<std::string> value = call.Setting("hresult");
  return value ? static_cast<HRESULT>(std::strtoul(value->c_str(), nullptr, 0)) : S_OK;
}

enum class TKind { Text, Integer, Boolean };

struct TProperty {
  const char* Name;
  TKind Kind;
  bool Readable;
  bool Writable;
};

// The control's properties: what it keeps for each and how pages may reach it.
const std::map<int32_t, TProperty> PropertyTable = {
    {TPropertyId::TemplateName, {"TemplateName", TKind::Text, true, true}},
    {TPropertyId::Version, {"Version", TKind::Text, true, false}},
    {TPropertyId::StyleNames, {"StyleNames", TKind::Text, true, false}},
    {TPropertyId::StyleIndex, {"StyleIndex", TKind::Integer, true, true}},
    {TPropertyId::VersionInfo, {"VersionInfo", TKind::Text, true, false}},
    {TPropertyId::PrintTimes, {"PrintTimes", TKind::Integer, true, false}},
    {TPropertyId::PrintTimesLimit, {"PrintTimesLimit", TKind::Integer, true, true}},
    {TPropertyId::QuickPrint, {"QuickPrint", TKind::Boolean, true, true}},
    {TPropertyId::AllowExport, {"AllowExport", TKind::Boolean, true, true}},
    {TPropertyId::AllowPrint, {"AllowPrint", TKind::Boolean, true, true}},
    {TPropertyId::ExportTimes, {"ExportTimes", TKind::Integer, true, false}},
    {TPropertyId::LanguageKind, {"LanguageKind", TKind::Integer, true, true}},
    {TPropertyId::MasterDetailKeyFieldVisible, {"MasterDetailKeyFieldVisible", TKind::Boolean, true, true}},
    {TPropertyId::DefaultUsePosPrint, {"DefaultUsePosPrint", TKind::Boolean, true, true}},
    {TPropertyId::UseQuillPos, {"UseQuillPos", TKind::Boolean, true, true}},
    {TPropertyId::MacAddress, {"MacAddress", TKind::Text, true, false}},
    {TPropertyId::AllowSaveBaseStyle, {"AllowSaveBaseStyle", TKind::Boolean, true, true}},
};

// A template as the control builds it: pages of tables of rows, each row its cell count.
struct TTable {
  std::vector<int32_t> RowCells;
};
struct TPage {
  std::vector<TTable> Tables;
};

class TReportHostControl final : public IReportHostControl {
 public:
  TReportHostControl() {
    Texts[TPropertyId::Version] = "11.0.3.8";
    Texts[TPropertyId::VersionInfo] = "QuillHost stand-in 11.0.3.8";
    Texts[TPropertyId::MacAddress] = "00-16-3E-00-00-01";
    Styles.push_back("标准报表");
  }

  // --- IUnknown ---
  HRESULT QueryInterface(const GUID& iid, void** out) override {
    const bool own = iid == QuillHost::IID_IReportHostControl;
    TCall call(Engine, "QueryInterface", {Json(own ? "IReportHostControl" : "other")});
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    if (!own && !(iid == IID_IUnknown) && !(iid == IID_IDispatch)) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IReportHostControl*>(this);
    return S_OK;
  }
  ULONG AddRef() override { return ++References; }
  ULONG Release() override {
    const uint32_t left = --References;
    if (left == 0) {
      TCall call(Engine, "Destroyed", {});
      delete this;
    }
    return left;
  }

  // --- IDispatch ---
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (count != nullptr) *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const GUID&, OLECHAR**, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID dispId, const GUID&, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* exception, UINT*) override {
    const auto found = PropertyTable.find(dispId);
    if (found == PropertyTable.end()) return DISP_E_MEMBERNOTFOUND;
    const TProperty& property = found->second;
    if (flags == QuillHost::PropertyGetFlags && property.Readable) return Get(dispId, property, result, exception);
    if (flags == QuillHost::PropertyPutFlags && property.Writable) return Put(dispId, property, params, exception);
    return DISP_E_MEMBERNOTFOUND;
  }

  // --- IReportHostControl ---
  HRESULT Design() override { return Dialog("Design", {}); }
  HRESULT Probe() override {
    TCall call(Engine, "Probe", {});
#ifdef TRS_QUILL_PROBE_FAILS
    return E_FAIL;
#else
    return ConfiguredFailure(call);
#endif
  }
  HRESULT zrHost_Place3() override { return E_NOTIMPL; }
  HRESULT zrHost_Place4() override { return E_NOTIMPL; }
  HRESULT zrHost_Place5() override { return E_NOTIMPL; }
  HRESULT zrHost_Place6() override { return E_NOTIMPL; }
  HRESULT ClearDataSet() override {
    TCall call(Engine, "ClearDataSet", {});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    trs::TLockGuard guard(Lock);
    Data.clear();
    return S_OK;
  }
  HRESULT SetMasterDetailRelation(BSTR master, BSTR detail) override {
    return Plain("SetMasterDetailRelation", {Text(master), Text(detail)});
  }
  HRESULT Preview() override { return Dialog("Preview", {}); }
  HRESULT Close() override { return Plain("Close", {}); }
  HRESULT Print() override {
    const HRESULT status = Dialog("Print", {});
    if (SUCCEEDED(status)) CountPrint();
    return status;
  }
  HRESULT PrintWithoutDialog() override {
    const HRESULT status = Dialog("PrintWithoutDialog", {});
    if (SUCCEEDED(status)) CountPrint();
    return status;
  }
  HRESULT zrHost_Place13() override { return E_NOTIMPL; }
  HRESULT zrHost_Place14() override { return E_NOTIMPL; }
  HRESULT zrHost_Place15() override { return E_NOTIMPL; }
  HRESULT CreateTemplate(BSTR name, int32_t kind) override {
    TCall call(Engine, "CreateTemplate", {Text(name), Json(kind)});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    trs::TLockGuard guard(Lock);
    Texts[TPropertyId::TemplateName] = Utf8(name);
    Pages.clear();
    Charts = 0;
    return S_OK;
  }
  HRESULT SetTempatePageMargin(int32_t left, int32_t top, int32_t right, int32_t bottom) override {
    return Plain("SetTempatePageMargin", {Json(left), Json(top), Json(right), Json(bottom)});
  }
  HRESULT ClearTemplatePages() override {
    TCall call(Engine, "ClearTemplatePages", {});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    trs::TLockGuard guard(Lock);
    Pages.clear();
    return S_OK;
  }
  HRESULT AddTemplatePage(int32_t* result) override {
    TCall call(Engine, "AddTemplatePage", {});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    if (result == nullptr) return E_INVALIDARG;
    trs::TLockGuard guard(Lock);
    Pages.emplace_back();
    *result = static_cast<int32_t>(call.Result(static_cast<long long>(Pages.size()) - 1));
    return S_OK;
  }
  HRESULT AddTemplateTable(int32_t page, int32_t* result) override {
    TCall call(Engine, "AddTemplateTable", {Json(page)});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    trs::TLockGuard guard(Lock);
    if (result == nullptr || !ValidPage(page)) return E_INVALIDARG;
    std::vector<TTable>& tables = Pages[static_cast<size_t>(page)].Tables;
    tables.emplace_back();
    *result = static_cast<int32_t>(call.Result(static_cast<long long>(tables.size()) - 1));
    return S_OK;
  }
  HRESULT AddTemplateTableRow(int32_t page, int32_t table, int32_t* result) override {
    TCall call(Engine, "AddTemplateTableRow", {Json(page), Json(table)});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    trs::TLockGuard guard(Lock);
    if (result == nullptr || !ValidTable(page, table)) return E_INVALIDARG;
    std::vector<int32_t>& rows = Pages[static_cast<size_t>(page)].Tables[static_cast<size_t>(table)].RowCells;
    rows.push_back(0);
    *result = static_cast<int32_t>(call.Result(static_cast<long long>(rows.size()) - 1));
    return S_OK;
  }
  HRESULT AddTemplateTableCell(int32_t page, int32_t table, int32_t row, BSTR text, int32_t width, double value,
                               int32_t* result) override {
    TCall call(Engine, "AddTemplateTableCell", {Json(page), Json(table), Json(row), Text(text), Json(width), Real(value)});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    trs::TLockGuard guard(Lock);
    if (result == nullptr || !ValidTable(page, table)) return E_INVALIDARG;
    std::vector<int32_t>& rows = Pages[static_cast<size_t>(page)].Tables[static_cast<size_t>(table)].RowCells;
    if (row < 0 || static_cast<size_t>(row) >= rows.size()) return E_INVALIDARG;
    *result = static_cast<int32_t>(call.Result(rows[static_cast<size_t>(row)]++));
    return S_OK;
  }
  HRESULT SetTemplateTableCellTextAlign(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4,
                                        int32_t a5) override {
    return Plain("SetTemplateTableCellTextAlign", {Json(a0), Json(a1), Json(a2), Json(a3), Json(a4), Json(a5)});
  }
  HRESULT SetTemplateTableCellFont(int32_t a0, int32_t a1, int32_t a2, int32_t a3, BSTR fontName, int32_t size,
                                   VARIANT_BOOL b0, VARIANT_BOOL b1, VARIANT_BOOL b2) override {
    return Plain("SetTemplateTableCellFont",
                 {Json(a0), Json(a1), Json(a2), Json(a3), Text(fontName), Json(size), Json(b0), Json(b1), Json(b2)});
  }
  HRESULT MergeTemplateTableCell(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) override {
    return Plain("MergeTemplateTableCell", {Json(a0), Json(a1), Json(a2), Json(a3), Json(a4), Json(a5)});
  }
  HRESULT SaveTemplate() override {
    TCall call(Engine, "SaveTemplate", {Summary()});
    return ConfiguredFailure(call);
  }
  HRESULT zrHost_Place27() override { return E_NOTIMPL; }
  HRESULT LoadDataFromQuill3(BSTR data, int32_t option, int32_t* result) override {
    const std::string text = Utf8(data);
    TCall call(Engine, "LoadDataFromQuill3", {standin::JsonUtf8(text), Json(option)});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    if (result == nullptr) return E_INVALIDARG;
    trs::TLockGuard guard(Lock);
    Data = text;
    // The number of data lines it was given.
    long long lines = text.empty() ? 0 : 1;
    for (const char c : text) lines += c == '\n' ? 1 : 0;
    if (!text.empty() && text.back() == '\n') --lines;
    *result = static_cast<int32_t>(call.Result(lines));
    return S_OK;
  }
  HRESULT ExportData(int32_t kind, int32_t* result) override {
    const HRESULT status = Dialog("ExportData", {Json(kind)});
    if (FAILED(status)) return status;
    if (result == nullptr) return E_INVALIDARG;
    trs::TLockGuard guard(Lock);
    *result = ++Integers[TPropertyId::ExportTimes];
    return S_OK;
  }
  HRESULT SetTemplateTableCellLineVisible(int32_t a0, int32_t a1, int32_t a2, int32_t a3, VARIANT_BOOL b0,
                                          VARIANT_BOOL b1, VARIANT_BOOL b2, VARIANT_BOOL b3) override {
    return Plain("SetTemplateTableCellLineVisible",
                 {Json(a0), Json(a1), Json(a2), Json(a3), Json(b0), Json(b1), Json(b2), Json(b3)});
  }
  HRESULT SetTemplateTableRowHeight(int32_t a0, int32_t a1, int32_t a2, double height) override {
    return Plain("SetTemplateTableRowHeight", {Json(a0), Json(a1), Json(a2), Real(height)});
  }
  HRESULT SetTemplateTableCellKind(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, double value) override {
    return Plain("SetTemplateTableCellKind", {Json(a0), Json(a1), Json(a2), Json(a3), Json(a4), Real(value)});
  }
  HRESULT zrHost_Place33() override { return E_NOTIMPL; }
  HRESULT zrHost_Place34() override { return E_NOTIMPL; }
  HRESULT zrHost_Place35() override { return E_NOTIMPL; }
  HRESULT zrHost_Place36() override { return E_NOTIMPL; }
  HRESULT zrHost_Place37() override { return E_NOTIMPL; }
  HRESULT zrHost_Place38() override { return E_NOTIMPL; }
  HRESULT zrHost_Place39() override { return E_NOTIMPL; }
  HRESULT zrHost_Place40() override { return E_NOTIMPL; }
  HRESULT zrHost_Place41() override { return E_NOTIMPL; }
  HRESULT zrHost_Place42() override { return E_NOTIMPL; }
  HRESULT zrHost_Place43() override { return E_NOTIMPL; }
  HRESULT zrHost_Place44() override { return E_NOTIMPL; }
  HRESULT zrHost_Place45() override { return E_NOTIMPL; }
  HRESULT zrHost_Place46() override { return E_NOTIMPL; }
  HRESULT zrHost_Place47() override { return E_NOTIMPL; }
  HRESULT zrHost_Place48() override { return E_NOTIMPL; }
  HRESULT zrHost_Place49() override { return E_NOTIMPL; }
  HRESULT zrHost_Place50() override { return E_NOTIMPL; }
  HRESULT zrHost_Place51() override { return E_NOTIMPL; }
  HRESULT Execute() override { return Dialog("Execute", {}); }
  HRESULT zrHost_Place53() override { return E_NOTIMPL; }
  HRESULT zrHost_Place54() override { return E_NOTIMPL; }
  HRESULT zrHost_Place55() override { return E_NOTIMPL; }
  HRESULT zrHost_Place56() override { return E_NOTIMPL; }
  HRESULT zrHost_Place57() override { return E_NOTIMPL; }
  HRESULT zrHost_Place58() override { return E_NOTIMPL; }
  HRESULT ExpandTemplateTableRow(int32_t a0, int32_t a1, BSTR title, BSTR names, VARIANT_BOOL b0, VARIANT_BOOL b1,
                                 VARIANT_BOOL b2) override {
    return Plain("ExpandTemplateTableRow", {Json(a0), Json(a1), Text(title), Text(names), Json(b0), Json(b1), Json(b2)});
  }
  HRESULT zrHost_Place60() override { return E_NOTIMPL; }
  HRESULT zrHost_Place61() override { return E_NOTIMPL; }
  HRESULT zrHost_Place62() override { return E_NOTIMPL; }
  HRESULT zrHost_Place63() override { return E_NOTIMPL; }
  HRESULT AddTemplateChart(int32_t a0, int32_t a1, int32_t a2, int32_t a3, BSTR t0, BSTR t1, BSTR t2, VARIANT_BOOL b0,
                           VARIANT_BOOL b1, double r0, double r1, int32_t* result) override {
    TCall call(Engine, "AddTemplateChart",
               {Json(a0), Json(a1), Json(a2), Json(a3), Text(t0), Text(t1), Text(t2), Json(b0), Json(b1), Real(r0),
                Real(r1)});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    if (result == nullptr) return E_INVALIDARG;
    trs::TLockGuard guard(Lock);
    *result = static_cast<int32_t>(call.Result(Charts++));
    return S_OK;
  }
  HRESULT zrHost_Place65() override { return E_NOTIMPL; }
  HRESULT SetTemplateTableCellFieldFormat(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4,
                                          int32_t a5) override {
    return Plain("SetTemplateTableCellFieldFormat", {Json(a0), Json(a1), Json(a2), Json(a3), Json(a4), Json(a5)});
  }
  HRESULT AppendReportStyle(BSTR name, BSTR style, int32_t* result) override {
    TCall call(Engine, "AppendReportStyle", {Text(name), Text(style)});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    if (result == nullptr) return E_INVALIDARG;
    trs::TLockGuard guard(Lock);
    Styles.push_back(Utf8(name));
    *result = static_cast<int32_t>(call.Result(static_cast<long long>(Styles.size()) - 1));
    return S_OK;
  }
  HRESULT SetTemplateTableCellForNumber(int32_t a0, int32_t a1, int32_t a2, int32_t a3, VARIANT_BOOL b0) override {
    return Plain("SetTemplateTableCellForNumber", {Json(a0), Json(a1), Json(a2), Json(a3), Json(b0)});
  }
  HRESULT zrHost_Place69() override { return E_NOTIMPL; }
  HRESULT AppendReportStyles(BSTR styles, int32_t* result) override {
    TCall call(Engine, "AppendReportStyles", {Text(styles)});
    if (const HRESULT failure = ConfiguredFailure(call)) return failure;
    if (result == nullptr) return E_INVALIDARG;
    trs::TLockGuard guard(Lock);
    Styles.push_back(Utf8(styles));
    *result = static_cast<int32_t>(call.Result(static_cast<long long>(Styles.size())));
    return S_OK;
  }

 private:
  ~TReportHostControl() = default;

  // A method that only records its arguments.
  static HRESULT Plain(const char* name, std::vector<TJson> args) {
    TCall call(Engine, name, std::move(args));
    return ConfiguredFailure(call);
  }
  // A dialog method: the call's delay stands for the window the user keeps open. No lock is
  // held meanwhile, so the control answers other calls during it.
  static HRESULT Dialog(const char* name, std::vector<TJson> args) {
    TCall call(Engine, name, std::move(args));
    // A test closes the "window" by creating the file (at most a minute).
    if (const std::optional<std::string> file = call.Setting("until_file")) {
      for (int waited = 0; waited < 6000 && !trs::FileExists(*file); ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ConfiguredFailure(call);
  }
  void CountPrint() {
    trs::TLockGuard guard(Lock);
    ++Integers[TPropertyId::PrintTimes];
  }

  bool ValidPage(int32_t page) const TRS_REQUIRES(Lock) {
    return page >= 0 && static_cast<size_t>(page) < Pages.size();
  }
  bool ValidTable(int32_t page, int32_t table) const TRS_REQUIRES(Lock) {
    return ValidPage(page) && table >= 0 && static_cast<size_t>(table) < Pages[static_cast<size_t>(page)].Tables.size();
  }

  // What the template holds, as SaveTemplate journals it.
  TJson Summary() {
    trs::TLockGuard guard(Lock);
    std::vector<TJson> pages;
    for (const TPage& page : Pages) {
      std::vector<TJson> tables;
      for (const TTable& table : page.Tables) {
        std::vector<TJson> rows;
        for (const int32_t cells : table.RowCells) rows.push_back(Json(cells));
        tables.push_back(standin::JsonArray(rows));
      }
      pages.push_back(standin::JsonArray(tables));
    }
    return standin::JsonObject({{"name", standin::JsonUtf8(Texts[TPropertyId::TemplateName])},
                                {"pages", standin::JsonArray(pages)},
                                {"charts", Json(Charts)},
                                {"data_bytes", Json(static_cast<long long>(Data.size()))}});
  }

  // A failing property call: with a description, DISP_E_EXCEPTION and the EXCEPINFO.
  static HRESULT PropertyFailure(const TCall& call, EXCEPINFO* exception) {
    const HRESULT failure = ConfiguredFailure(call);
    if (failure == S_OK) return S_OK;
    const std::optional<std::string> description = call.Setting("description");
    if (!description || exception == nullptr) return failure;
    exception->bstrSource = AllocText(Engine);
    exception->bstrDescription = AllocText(*description);
    exception->scode = failure;
    return DISP_E_EXCEPTION;
  }

  HRESULT Get(int32_t id, const TProperty& property, VARIANT* result, EXCEPINFO* exception) {
    const std::string callName = std::string("get_") + property.Name;
    TCall call(Engine, callName.c_str(), {});
    if (const HRESULT failure = PropertyFailure(call, exception)) return failure;
    if (result == nullptr || result->vt != VT_EMPTY) return E_INVALIDARG;
    trs::TLockGuard guard(Lock);
    switch (property.Kind) {
      case TKind::Text: {
        std::string value = Texts[id];
        if (id == TPropertyId::StyleNames) {
          value.clear();
          for (const std::string& style : Styles) value += (value.empty() ? "" : "\r\n") + style;
        }
        result->vt = VT_BSTR;
        result->bstrVal = AllocText(call.TextResult(value));
        return S_OK;
      }
      case TKind::Integer:
        result->vt = VT_I4;
        result->lVal = static_cast<int32_t>(call.Result(Integers[id]));
        return S_OK;
      case TKind::Boolean:
        result->vt = VT_BOOL;
        result->boolVal = Booleans[id] ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    return E_UNEXPECTED;
  }

  HRESULT Put(int32_t id, const TProperty& property, DISPPARAMS* params, EXCEPINFO* exception) {
    const std::string callName = std::string("put_") + property.Name;
    const bool wellFormed = params != nullptr && params->cArgs == 1 && params->cNamedArgs == 1 &&
                            params->rgvarg != nullptr && params->rgdispidNamedArgs != nullptr &&
                            params->rgdispidNamedArgs[0] == QuillHost::PropertyPutArgument;
    const VARIANT* value = wellFormed ? &params->rgvarg[0] : nullptr;
    TJson journalled = "null";
    if (value != nullptr && value->vt == VT_BSTR) journalled = Text(value->bstrVal);
    else if (value != nullptr && value->vt == VT_I4) journalled = Json(value->lVal);
    else if (value != nullptr && value->vt == VT_BOOL) journalled = Json(value->boolVal);
    TCall call(Engine, callName.c_str(), {journalled});
    if (const HRESULT failure = PropertyFailure(call, exception)) return failure;
    if (!wellFormed) return E_INVALIDARG;
    trs::TLockGuard guard(Lock);
    switch (property.Kind) {
      case TKind::Text:
        if (value->vt != VT_BSTR) return TypeMismatch;
        Texts[id] = Utf8(value->bstrVal);
        return S_OK;
      case TKind::Integer:
        if (value->vt != VT_I4) return TypeMismatch;
        Integers[id] = value->lVal;
        return S_OK;
      case TKind::Boolean:
        // Automation booleans are all bits or none.
        if (value->vt != VT_BOOL || (value->boolVal != VARIANT_TRUE && value->boolVal != VARIANT_FALSE))
          return TypeMismatch;
        Booleans[id] = value->boolVal == VARIANT_TRUE;
        return S_OK;
    }
    return E_UNEXPECTED;
  }

  std::atomic<uint32_t> References{1};
  trs::TMutex Lock;
  std::map<int32_t, std::string> Texts TRS_GUARDED_BY(Lock);
  std::map<int32_t, int32_t> Integers TRS_GUARDED_BY(Lock);
  std::map<int32_t, bool> Booleans TRS_GUARDED_BY(Lock);
  std::vector<std::string> Styles TRS_GUARDED_BY(Lock);
  std::vector<TPage> Pages TRS_GUARDED_BY(Lock);
  long long Charts TRS_GUARDED_BY(Lock) = 0;
  std::string Data TRS_GUARDED_BY(Lock);
};

}  // namespace

#ifndef TRS_QUILL_NO_EXPORT
TRS_EXPORT HRESULT CreateReportHostControl(IDispatch** control) noexcept {
  TCall call(Engine, "CreateReportHostControl", {});
  if (control == nullptr) return E_INVALIDARG;
  if (const HRESULT failure = ConfiguredFailure(call)) return failure;
  *control = new TReportHostControl;
  return S_OK;
}
static_assert(std::is_same_v<decltype(CreateReportHostControl), QuillHost::CreateReportHostControlFn>);
#else
// Without its creation export the file is a library like any other, not a control.
TRS_EXPORT int32_t QuillHostWithoutControl() noexcept { return 0; }
#endif
