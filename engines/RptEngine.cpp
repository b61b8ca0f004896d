// Stand-in for rptengine.dll, the express report library: GetIntf hands out a new counted
// printer object (IktPrinter) each time; all of them share the library's memory of
// templates, the chosen printer, the field lists and the last JSON data. Every call is
// journalled (GetIntf with the object's serial number and the library's directory, AddRef and
// Release with the serial and the count they leave), and the loading and unloading
// of the library itself ("Loaded", "Unloaded", with the library's directory).
//
// Control (beside the common keys of StandIn.h; "rptengine." prefixes reach this one only):
//   Printers=A|B                    the printers the library knows (default: see below)
//   <Call>.fails=<message>          the operation throws std::runtime_error(<message>)
//   GetPrinterNames.leaves_answer=1 the answer variable is left as the driver passed it
//   <Call>.result=<value>           a number, or the text GetPrinterNames/GetCurPrinter store
//                                   (empty: they store null)
// Built in variants: TRS_RPTENGINE_NO_GETINTF exports nothing.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "EngineExport.h"
#include "StandIn.h"
#include "engineabi/udReportIntf.h"
#include "platform/Mutex.h"
#include "platform/Text.h"


namespace {

constexpr char Engine[] = "rptengine";
constexpr char DefaultPrinters[] = "Printer A|打印机 B";

using standin::Json;
using standin::TCall;
using standin::TJson;

// The library's interface is wide text; the stand-in holds and journals it in UTF-8.
std::string Utf8(BSTR text) { return trs::EncodeUtf8Result(BStrView(text)); }
TJson JsonText(BSTR text) { return standin::JsonUtf8(Utf8(text)); }

// Replaces the caller's answer variable with `text` (null for the empty text), freeing what
// it held, as the library's answer variables work.
void StoreAnswer(BSTR* answer, const std::string& text) {
  SysFreeString(*answer);
  const std::u16string wide = trs::Utf8ToWide(text);
  *answer = wide.empty() ? nullptr : AllocBStr(wide);
}

// Throws what the control file asks `call` to throw.
void FailWhenAsked(const char* call) {
  if (const std::optional<std::string> message = standin::ControlValue(Engine, std::string(call) + ".fails"))
    throw std::runtime_error(*message);
}

std::vector<std::string> Printers() {
  const std::string list = standin::ControlValue(Engine, "Printers").value_or(DefaultPrinters);
  std::vector<std::string> printers;
  size_t start = 0;
  for (size_t bar; (bar = list.find('|', start)) != std::string::npos; start = bar + 1)
    printers.push_back(list.substr(start, bar - start));
  if (start < list.size()) printers.push_back(list.substr(start));
  return printers;
}

// A short fingerprint of a JSON text: its length, an FNV-1a hash of its UTF-16 units and its
// first characters, so that tests see a large body arrive whole without a huge journal.
TJson DescribeJson(BSTR json) {
  const std::u16string_view text = BStrView(json);
  const uint32_t length = static_cast<uint32_t>(text.size());
  uint32_t hash = 2166136261u;
  for (const char16_t unit : text) {
    hash = (hash ^ (unit & 0xFFu)) * 16777619u;
    hash = (hash ^ (unit >> 8)) * 16777619u;
  }
  const std::u16string_view head = text.substr(0, 40);
  return standin::JsonObject({{"length", Json(length)},
                              {"fnv1a", Json(static_cast<long long>(hash))},
                              {"head", standin::JsonUtf8(trs::EncodeUtf8Result(head))}});
}

// What the library remembers, shared by all its printer objects.
struct TLibraryMemory {
  trs::TMutex Lock;
  std::map<std::string, std::string> Templates TRS_GUARDED_BY(Lock);
  std::string ChosenPrinter TRS_GUARDED_BY(Lock);
  std::string DataFields TRS_GUARDED_BY(Lock);
  std::string DisplayFields TRS_GUARDED_BY(Lock);
  uint32_t JsonLength TRS_GUARDED_BY(Lock) = 0;
  bool PreviewPrintVisible TRS_GUARDED_BY(Lock) = true;
  bool DesignPrintVisible TRS_GUARDED_BY(Lock) = true;
};
TLibraryMemory Memory;

// What a print works from, for the journal.
TJson PrintJob() {
  trs::TLockGuard guard(Memory.Lock);
  return standin::JsonObject({{"printer", standin::JsonUtf8(Memory.ChosenPrinter)},
                              {"data_fields", standin::JsonUtf8(Memory.DataFields)},
                              {"json_length", Json(Memory.JsonLength)}});
}

// The library's own loading and unloading, so that tests see each.
struct TLoadNote {
  TLoadNote() { TCall call(Engine, "Loaded", {Json(std::string_view(standin::OwnDirectory()))}); }
  ~TLoadNote() { TCall call(Engine, "Unloaded", {Json(std::string_view(standin::OwnDirectory()))}); }
} LoadNote;

std::atomic<long long> LastSerial{0};

class TPrinter final : public IktPrinter {
 public:
  TPrinter() : Serial(++LastSerial) {}
  long long SerialNumber() const { return Serial; }

