// The report V10 driver: its command, property and query tables, and its dialog actions.
#include "drivers/fuTallyReport.h"

#include "dataset/ClientDataSet.h"
#include "desktop/DesktopUtils.h"
#include "desktop/LogLine.h"
#include "desktop/ktShowDialog.h"
#include "desktop/vxLog.h"
#include "drivers/ShortText.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/OleStatus.h"
#include "platform/Text.h"

namespace trs {

// What the driver and its runners share. The runners hold it too: the last DoAfterShow of
// a run comes on the main thread after its worker has ended, when the driver may be gone.
struct TTallyReport::TDialogState {
  // 0 from the creation of a runner until its DoAfterShow, then 1; 0 at first.
  std::atomic<int32_t> EndShowDialog{0};

  // Dialog actions between their Show and the end of their DoShow: they use the driver.
  TMutex Lock;
  TConditionVariable Ended;
  int Running TRS_GUARDED_BY(Lock) = 0;

  void ActionBegins() TRS_EXCLUDES(Lock) {
    TLockGuard guard(Lock);
    ++Running;
  }
  void ActionEnds() TRS_EXCLUDES(Lock) {
    {
      TLockGuard guard(Lock);
      --Running;
    }
    Ended.NotifyAll();
  }
  void WaitForActions() TRS_EXCLUDES(Lock) {
    TLockGuard guard(Lock);
    Ended.Wait(Lock, [this]() TRS_REQUIRES(Lock) { return Running == 0; });
  }
};

// The V10 dialog runner: one style-selected engine action of `Kind` (0 Execute, 1 Print,
// 2 Design, 3 Preview, 4 ExportData, 5 PrintWithoutDialog) for its driver.
class TTallyReport::TktPrintConfiger : public TktIEShowDialog {
 public:
  TktPrintConfiger(TTallyReport& owner, uint8_t kind) : Owner(owner), State(owner.Dialogs), Kind(kind) {
    State->EndShowDialog = 0;
  }

 protected:
  void DoShow() override {
    // The driver counted this action before Show; the count ends with the last use of it.
    struct TActionEnds {
      TDialogState& State;
      ~TActionEnds() { State.ActionEnds(); }
    } actionEnds{*State};
    RunEngineAction([this] { Owner.RunStyleAction(Kind); }, [this] { Owner.EndReportAfterAction(); });
  }
  void DoAfterShow() override { State->EndShowDialog = 1; }

