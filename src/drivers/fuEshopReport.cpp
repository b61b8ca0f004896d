// The express driver's commands, its print configurer and the loader of rptengine.dll.
#include "drivers/fuEshopReport.h"

#include <utility>

#include "platform/Convert.h"
#include "platform/Exceptions.h"

namespace trs {
namespace {

const WideString NoAnswer = u"-1";

// Calls into the library and turns what it throws into the program's error with the
// library's message, so that no object of the library's own types outlives the call.
template <typename Call>
auto CallPrinter(Call call) -> decltype(call()) {
  try {
    return call();
  } catch (const Exception&) {
    throw;
  } catch (const std::exception& error) {
    throw Exception(error.what());
  }
}

// The configurer kinds: which library window a dialog action opens.
enum : uint8_t { KindPrint = 0, KindPrintEx = 1, KindDesign = 2, KindPreview = 3 };

}  // namespace

// --- TRptEngineLoader ---

TRptEngineLoader& TRptEngineLoader::Program() {
  static TRptEngineLoader* const loader = new TRptEngineLoader;
  return *loader;
}

TComPtr<IktPrinter> TRptEngineLoader::GetIntf(const std::string& directory) {
  TLockGuard guard(Lock);
  Directory = directory;
  if (!Library) {
    try {
      Library.emplace(TEngineLibrary::Load(Directory, RptEngine::FileName));
    } catch (const EEngineError& error) {
      throw EEngineError(Utf8ToNarrow("无法加载 ") + RptEngine::FileName + Utf8ToNarrow("，") + error.GetMessage());
    }
  }
  auto* getIntf = Library->Optional<RptEngine::GetIntfFn>("GetIntf");
  if (getIntf == nullptr)
    throw EEngineError(std::string(RptEngine::FileName) + Utf8ToNarrow(" 无法获取 GetIntf 方法入口"));
  TComPtr<IktPrinter> printer;
  getIntf(printer.Receive());
  // Calling into a missing object would bring the whole service down.
  if (!printer) throw EEngineError(std::string(RptEngine::FileName) + ": GetIntf handed out no printer object");
  return printer;
}

// --- TEShopReport ---

TEShopReport::TEShopReport() : TEShopReport(TRptEngineLoader::Program()) {}

TEShopReport::TEShopReport(TRptEngineLoader& loader) : Loader(loader) {}

TEShopReport::~TEShopReport() {
  // A configurer whose run goes on keeps itself and its own reference until the run ends.
  PrinterIntf.Reset();
  ArgItems.clear();
  CurrentConfiger.reset();
}

IktPrinter& TEShopReport::Printer() {
  if (!PrinterIntf) PrinterIntf = Loader.GetIntf(GetProductPath());
  return *PrinterIntf.Get();
}

std::optional<TEShopReport::TPublishedOperation> TEShopReport::FindPublished(const std::string& name) {
  static const std::pair<const char*, TPublishedOperation> operations[] = {
      {"designreport", &TEShopReport::DesignReport},
      {"preview", &TEShopReport::Preview},
      {"print", &TEShopReport::Print},
      {"setprinter", &TEShopReport::SetPrinter},
      {"checktemplateexist", &TEShopReport::CheckTemplateExist},
      {"set_datafields", &TEShopReport::Set_DataFields},
      {"set_displayfields", &TEShopReport::Set_DisplayFields},
      {"set_previewprintvisible", &TEShopReport::Set_PreviewPrintVisible},
      {"set_desginprintvisible", &TEShopReport::Set_DesginPrintVisible},
  };
  for (const auto& [operationName, operation] : operations)
    if (name == operationName) return operation;
  return std::nullopt;
}

WideString TEShopReport::InvokeMethod(const std::string& name, const std::string& args) {
  // Even the staging commands need the library here: without it they fail with its error.
  Printer();
  WideString answer = TReportBase::InvokeMethod(name, args);
  if (answer != NoAnswer) return answer;

  int32_t result = -1;
  ArgItems = SplitCommaArgs(args);
  const std::string command = LowerAscii(name);
  if (command == "printex") {
    const WideString second = Item(1);
    result = RunConfiger(KindPrintEx, Item(0), second);
  } else if (command == "getprinternames") {
    IktPrinter& printer = Printer();
    return AnswerText([&printer](BSTR* text) { printer.GetPrinterNames(text); });
  } else if (command == "getcurprinter") {
    const TBStr printerName(Item(0));
    IktPrinter& printer = Printer();
    return AnswerText([&](BSTR* text) { printer.GetCurPrinter(printerName.Get(), text); });
  } else if (command == "createnewtemplate") {
    const TBStr second(Item(1));
    const TBStr first(Item(0));
    IktPrinter& printer = Printer();
    result = CallPrinter([&] { return printer.CreateNewTemplate(first.Get(), second.Get()); });
  } else if (const std::optional<TPublishedOperation> operation = FindPublished(command)) {
    result = (this->**operation)(Item(0));
    // The next request works with a new printer object (an error above keeps this one).
    PrinterIntf.Reset();
  } else {
    PrinterIntf.Reset();
  }
  return NarrowToWide(IntToStr(result));
}

WideString TEShopReport::Item(size_t index) const { return NarrowToWide(ArgItem(ArgItems, index)); }

WideString TEShopReport::AnswerText(const std::function<void(BSTR*)>& fill) {
  // The library receives "-1" and may free it and store its own text; the holder frees
  // whichever text it holds in the end.
  TBStr answer(NoAnswer);
  CallPrinter([&] { fill(answer.Receive()); });
  return answer.View().empty() ? NoAnswer : WideString(answer.View());
}

WideString TEShopReport::GetProperty(const std::string& name) {
  WideString answer = TReportBase::GetProperty(name);
  if (answer != NoAnswer || name != "version") return answer;
  // Loaded for the question and unloaded again, from the current product directory, even
  // while the copy loaded for printing stays.
  try {
    const TEngineLibrary library = TEngineLibrary::Load(GetProductPath(), RptEngine::FileName);
    return NarrowToWide(library.VersionText());
  } catch (const EEngineError&) {
    return WideString();
  }
}

std::optional<WideString> TEShopReport::GetPropertyWithoutWaiting(const std::string& name) const {
  if (name != "isprinting") return std::nullopt;
  return (PrintBracketOpen || EngineDialogActive) ? u"1" : u"0";
}

int TEShopReport::LoadDataFromJson(const WideString& data) {
  IktPrinter& printer = Printer();
  const TBStr json(data);
  return CallPrinter([&] { return printer.LoadDataFromJson(json.Get()); });
}

// --- the published operations ---

int32_t TEShopReport::DesignReport(const WideString& name) { return RunConfiger(KindDesign, name, WideString()); }

int32_t TEShopReport::Preview(const WideString& name) { return RunConfiger(KindPreview, name, WideString()); }

int32_t TEShopReport::Print(const WideString& name) { return RunConfiger(KindPrint, name, WideString()); }

int32_t TEShopReport::SetPrinter(const WideString& name) {
  IktPrinter& printer = Printer();
  const TBStr text(name);
  return CallPrinter([&] { return printer.SetPrinter(text.Get()); });
}

int32_t TEShopReport::CheckTemplateExist(const WideString& name) {
  IktPrinter& printer = Printer();
  const TBStr text(name);
  return CallPrinter([&] { return printer.CheckTemplateExist(text.Get()); });
}

int32_t TEShopReport::Set_DataFields(const WideString& fields) {
  return SetFields(fields, &IktPrinter::Set_DataFields);
}

int32_t TEShopReport::Set_DisplayFields(const WideString& fields) {
  return SetFields(fields, &IktPrinter::Set_DisplayFields);
}

int32_t TEShopReport::SetFields(const WideString& fields, int32_t (IktPrinter::*operation)(BSTR)) {
  try {
    IktPrinter& printer = Printer();
    const TBStr text(fields);
    CallPrinter([&] { (printer.*operation)(text.Get()); });
    return 1;
  } catch (const std::exception&) {
    return -1;
  }
}

int32_t TEShopReport::Set_PreviewPrintVisible(const WideString& visible) {
  return SetVisibility(visible, &IktPrinter::Set_PreviewPrintVisible);
}

int32_t TEShopReport::Set_DesginPrintVisible(const WideString& visible) {
  return SetVisibility(visible, &IktPrinter::Set_DesginPrintVisible);
}

int32_t TEShopReport::SetVisibility(const WideString& visible, int32_t (IktPrinter::*operation)(VARIANT_BOOL)) {
  try {
    // A text that is no Boolean fails here, before the library is called.
    const VARIANT_BOOL value = StrToBool(WideToNarrow(visible)) ? VARIANT_TRUE : VARIANT_FALSE;
    IktPrinter& printer = Printer();
    CallPrinter([&] { (printer.*operation)(value); });
    return 1;
  } catch (const std::exception&) {
    return -1;
  }
}

int32_t TEShopReport::RunConfiger(uint8_t kind, const WideString& name, const WideString& second) {
  Printer();
  auto configer = std::make_shared<TktPrintConfiger>(PrinterIntf, kind, name, second);
  CurrentConfiger = configer;
  // Raised before the request is answered: a page that polls IsPrinting at once must not
  // see "0" just because the worker has not begun yet. The worker holds it from then on
  // and clears it when the window closes.
  EngineDialogActive = true;
  configer->Show();
  const int32_t result = configer->Result();
  if (!configer->IsShowing()) {
    EngineDialogActive = false;
    CurrentConfiger.reset();
  }
  return result;
}

// --- TEShopReport::TktPrintConfiger ---

TEShopReport::TktPrintConfiger::TktPrintConfiger(TComPtr<IktPrinter> printer, uint8_t kind, WideString name,
                                                 WideString second)
    : PrinterIntf(std::move(printer)), KindValue(kind), Name(std::move(name)), Second(std::move(second)) {}

void TEShopReport::TktPrintConfiger::DoShow() {
  // The flag is cleared however the library's window ends, an error included.
  RunEngineAction([this] {
    IktPrinter& printer = *PrinterIntf.Get();
    const TBStr name(Name);
    switch (KindValue) {
      case KindPrint:
        CallPrinter([&] { printer.Print(name.Get()); });
        break;
      case KindPrintEx: {
        const TBStr second(Second);
        CallPrinter([&] { printer.PrintEx(name.Get(), second.Get()); });
        break;
      }
      case KindDesign:
        CallPrinter([&] { printer.DesignReport(name.Get()); });
        break;
      case KindPreview:
        CallPrinter([&] { printer.Preview(name.Get()); });
        break;
      default:
        break;
    }
  });
}

}  // namespace trs
