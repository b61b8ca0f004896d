// An express report library written from the engine binary interface note alone, without
// any of the project's headers: GetIntf hands out a counted printer object whose fourteen
// operations sit in the note's places. It writes what it receives, one line a call, to the
// file named by NOTE_ENGINE_LOG.
#include <atomic>
#include <stdexcept>

#include "NoteOnlyEngine.h"

// The note's types: GUID, HRESULT, VARIANT_BOOL, BSTR and IUnknown.
struct GUID { uint32_t Data1; uint16_t Data2, Data3; uint8_t Data4[8]; };
using HRESULT = int32_t;
using VARIANT_BOOL = int16_t;
using BSTR = char16_t*;

namespace {

using note::Log;

BSTR AllocBstr(const char16_t* text) {
  uint32_t length = 0;
  while (text[length] != u'\0') ++length;
  return note::NewBstr(text, length);
}
void FreeBstr(BSTR text) { note::FreeBstr(text); }
uint32_t BstrLength(BSTR text) {
  uint32_t bytes = 0;
  if (text != nullptr) std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - 4, 4);
  return bytes / 2;
}
// ASCII view of a BSTR for the log ('?' for anything else).
const char* Ascii(BSTR text) {
  static thread_local char buffer[128];
  uint32_t i = 0;
  for (const uint32_t n = BstrLength(text); i < n && i + 1 < sizeof buffer; ++i)
    buffer[i] = text[i] < 128 ? static_cast<char>(text[i]) : '?';
  buffer[i] = '\0';
  return buffer;
}

}  // namespace

struct IUnknown {
  virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;
};

struct IktPrinter : IUnknown {
  virtual int32_t DesignReport(BSTR name) = 0;
  virtual int32_t Preview(BSTR name) = 0;
  virtual int32_t Print(BSTR name) = 0;
  virtual int32_t PrintEx(BSTR name, BSTR second) = 0;
  virtual void GetPrinterNames(BSTR* answer) = 0;
  virtual int16_t SetPrinter(BSTR name) = 0;
  virtual void GetCurPrinter(BSTR name, BSTR* answer) = 0;
  virtual int32_t Set_DataFields(BSTR fields) = 0;
  virtual int32_t Set_DisplayFields(BSTR fields) = 0;
  virtual int32_t CreateNewTemplate(BSTR first, BSTR second) = 0;
  virtual int16_t CheckTemplateExist(BSTR name) = 0;
  virtual int32_t Set_PreviewPrintVisible(VARIANT_BOOL visible) = 0;
  virtual int32_t Set_DesginPrintVisible(VARIANT_BOOL visible) = 0;
  virtual int32_t LoadDataFromJson(BSTR json) = 0;
};

namespace {

// Version 6.1, product build 3: the version text is 6.1.0.3.
[[gnu::section(".vs_fixedfileinfo"), gnu::used]] const uint32_t VersionRecord[13] = {
    0xFEEF04BD, 0x00010000, (6u << 16) | 1u, 0, (6u << 16) | 1u, 3, 0x3F, 0, 0, 0, 0, 0, 0};

class TNotePrinter final : public IktPrinter {
 public:
  HRESULT QueryInterface(const GUID&, void** out) override {
    *out = nullptr;
    return static_cast<HRESULT>(0x80004002);
  }
  uint32_t AddRef() override { return ++Count; }
  uint32_t Release() override {
    const uint32_t count = --Count;
    if (count == 0) {
      Log("Release last");
      delete this;
    }
    return count;
  }
  int32_t DesignReport(BSTR name) override { Log("DesignReport %s", Ascii(name)); return 0; }
  int32_t Preview(BSTR name) override { Log("Preview %s", Ascii(name)); return 0; }
  int32_t Print(BSTR name) override { Log("Print %s", Ascii(name)); return 0; }
  int32_t PrintEx(BSTR name, BSTR second) override {
    Log("PrintEx %s", Ascii(name));
    Log("  second %s", Ascii(second));
    return 0;
  }
  void GetPrinterNames(BSTR* answer) override {
    Log("GetPrinterNames entry=%s", Ascii(*answer));
    FreeBstr(*answer);
    *answer = AllocBstr(u"Note printer");
  }
  int16_t SetPrinter(BSTR name) override {
    Log("SetPrinter %s", Ascii(name));
    if (BstrLength(name) == 0) throw std::runtime_error("note: no printer name");
    return -1;
  }
  void GetCurPrinter(BSTR name, BSTR* answer) override {
    Log("GetCurPrinter %s", Ascii(name));
    Log("  entry=%s", Ascii(*answer));  // left as it is
  }
  int32_t Set_DataFields(BSTR fields) override { Log("Set_DataFields %s", Ascii(fields)); return 0; }
  int32_t Set_DisplayFields(BSTR fields) override { Log("Set_DisplayFields %s", Ascii(fields)); return 0; }
  int32_t CreateNewTemplate(BSTR first, BSTR second) override {
    Log("CreateNewTemplate %s", Ascii(first));
    Log("  second %s", Ascii(second));
    return 42;
  }
  int16_t CheckTemplateExist(BSTR name) override { Log("CheckTemplateExist %s", Ascii(name)); return 0; }
  int32_t Set_PreviewPrintVisible(VARIANT_BOOL visible) override { Log("Set_PreviewPrintVisible %d", visible); return 0; }
  int32_t Set_DesginPrintVisible(VARIANT_BOOL visible) override { Log("Set_DesginPrintVisible %d", visible); return 0; }
  int32_t LoadDataFromJson(BSTR json) override {
    Log("LoadDataFromJson %u %s", BstrLength(json), Ascii(json));
    return 7;
  }

 private:
  std::atomic<uint32_t> Count{1};
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void GetIntf(IktPrinter** printer) noexcept {
  Log("GetIntf entry=%s", *printer == nullptr ? "null" : "set");
  *printer = new TNotePrinter;
}
