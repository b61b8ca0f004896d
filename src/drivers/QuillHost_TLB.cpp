// The report host control's host object.
#include "drivers/QuillHost_TLB.h"

#include <cmath>
#include <exception>
#include <utility>

#include "platform/Convert.h"
#include "platform/FileNames.h"

namespace trs {
namespace {

constexpr HRESULT TypeMismatch = static_cast<HRESULT>(0x80020005);  // DISP_E_TYPEMISMATCH
constexpr GUID NullGuid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

VARIANT_BOOL ToVariantBool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

TMutex LoadFailureLock;
std::string LastLoadFailure TRS_GUARDED_BY(LoadFailureLock);

// Logs why an existing control file could not be loaded, once for each new reason: the
// caller only learns "Class not registered", and pages retry often.
void NoteLoadFailure(const std::string& reason) {
  TLockGuard guard(LoadFailureLock);
  if (reason == LastLoadFailure) return;
  LastLoadFailure = reason;
  LogEngineLoadFailure(QuillHost::FileName, reason);
}

// The three texts of an EXCEPINFO are the caller's to free, whatever the call returned.
struct TExcepInfo {
  EXCEPINFO Info{};
  TExcepInfo() = default;
  ~TExcepInfo() {
    SysFreeString(Info.bstrSource);
    SysFreeString(Info.bstrDescription);
    SysFreeString(Info.bstrHelpFile);
  }
  TExcepInfo(const TExcepInfo&) = delete;
  TExcepInfo& operator=(const TExcepInfo&) = delete;
};

// Runs one call into the control: a failing status or an escaping std::exception (which an
// engine may throw despite the note) becomes an EOleException.
template <typename Call>
void Checked(const Call& call) {
  HRESULT status;
  try {
    status = call();
  } catch (const Exception&) {
    throw;
  } catch (const std::exception& error) {
    throw EOleException(error.what(), E_FAIL);
  }
  if (FAILED(status)) throw EOleException(OleStatusText(status), status);
}

}  // namespace

std::string OleErrorText(HRESULT status, std::u16string_view description, HRESULT scode) {
  if (!description.empty()) return WideToNarrow(description);
  return OleStatusText(FAILED(scode) ? scode : status);
}

std::unique_ptr<TReportHost> TReportHost::Create(const std::string& directory) {
  const std::string path = ResolveFileNameIgnoringCase(directory + QuillHost::FileName);
  if (!FileExists(path)) throw EOleSysError(REGDB_E_CLASSNOTREG);
  std::optional<TEngineLibrary> library;
  try {
    library.emplace(TEngineLibrary::Load(directory, QuillHost::FileName));
  } catch (const EEngineError& error) {
    NoteLoadFailure(error.GetMessage());
    throw EOleSysError(REGDB_E_CLASSNOTREG);
  }
  auto* create = library->Optional<QuillHost::CreateReportHostControlFn>(QuillHost::CreateReportHostControlName);
  if (create == nullptr) throw EOleSysError(REGDB_E_CLASSNOTREG);
  TComPtr<IDispatch> control;
  HRESULT status;
  try {
    status = create(control.Receive());
  } catch (const std::exception& error) {
    throw EOleException(error.what(), E_FAIL);
  }
  if (FAILED(status)) throw EOleSysError(status);
  if (!control) throw EOleSysError(REGDB_E_CLASSNOTREG);
  return std::unique_ptr<TReportHost>(new TReportHost(std::move(*library), std::move(control)));
}

TReportHost::TReportHost(TEngineLibrary library, TComPtr<IDispatch> control)
    : Library(std::move(library)), Control(std::move(control)) {}

TReportHost::~TReportHost() {
  // The references go before the library that holds their code.
  {
    TLockGuard guard(CallLock);
    Interface.Reset();
  }
  Control.Reset();
}

IReportHostControl& TReportHost::DefaultInterface() {
  if (!Interface) {
    void* found = nullptr;
    HRESULT status;
    try {
      status = Control->QueryInterface(QuillHost::IID_IReportHostControl, &found);
    } catch (const std::exception& error) {
      throw EOleException(error.what(), E_FAIL);
    }
    if (FAILED(status) || found == nullptr) throw EOleException("Interface not supported", E_NOINTERFACE);
    *Interface.Receive() = static_cast<IReportHostControl*>(found);
  }
  return *Interface.Get();
}

template <typename Call>
void TReportHost::Locked(const Call& call) {
  TLockGuard guard(CallLock);
  IReportHostControl& control = DefaultInterface();
  Checked([&] { return call(control); });
}

template <typename Call>
void TReportHost::Unlocked(const Call& call) {
  TComPtr<IReportHostControl> control;
  {
    TLockGuard guard(CallLock);
    DefaultInterface();
    control = Interface;  // a reference of the call's own, should the host go meanwhile
  }
  Checked([&] { return call(*control.Get()); });
}

// --- Methods ---

void TReportHost::Design() {
  Unlocked([](IReportHostControl& c) { return c.Design(); });
}

void TReportHost::Probe() {
  Locked([](IReportHostControl& c) { return c.Probe(); });
}

void TReportHost::ClearDataSet() {
  Locked([](IReportHostControl& c) { return c.ClearDataSet(); });
}

void TReportHost::SetMasterDetailRelation(std::u16string_view master, std::u16string_view detail) {
  const TBStr masterText(master), detailText(detail);
  Locked([&](IReportHostControl& c) { return c.SetMasterDetailRelation(masterText.Get(), detailText.Get()); });
}

void TReportHost::Preview() {
  Unlocked([](IReportHostControl& c) { return c.Preview(); });
}

void TReportHost::Close() {
  Locked([](IReportHostControl& c) { return c.Close(); });
}

void TReportHost::Print() {
  Unlocked([](IReportHostControl& c) { return c.Print(); });
}

void TReportHost::PrintWithoutDialog() {
  Unlocked([](IReportHostControl& c) { return c.PrintWithoutDialog(); });
}

void TReportHost::CreateTemplate(std::u16string_view name, int32_t kind) {
  const TBStr nameText(name);
  Locked([&](IReportHostControl& c) { return c.CreateTemplate(nameText.Get(), kind); });
}

void TReportHost::SetTempatePageMargin(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Locked([&](IReportHostControl& c) { return c.SetTempatePageMargin(left, top, right, bottom); });
}

void TReportHost::ClearTemplatePages() {
  Locked([](IReportHostControl& c) { return c.ClearTemplatePages(); });
}

int32_t TReportHost::AddTemplatePage() {
  int32_t result = 0;
  Locked([&](IReportHostControl& c) { return c.AddTemplatePage(&result); });
  return result;
}

int32_t TReportHost::AddTemplateTable(int32_t page) {
  int32_t result = 0;
  Locked([&](IReportHostControl& c) { return c.AddTemplateTable(page, &result); });
  return result;
}

int32_t TReportHost::AddTemplateTableRow(int32_t page, int32_t table) {
  int32_t result = 0;
  Locked([&](IReportHostControl& c) { return c.AddTemplateTableRow(page, table, &result); });
  return result;
}

int32_t TReportHost::AddTemplateTableCell(int32_t page, int32_t table, int32_t row, std::u16string_view text,
                                          int32_t width, double value) {
  const TBStr cellText(text);
  int32_t result = 0;
  Locked([&](IReportHostControl& c) {
    return c.AddTemplateTableCell(page, table, row, cellText.Get(), width, value, &result);
  });
  return result;
}

void TReportHost::SetTemplateTableCellTextAlign(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4,
                                                int32_t a5) {
  Locked([&](IReportHostControl& c) { return c.SetTemplateTableCellTextAlign(a0, a1, a2, a3, a4, a5); });
}

void TReportHost::SetTemplateTableCellFont(int32_t a0, int32_t a1, int32_t a2, int32_t a3,
                                           std::u16string_view fontName, int32_t size, bool b0, bool b1, bool b2) {
  const TBStr font(fontName);
  Locked([&](IReportHostControl& c) {
    return c.SetTemplateTableCellFont(a0, a1, a2, a3, font.Get(), size, ToVariantBool(b0), ToVariantBool(b1),
                                      ToVariantBool(b2));
  });
}

void TReportHost::MergeTemplateTableCell(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, int32_t a5) {
  Locked([&](IReportHostControl& c) { return c.MergeTemplateTableCell(a0, a1, a2, a3, a4, a5); });
}

void TReportHost::SaveTemplate() {
  Locked([](IReportHostControl& c) { return c.SaveTemplate(); });
}

int32_t TReportHost::LoadDataFromQuill3(std::u16string_view data, int32_t option) {
  const TBStr dataText(data);
  int32_t result = 0;
  Locked([&](IReportHostControl& c) { return c.LoadDataFromQuill3(dataText.Get(), option, &result); });
  return result;
}

int32_t TReportHost::ExportData(int32_t kind) {
  int32_t result = 0;
  Unlocked([&](IReportHostControl& c) { return c.ExportData(kind, &result); });
  return result;
}

void TReportHost::SetTemplateTableCellLineVisible(int32_t a0, int32_t a1, int32_t a2, int32_t a3, bool b0, bool b1,
                                                  bool b2, bool b3) {
  Locked([&](IReportHostControl& c) {
    return c.SetTemplateTableCellLineVisible(a0, a1, a2, a3, ToVariantBool(b0), ToVariantBool(b1),
                                             ToVariantBool(b2), ToVariantBool(b3));
  });
}

void TReportHost::SetTemplateTableRowHeight(int32_t a0, int32_t a1, int32_t a2, double height) {
  Locked([&](IReportHostControl& c) { return c.SetTemplateTableRowHeight(a0, a1, a2, height); });
}

void TReportHost::SetTemplateTableCellKind(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4, double value) {
  Locked([&](IReportHostControl& c) { return c.SetTemplateTableCellKind(a0, a1, a2, a3, a4, value); });
}

void TReportHost::Execute() {
  Unlocked([](IReportHostControl& c) { return c.Execute(); });
}

void TReportHost::ExpandTemplateTableRow(int32_t a0, int32_t a1, std::u16string_view title,
                                         std::u16string_view names, bool b0, bool b1, bool b2) {
  const TBStr titleText(title), namesText(names);
  Locked([&](IReportHostControl& c) {
    return c.ExpandTemplateTableRow(a0, a1, titleText.Get(), namesText.Get(), ToVariantBool(b0), ToVariantBool(b1),
                                    ToVariantBool(b2));
  });
}

int32_t TReportHost::AddTemplateChart(int32_t a0, int32_t a1, int32_t a2, int32_t a3, std::u16string_view t0,
                                      std::u16string_view t1, std::u16string_view t2, bool b0, bool b1, double r0,
                                      double r1) {
  const TBStr text0(t0), text1(t1), text2(t2);
  int32_t result = 0;
  Locked([&](IReportHostControl& c) {
    return c.AddTemplateChart(a0, a1, a2, a3, text0.Get(), text1.Get(), text2.Get(), ToVariantBool(b0),
                              ToVariantBool(b1), r0, r1, &result);
  });
  return result;
}

void TReportHost::SetTemplateTableCellFieldFormat(int32_t a0, int32_t a1, int32_t a2, int32_t a3, int32_t a4,
                                                  int32_t a5) {
  Locked([&](IReportHostControl& c) { return c.SetTemplateTableCellFieldFormat(a0, a1, a2, a3, a4, a5); });
}

int32_t TReportHost::AppendReportStyle(std::u16string_view name, std::u16string_view style) {
  const TBStr nameText(name), styleText(style);
  int32_t result = 0;
  Locked([&](IReportHostControl& c) { return c.AppendReportStyle(nameText.Get(), styleText.Get(), &result); });
  return result;
}

void TReportHost::SetTemplateTableCellForNumber(int32_t a0, int32_t a1, int32_t a2, int32_t a3, bool b0) {
  Locked([&](IReportHostControl& c) { return c.SetTemplateTableCellForNumber(a0, a1, a2, a3, ToVariantBool(b0)); });
}

int32_t TReportHost::AppendReportStyles(std::u16string_view styles) {
  const TBStr stylesText(styles);
  int32_t result = 0;
  Locked([&](IReportHostControl& c) { return c.AppendReportStyles(stylesText.Get(), &result); });
  return result;
}

// --- Properties ---

void TReportHost::Invoke(QuillHost::TPropertyId id, uint16_t flags, VARIANT* argument, VARIANT* result) {
  DISPID putArgument = QuillHost::PropertyPutArgument;
  DISPPARAMS params{};
  if (argument != nullptr) params = DISPPARAMS{argument, &putArgument, 1, 1};
  TExcepInfo exception;
  UINT argumentError = 0;
  TLockGuard guard(CallLock);
  IReportHostControl& control = DefaultInterface();
  HRESULT status;
  try {
    status = control.Invoke(id, NullGuid, QuillHost::UserDefaultLocale, flags, &params, result, &exception.Info,
                            &argumentError);
  } catch (const std::exception& error) {
    throw EOleException(error.what(), E_FAIL);
  }
  if (FAILED(status))
    throw EOleException(OleErrorText(status, BStrView(exception.Info.bstrDescription), exception.Info.scode), status);
}

WideString TReportHost::GetTextProperty(QuillHost::TPropertyId id) {
  TOleVariant value;
  Invoke(id, QuillHost::PropertyGetFlags, nullptr, value.Address());
  const VARIANT& v = value.Get();
  switch (v.vt) {
    case VT_EMPTY: return WideString();
    case VT_BSTR: return WideString(BStrView(v.bstrVal));
    case VT_I4: return NarrowToWide(IntToStr(v.lVal));
    case VT_I2: return NarrowToWide(IntToStr(v.iVal));
    case VT_UI1: return NarrowToWide(IntToStr(v.bVal));
    case VT_BOOL: return v.boolVal != 0 ? u"True" : u"False";
    default: throw EOleSysError(TypeMismatch);
  }
}

int32_t TReportHost::GetIntegerProperty(QuillHost::TPropertyId id) {
  TOleVariant value;
  Invoke(id, QuillHost::PropertyGetFlags, nullptr, value.Address());
  const VARIANT& v = value.Get();
  switch (v.vt) {
    case VT_EMPTY: return 0;
    case VT_I4: return v.lVal;
    case VT_I2: return v.iVal;
    case VT_UI1: return v.bVal;
    case VT_BOOL: return v.boolVal;
    case VT_R8:
      // Automation rounds half to even and refuses what does not fit.
      if (std::isfinite(v.dblVal) && std::fabs(v.dblVal) < 2147483648.0)
        return static_cast<int32_t>(std::nearbyint(v.dblVal));
      throw EOleSysError(TypeMismatch);
    case VT_BSTR:
      if (const std::optional<int32_t> number = TryStrToInt(Trim(WideToNarrow(BStrView(v.bstrVal))))) return *number;
      throw EOleSysError(TypeMismatch);
    default: throw EOleSysError(TypeMismatch);
  }
}

void TReportHost::Put(QuillHost::TPropertyId id, TOleVariant& value) {
  Invoke(id, QuillHost::PropertyPutFlags, value.Address(), nullptr);
}

void TReportHost::SetTextProperty(QuillHost::TPropertyId id, std::u16string_view value) {
  TOleVariant argument;
  argument.Get().vt = VT_BSTR;
  argument.Get().bstrVal = AllocBStr(value);
  if (argument.Get().bstrVal == nullptr) throw EOleSysError(E_OUTOFMEMORY);
  Put(id, argument);
}

void TReportHost::SetIntegerProperty(QuillHost::TPropertyId id, int32_t value) {
  TOleVariant argument;
  argument.Get().vt = VT_I4;
  argument.Get().lVal = value;
  Put(id, argument);
}

void TReportHost::SetBooleanProperty(QuillHost::TPropertyId id, bool value) {
  TOleVariant argument;
  argument.Get().vt = VT_BOOL;
  argument.Get().boolVal = ToVariantBool(value);
  Put(id, argument);
}

}  // namespace trs