 private:
  TTallyReport& Owner;
  const std::shared_ptr<TDialogState> State;
  const uint8_t Kind;
};

// One entry of the table of published operations: a dialog action of a kind, or a getter
// of text or of an integer.
struct TTallyReport::TPublishedOperation {
  enum class TForm { Action, Text, Integer };
  const char* Name;
  TForm Form;
  uint8_t ActionKind;
  WideString (TTallyReport::*TextGetter)();
  int32_t (TTallyReport::*IntegerGetter)();
};

namespace {

constexpr int Success = 0;
constexpr int NotDone = -1;
constexpr int EngineFailed = 5;

// The action kinds the engine knows.
enum : uint8_t { ExecuteKind, PrintKind, DesignKind, PreviewKind, ExportDataKind, PrintWithoutDialogKind };

// An interface result the engine must have stored; an engine that stores none is an engine
// error rather than an empty reference for the next step to trip over.
template <typename Interface>
void ExpectReference(const TComPtr<Interface>& reference, const char* operation) {
  if (!reference) throw EEngineError(std::string(QPrint::FileName) + " " + operation + " gave no object");
}

// The template name of createreport: ".rwx" is appended unless the name has it, in any
// letter case (compared on whole characters).
std::string TemplateFileName(const std::string& name) {
  const WideString wide = LowerAscii(NarrowToWide(name));
  const std::u16string_view extension = u".rwx";
  const bool hasExtension = wide.size() >= extension.size() &&
                            std::u16string_view(wide).substr(wide.size() - extension.size()) == extension;
  return hasExtension ? name : name + ".rwx";
}

// For the engine calls whose errors the driver does not catch, inside their catch block:
// the error goes on to the page, an engine's own exception as an EEngineError with the
// engine's message.
[[noreturn]] void PassEngineError() {
  try {
    throw;
  } catch (const Exception&) {
    throw;
  } catch (const std::exception& error) {
    throw EEngineError(error.what());
  }
}

uint8_t LowByte(int32_t value) { return static_cast<uint8_t>(value & 0xFF); }

WideString NarrowAnswer(const std::string& text) { return NarrowToWide(text); }

}  // namespace

TTallyReport::TTallyReport(TQPrintLoader& loader) : Loader(loader), Dialogs(std::make_shared<TDialogState>()) {}

TTallyReport::~TTallyReport() {
  // A running action still uses this driver (its lock and references).
  Dialogs->WaitForActions();
  TLockGuard guard(CallLock);
  Cell.Reset();
  Line.Reset();
  Template.Reset();
  Report.Reset();
  Runner.reset();
}

// --- Commands

WideString TTallyReport::InvokeMethod(const std::string& name, const std::string& args) {
  WideString base = TReportBase::InvokeMethod(name, args);
  if (base != u"-1") return base;
  SplitArgs(args, &Args, ',');
  return NarrowToWide(IntToStr(RunCommand(LowerAscii(name))));
}

int TTallyReport::RunCommand(const std::string& command) {
  if (command == "createreport") return CreateReport();
  if (command == "addline") return AddLine();
  if (command == "setlineheight") return SetLineHeight();
  if (command == "addcell") return AddCell();
  if (command == "setcellfont") return SetCellFont();
  if (command == "setreportmargin") return SetReportMargin();
  if (command == "endline") return EndLine();
  if (command == "mergecell") return MergeCell();
  if (command == "endreport") return EndReport();
  if (command == "beginbatchprint") return BeginBatchPrint();
  if (command == "endbatchprint") return EndBatchPrint();
  const TPublishedOperation* operation = FindPublished(command);
  if (operation != nullptr && operation->Form == TPublishedOperation::TForm::Action) {
    const int32_t result = ShowDialog(operation->ActionKind);
    EndReport();
    return result;
  }
  return NotDone;
}

int TTallyReport::CreateReport() {
  const ShortString fileName = ToShortString(TemplateFileName(ArgItem(Args, 0)));
  const int32_t option = StrToInt(ArgItem(Args, 1));
  try {
    EnsureReport();
    if (!Template) {
      Report->NewTemplate(Template.Receive());
      ExpectReference(Template, "NewTemplate");
    }
    Template->LoadFromFile(fileName);
    Template->SetCreateOption(option);
    Line.Reset();
    Cell.Reset();
  } catch (const std::exception&) {
    ReportCaughtError();
    return EngineFailed;
  }
  return Success;
}

int TTallyReport::AddLine() {
  const int32_t cells = StrToInt(ArgItem(Args, 0));
  MaxCells = cells;
  CellCount = 0;
  if (!Template) return NotDone;
  try {
    Template->AddLine(Line.Receive());
    ExpectReference(Line, "AddLine");
  } catch (const std::exception&) {
    PassEngineError();
  }
  return Success;
}

int TTallyReport::SetLineHeight() {
  if (!Line) return NotDone;
  const int32_t height = StrToInt(ArgItem(Args, 0));
  try {
    Line->SetHeight(height);
  } catch (const std::exception&) {
    PassEngineError();
  }
  return Success;
}

int TTallyReport::AddCell() {
  // A line opened with n takes the cells 0 to n: n + 1 of them.
  if (!Line || CellCount > MaxCells) return NotDone;
  const ShortString text = ToShortString(ArgItem(Args, 0));
  int32_t item[15] = {};
  for (size_t i = 1; i < 15; ++i) item[i] = StrToInt(ArgItem(Args, i));
  try {
    Line->AddCell(Cell.Receive());
    ExpectReference(Cell, "AddCell");
    Cell->SetText(text);
    Cell->SetInteger9(item[1]);
    Cell->SetInteger7(item[2]);
    Cell->SetByte11(LowByte(item[5]));
    Cell->SetInteger13(item[6]);
    Cell->SetByte15(LowByte(item[7]));
    Cell->SetInteger17(item[8]);
    Cell->SetByte19(LowByte(item[3]));
    Cell->SetInteger21(item[4]);
    Cell->SetByte23(LowByte(item[9]));
    Cell->SetInteger25(item[10]);
    Cell->SetByte5(LowByte(item[11]));
    Cell->SetInteger27(item[12]);
    Cell->SetInteger29(item[13]);
    Cell->SetInteger31(item[14]);
    Line->InsertCell(Cell.Get());
    ++CellCount;
  } catch (const std::exception&) {
    ReportCaughtError();
    return EngineFailed;
  }
  return Success;
}

int TTallyReport::SetCellFont() {
  if (!Cell) return NotDone;
  const ShortString fontName = ToShortString(ArgItem(Args, 0));
  const int32_t size = StrToInt(ArgItem(Args, 1));
  uint8_t bytes[4];
  for (size_t i = 0; i < 4; ++i) bytes[i] = LowByte(StrToInt(ArgItem(Args, 2 + i)));
  try {
    Cell->SetFont(fontName, size, bytes[0], bytes[1], bytes[2], bytes[3]);
  } catch (const std::exception&) {
    PassEngineError();
  }
  return Success;
}

int TTallyReport::SetReportMargin() {
  if (!Template) return NotDone;
  int32_t margin[4];
  for (size_t i = 0; i < 4; ++i) margin[i] = StrToInt(ArgItem(Args, i));
  try {
    // A negative value leaves its margin alone.
    if (margin[0] >= 0) Template->SetMargin11(margin[0]);
    if (margin[1] >= 0) Template->SetMargin7(margin[1]);
    if (margin[2] >= 0) Template->SetMargin9(margin[2]);
    if (margin[3] >= 0) Template->SetMargin13(margin[3]);
  } catch (const std::exception&) {
    ReportCaughtError();
    return EngineFailed;
  }
  return Success;
}

int TTallyReport::EndLine() {
  if (Template && Line) {
    try {
      Template->EndLine(Line.Get());
    } catch (const std::exception&) {
      ReportCaughtError();
    }
  }
  return 1;
}

int TTallyReport::MergeCell() {
  if (!Template) return NotDone;
  int32_t item[4];
  for (size_t i = 0; i < 4; ++i) item[i] = StrToInt(ArgItem(Args, i));
  try {
    Cell.Reset();
    return Template->MergeCell(item[0], item[1], item[2], item[3]) != 0 ? Success : NotDone;
  } catch (const std::exception&) {
    ReportCaughtError();
    return EngineFailed;
  }
}

int TTallyReport::BeginBatchPrint() {
  try {
    EnsureReport();
    return Report->BeginBatchPrint() != 0 ? Success : NotDone;
  } catch (const std::exception&) {
    return NotDone;
  }
}

int TTallyReport::EndBatchPrint() {
  try {
    EnsureReport();
    Report->EndBatchPrint();
    return Success;
  } catch (const std::exception&) {
    return NotDone;
  }
}

// --- Data and properties

int TTallyReport::LoadDataFromQuill3(const WideString& data, int n) {
  try {
    EnsureReport();
    TOleVariant value;  // frees the text after the call: the engine copies what it keeps
    value.Get().bstrVal = AllocBStr(data);
    if (value.Get().bstrVal == nullptr) throw EOleSysError(E_OUTOFMEMORY);
    value.Get().vt = VT_BSTR;
    Report->LoadData(value.Get(), n, 1);
  } catch (const std::exception& error) {
    LogLine(std::string("LoadDataFromQuill3 failed: ") + error.what());
    return NotDone;
  }
  return Success;
}

template <typename Answer, typename Query>
Answer TTallyReport::AskReport(Query query, Answer failed) {
  try {
    EnsureReport();
    return query(*Report.Get());
  } catch (const std::exception&) {
    ReportCaughtError();
    return failed;
  }
}

template <typename Setter, typename Value>
void TTallyReport::SetOnReport(Setter setter, const Value& value) {
  AskReport(
      [setter, &value](IzrReport& report) {
        (report.*setter)(value);
        return Success;
      },
      EngineFailed);
}

void TTallyReport::SetProperty(const std::string& name, const std::string& value) {
  using TTextSetter = void (IzrReport::*)(const ShortString&);
  using TIntegerSetter = void (IzrReport::*)(int32_t);
  using TBooleanSetter = void (IzrReport::*)(uint8_t);
  static const std::pair<const char*, TTextSetter> TextProperties[] = {
      {"templatename", &IzrReport::SetTemplateName},
      {"datadirname", &IzrReport::SetDataDirName},
  };
  static const std::pair<const char*, TIntegerSetter> IntegerProperties[] = {
      {"styleindex", &IzrReport::SetStyleIndex},
      {"printtimeslimit", &IzrReport::SetPrintTimesLimit},
  };
  static const std::pair<const char*, TBooleanSetter> BooleanProperties[] = {
      {"allowexport", &IzrReport::SetAllowExport},
      {"allowprint", &IzrReport::SetAllowPrint},
      {"defaultusenewdesignform", &IzrReport::SetDefaultUseNewDesignForm},
      {"allowpreviewedit", &IzrReport::SetAllowPreviewEdit},
  };
  // The value is converted before the engine is asked: one that does not convert reaches
  // the page, and the engine sees nothing.
  for (const auto& [property, setter] : TextProperties)
    if (SameTextAscii(name, property)) SetOnReport(setter, ToShortString(value));
  for (const auto& [property, setter] : IntegerProperties)
    if (SameTextAscii(name, property)) SetOnReport(setter, StrToInt(value));
  for (const auto& [property, setter] : BooleanProperties)
    if (SameTextAscii(name, property)) SetOnReport(setter, static_cast<uint8_t>(StrToBool(value) ? 1 : 0));
  if (SameTextAscii(name, "styleindex")) EndReport();
}

WideString TTallyReport::GetProperty(const std::string& name) {
  WideString answer = u"-1";
  if (SameTextAscii(name, "isprinting")) {
    answer = IsPrinting();
  } else if (const TPublishedOperation* operation = FindPublished("Get_" + name)) {
    if (operation->Form == TPublishedOperation::TForm::Text)
      answer = (this->*operation->TextGetter)();
    else if (operation->Form == TPublishedOperation::TForm::Integer)
      answer = NarrowToWide(IntToStr((this->*operation->IntegerGetter)()));
  }
  if (!SameTextAscii(name, "version")) EndReport();
  return answer;
}

WideString TTallyReport::IsPrinting() {
  if (PrintBracketOpen || EngineDialogActive) return u"1";
  // Pages poll this: where no engine can be loaded, reporting the loader's error would put
  // up an error box at every poll and hold the poll until the user closes it. Without an
  // engine no batch is printing.
  try {
    EnsureReport();
  } catch (const EEngineError&) {
    return u"0";
  }
  return Get_IsBatchPrinting() == 1 ? u"1" : u"0";
}

// --- Published operations

const TTallyReport::TPublishedOperation* TTallyReport::FindPublished(const std::string& name) {
  using TForm = TPublishedOperation::TForm;
  static const TPublishedOperation Table[] = {
      {"Print", TForm::Action, PrintKind, nullptr, nullptr},
      {"PrintWithoutDialog", TForm::Action, PrintWithoutDialogKind, nullptr, nullptr},
      {"Preview", TForm::Action, PreviewKind, nullptr, nullptr},
      {"Design", TForm::Action, DesignKind, nullptr, nullptr},
      {"ExportData", TForm::Action, ExportDataKind, nullptr, nullptr},
      {"Execute", TForm::Action, ExecuteKind, nullptr, nullptr},
      {"Get_Version", TForm::Text, 0, &TTallyReport::Get_Version, nullptr},
      {"Get_TemplateName", TForm::Text, 0, &TTallyReport::Get_TemplateName, nullptr},
      {"Get_StyleNames", TForm::Text, 0, &TTallyReport::Get_StyleNames, nullptr},
      {"Get_StyleIndex", TForm::Integer, 0, nullptr, &TTallyReport::Get_StyleIndex},
      {"Get_VersionInfo", TForm::Text, 0, &TTallyReport::Get_VersionInfo, nullptr},
      {"Get_PrintTimes", TForm::Integer, 0, nullptr, &TTallyReport::Get_PrintTimes},
      {"Get_ExportTimes", TForm::Integer, 0, nullptr, &TTallyReport::Get_ExportTimes},
      {"Get_IsBatchPrinting", TForm::Integer, 0, nullptr, &TTallyReport::Get_IsBatchPrinting},
      {"Get_EndShowDialog", TForm::Integer, 0, nullptr, &TTallyReport::Get_EndShowDialog},
  };
  for (const TPublishedOperation& operation : Table)
    if (SameTextAscii(operation.Name, name)) return &operation;
  return nullptr;
}

int32_t TTallyReport::ShowDialog(uint8_t kind) {
  auto runner = std::make_shared<TktPrintConfiger>(*this, kind);
  Runner = runner;
  Dialogs->ActionBegins();
  try {
    runner->Show();
  } catch (...) {
    Dialogs->ActionEnds();
    throw;
  }
  if (!runner->IsShowing()) {
    // No worker, no dialog: a page polling EndShowDialog must not wait for one forever.
    Dialogs->ActionEnds();
    Dialogs->EndShowDialog = 1;
  }
  return Success;
}

WideString TTallyReport::Get_Version() {
  if (!VersionText.empty()) return NarrowAnswer(VersionText);
  try {
    // Loaded by itself, apart from the loader, and let go again once the text is read.
    const TEngineLibrary library = TEngineLibrary::Load(GetProductPath(), "qprint.dll");
    VersionText = library.VersionText();
  } catch (const EEngineError& error) {
    LogEngineLoadFailure("qprint.dll", error.GetMessage());
    return WideString();
  }
  return NarrowAnswer(VersionText);
}

WideString TTallyReport::Get_TemplateName() {
  return AskReport(
      [](IzrReport& report) {
        ShortString name{};
        report.GetTemplateName(name);
        return NarrowAnswer(FromShortString(name));
      },
      WideString());
}

WideString TTallyReport::Get_StyleNames() {
  return AskReport(
      [](IzrReport& report) {
        const char* names = report.ReadStyleNames();  // the engine's: copied at once
        return NarrowAnswer(names == nullptr ? std::string() : std::string(names));
      },
      WideString());
}

WideString TTallyReport::Get_VersionInfo() {
  const WideString directory = Utf8ToWide("\r\n打印管理器所在目录: ") + NarrowAnswer(GetProductPath());
  return AskReport(
      [&directory](IzrReport& report) {
        ShortString info{};
        report.GetVersionInfo(info);
        return NarrowAnswer(FromShortString(info)) + directory;
      },
      WideString());
}

// The integer getters answer -1 when the engine fails: the page gets a value it can tell
// from every count.
int32_t TTallyReport::Get_StyleIndex() {
  return AskReport([](IzrReport& report) { return report.GetStyleIndex(); }, NotDone);
}

int32_t TTallyReport::Get_PrintTimes() {
  return AskReport([](IzrReport& report) { return report.GetPrintTimes(); }, NotDone);
}

int32_t TTallyReport::Get_ExportTimes() {
  return AskReport([](IzrReport& report) { return report.GetExportTimes(); }, NotDone);
}

int32_t TTallyReport::Get_IsBatchPrinting() {
  // The engine's 16-bit answer, widened with its sign.
  return AskReport([](IzrReport& report) -> int32_t { return report.GetIsBatchPrinting(); }, NotDone);
}

int32_t TTallyReport::Get_EndShowDialog() { return Dialogs->EndShowDialog; }

// --- The engine report

void TTallyReport::EnsureReport() {
  if (Report) return;
  Loader.SetLibraryDirectory(GetProductPath());
  Report = Loader.CreateReport();
}

int TTallyReport::EndReport() {
  const std::exception_ptr error = CloseReport();
  if (!error) return Success;
  ReportError(error);
  return EngineFailed;
}

std::exception_ptr TTallyReport::CloseReport() {
  std::exception_ptr error;
  try {
    if (Report && Template) Report->CloseTemplate(Template.Get());
  } catch (const std::exception&) {
    error = std::current_exception();
  }
  // Every reference goes, also after a failure: one kept here would never be released.
  auto drop = [&error](auto& reference) {
    try {
      reference.Reset();
    } catch (const std::exception&) {
      if (!error) error = std::current_exception();
    }
  };
  drop(Cell);
  drop(Line);
  drop(Template);
  drop(Report);
  return error;
}

void TTallyReport::ReportCaughtError() { ReportError(std::current_exception()); }

void TTallyReport::ReportError(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (Exception& caught) {
    ClientLog().ReportException(caught, "");
  } catch (const std::exception& caught) {
    EEngineError engineError(caught.what());
    ClientLog().ReportException(engineError, "");
  }
}

// --- Dialog actions, on the worker

int32_t TTallyReport::RunStyleAction(uint8_t kind) {
  TComPtr<IzrReport> report;
  {
    // The action's own reference is taken in the step that reads or creates Report, so
    // a request that drops Report meanwhile never takes the report away from the action.
    TLockGuard guard(CallLock);
    EnsureReport();
    report = Report;
  }
  report->PrepareAction(1);
  report->BeginAction();
  const ShortString styleFile = ToShortString(ChooseStyleFile(*report.Get()));
  report->SetTemplateName(styleFile);
  report->OpenTemplate();
  switch (kind) {
    case ExecuteKind: report->Execute(); break;
    case PrintKind: report->Print(); break;
    case DesignKind: report->Design(); break;
    case PreviewKind: report->Preview(); break;
    case ExportDataKind: report->ExportData(); break;
    case PrintWithoutDialogKind: report->PrintWithoutDialog(); break;
    default: break;
  }
  const int32_t result = report->GetLastResult();
  report.Reset();
  return result;
}

void TTallyReport::EndReportAfterAction() {
  std::exception_ptr error;
  {
    TLockGuard guard(CallLock);
    error = CloseReport();
  }
  // Reported without the lock: the error box waits for the user.
  if (error) ReportError(error);
}

std::string TTallyReport::ChooseStyleFile(IzrReport& report) {
  TClientDataSet styleTable;
  {
    TOleVariant packet;  // freed on every path, errors included
    report.GetMainData(packet.Get());
    styleTable.SetData(BytePacketOf(packet.Get()));
  }
  styleTable.First();
  const int numberField = styleTable.FindField(Utf8ToNarrow("样式编号"));
  if (numberField < 0) throw EDatabaseError(Utf8ToNarrow("主表中没有 样式编号 字段"));
  const int32_t style = styleTable.FieldAsInteger(numberField);
  auto styleName = [&styleTable] {
    return styleTable.FieldAsString(styleTable.FieldByName(Utf8ToNarrow("样式名称")));
  };

  if (style == -1) {
    const std::string name = styleName();
    if (!name.empty()) return name + ".rwx";
    ErrorBox(Utf8ToNarrow("无效的打印样式文件名称！"));
    return std::string();
  }
  if (style == 0) {
    ErrorBox(Utf8ToNarrow("无效的打印样式编号！"));
    return std::string();
  }
  ShortString fileName{};
  report.GetStyleFileName(style, fileName);
  if (fileName.length != 0) return FromShortString(fileName);  // used as the engine gives it
  const std::string name = styleName();
  if (!name.empty()) return name + ".rwx";
  ErrorBox(Utf8ToNarrow("没有传入样式名称!"));
  return std::string();
}

}  // namespace trs