  HRESULT QueryInterface(const GUID&, void** out) override {
    if (out != nullptr) *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override {
    const uint32_t count = ++Count;
    TCall call(Engine, "AddRef", {Json(Serial), Json(count)});
    return count;
  }
  ULONG Release() override {
    const uint32_t count = --Count;
    { TCall call(Engine, "Release", {Json(Serial), Json(count)}); }
    if (count == 0) delete this;
    return count;
  }

  int32_t DesignReport(BSTR name) override {
    TCall call(Engine, "DesignReport", {JsonText(name)});
    FailWhenAsked("DesignReport");
    trs::TLockGuard guard(Memory.Lock);
    Memory.Templates.emplace(Utf8(name), "");
    return static_cast<int32_t>(call.Result(0));
  }
  int32_t Preview(BSTR name) override {
    TCall call(Engine, "Preview", {JsonText(name), PrintJob()});
    FailWhenAsked("Preview");
    return static_cast<int32_t>(call.Result(0));
  }
  int32_t Print(BSTR name) override {
    TCall call(Engine, "Print", {JsonText(name), PrintJob()});
    FailWhenAsked("Print");
    return static_cast<int32_t>(call.Result(0));
  }
  int32_t PrintEx(BSTR name, BSTR second) override {
    TCall call(Engine, "PrintEx", {JsonText(name), JsonText(second), PrintJob()});
    FailWhenAsked("PrintEx");
    return static_cast<int32_t>(call.Result(0));
  }
  void GetPrinterNames(BSTR* answer) override {
    TCall call(Engine, "GetPrinterNames", {JsonText(*answer)});
    FailWhenAsked("GetPrinterNames");
    if (standin::ControlValue(Engine, "GetPrinterNames.leaves_answer") == "1") return;
    std::string names;
    for (const std::string& printer : Printers()) names += (names.empty() ? "" : "\r\n") + printer;
    StoreAnswer(answer, call.TextResult(names));
  }
  int16_t SetPrinter(BSTR name) override {
    TCall call(Engine, "SetPrinter", {JsonText(name)});
    FailWhenAsked("SetPrinter");
    const std::string wanted = Utf8(name);
    bool known = false;
    for (const std::string& printer : Printers()) known = known || printer == wanted;
    if (known) {
      trs::TLockGuard guard(Memory.Lock);
      Memory.ChosenPrinter = wanted;
    }
    return static_cast<int16_t>(call.Result(known ? VARIANT_TRUE : VARIANT_FALSE));
  }
  void GetCurPrinter(BSTR name, BSTR* answer) override {
    TCall call(Engine, "GetCurPrinter", {JsonText(name), JsonText(*answer)});
    FailWhenAsked("GetCurPrinter");
    std::string chosen;
    {
      trs::TLockGuard guard(Memory.Lock);
      chosen = Memory.ChosenPrinter;
    }
    // Before any printer is chosen the variable keeps what it held.
    if (!chosen.empty() || standin::ControlValue(Engine, "GetCurPrinter.result")) StoreAnswer(answer, call.TextResult(chosen));
  }
  int32_t Set_DataFields(BSTR fields) override { return SetText("Set_DataFields", fields, &TLibraryMemory::DataFields); }
  int32_t Set_DisplayFields(BSTR fields) override {
    return SetText("Set_DisplayFields", fields, &TLibraryMemory::DisplayFields);
  }
  int32_t CreateNewTemplate(BSTR first, BSTR second) override {
    TCall call(Engine, "CreateNewTemplate", {JsonText(first), JsonText(second)});
    FailWhenAsked("CreateNewTemplate");
    trs::TLockGuard guard(Memory.Lock);
    const bool created = Memory.Templates.emplace(Utf8(first), Utf8(second)).second;
    return static_cast<int32_t>(call.Result(created ? 1 : 0));
  }
  int16_t CheckTemplateExist(BSTR name) override {
    TCall call(Engine, "CheckTemplateExist", {JsonText(name)});
    FailWhenAsked("CheckTemplateExist");
    bool exists;
    {
      trs::TLockGuard guard(Memory.Lock);
      exists = Memory.Templates.count(Utf8(name)) != 0;
    }
    return static_cast<int16_t>(call.Result(exists ? VARIANT_TRUE : VARIANT_FALSE));
  }
  int32_t Set_PreviewPrintVisible(VARIANT_BOOL visible) override {
    return SetFlag("Set_PreviewPrintVisible", visible, &TLibraryMemory::PreviewPrintVisible);
  }
  int32_t Set_DesginPrintVisible(VARIANT_BOOL visible) override {
    return SetFlag("Set_DesginPrintVisible", visible, &TLibraryMemory::DesignPrintVisible);
  }
  int32_t LoadDataFromJson(BSTR json) override {
    TCall call(Engine, "LoadDataFromJson", {DescribeJson(json)});
    FailWhenAsked("LoadDataFromJson");
    trs::TLockGuard guard(Memory.Lock);
    Memory.JsonLength = SysStringLen(json);
    // The stand-in's answer: how many characters it received.
    return static_cast<int32_t>(call.Result(Memory.JsonLength));
  }

 private:
  // The setters of one remembered text or flag.
  static int32_t SetText(const char* name, BSTR text, std::string TLibraryMemory::*field) {
    TCall call(Engine, name, {JsonText(text)});
    FailWhenAsked(name);
    trs::TLockGuard guard(Memory.Lock);
    Memory.*field = Utf8(text);
    return static_cast<int32_t>(call.Result(1));
  }
  static int32_t SetFlag(const char* name, VARIANT_BOOL value, bool TLibraryMemory::*field) {
    TCall call(Engine, name, {Json(value)});
    FailWhenAsked(name);
    trs::TLockGuard guard(Memory.Lock);
    Memory.*field = value != VARIANT_FALSE;
    return static_cast<int32_t>(call.Result(1));
  }

  const long long Serial;
  std::atomic<uint32_t> Count{1};
};

}  // namespace

#ifndef TRS_RPTENGINE_NO_GETINTF
TRS_EXPORT void GetIntf(IktPrinter** printer) noexcept {
  if (printer == nullptr) return;
  TPrinter* created = nullptr;
  try {
    created = new TPrinter;
  } catch (...) {
  }
  *printer = created;
  TCall call(Engine, "GetIntf", {created == nullptr ? TJson("null") : Json(created->SerialNumber()),
                                  Json(std::string_view(standin::OwnDirectory()))});
}
static_assert(std::is_same_v<decltype(GetIntf), RptEngine::GetIntfFn>);
#endif
