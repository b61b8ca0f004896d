// The report V11 driver: its command table, properties, template building and dialogs.
#include "drivers/fuQuillReport.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string_view>

#include "desktop/LogLine.h"
#include "platform/Convert.h"
#include "platform/ProgramFile.h"

namespace trs {
namespace {

using QuillHost::TPropertyId;

const WideString NotHandled = u"-1";

// The name lists, as the control's documentation spells them.
constexpr char TextPropertyNames[] = "TemplateName,Version,StyleNames,VersionInfo,MacAddress";
constexpr char IntegerPropertyNames[] = "StyleIndex,PrintTimes,PrintTimesLimit,ExportTimes,EndShowDialog";
constexpr char BooleanPropertyNames[] =
    "QuickPrint,AllowExport,AllowPrint,LanguageKind,MasterDetailKeyFieldVisible,DefaultUsePosPrint,UseQuillPos,"
    "AllowSaveBaseStyle";
constexpr char PlainMethodNames[] =
    "Design,Preview,Print,Execute,PrintWithoutDialog,ClearDataSet,Close,AddTemplatePage,ClearTemplatePages,"
    "SaveTemplate";

// The progress window's messages: initialising, creating the template.
constexpr char InitialisingMessage[] = "正在初始化";
constexpr char CreatingTemplateMessage[] = "正在创建模板";
constexpr int ProgressSteps = 200;

// The dialog runs' kinds.
enum : uint8_t { KindExecute = 0, KindPrint, KindDesign, KindPreview, KindExportData, KindPrintWithoutDialog };

std::vector<std::string> NameList(const char* literal) {
  return TReportBase::SplitCommaArgs(LowerAscii(literal));
}

bool Contains(const std::vector<std::string>& list, const std::string& name) {
  const std::string lower = LowerAscii(name);
  return std::find(list.begin(), list.end(), lower) != list.end();
}

// The items of a command's argument text, converted on demand; a missing item raises
// "List index out of bounds (%d)", a bad one the runtime's conversion error.
class TItems {
 public:
  explicit TItems(const std::vector<std::string>& items) : Items(items) {}
  size_t Count() const { return Items.size(); }
  int32_t Int(size_t index) const { return StrToInt(TReportBase::ArgItem(Items, index)); }
  double Real(size_t index) const { return StrToFloat(TReportBase::ArgItem(Items, index)); }
  bool Bool(size_t index) const { return StrToBool(TReportBase::ArgItem(Items, index)); }
  WideString Text(size_t index) const { return NarrowToWide(TReportBase::ArgItem(Items, index)); }
  // Items `first` to `last` (inclusive) joined with ","; empty when last < first.
  WideString Joined(size_t first, size_t last) const {
    std::string joined;
    for (size_t i = first; i <= last && i < Items.size(); ++i) {
      if (i > first) joined += ',';
      joined += Items[i];
    }
    return NarrowToWide(joined);
  }

 private:
  const std::vector<std::string>& Items;
};

// A command with arguments: converts its items (all before the control is touched), then
// calls the control through `host`; its integer result, or -1 for a command without one.
using THostAccess = std::function<TReportHost&()>;
using TCommand = int32_t (*)(const TItems& a, const THostAccess& host);

struct TCommandEntry {
  const char* Name;  // lower case
  TCommand Run;
};

constexpr int32_t NoResult = -1;

// The commands that take six integers and answer nothing.
template <void (TReportHost::*Method)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t)>
int32_t SixIntegers(const TItems& a, const THostAccess& host) {
  const int32_t i0 = a.Int(0), i1 = a.Int(1), i2 = a.Int(2), i3 = a.Int(3), i4 = a.Int(4), i5 = a.Int(5);
  (host().*Method)(i0, i1, i2, i3, i4, i5);
  return NoResult;
}

// In the order names are compared. "settempatepagemargin" is the control's own spelling.
const TCommandEntry Commands[] = {
    {"createtemplate",
     [](const TItems& a, const THostAccess& host) {
       const WideString name = a.Text(0);
       const int32_t kind = a.Int(1);
       host().CreateTemplate(name, kind);
       return NoResult;
     }},
    {"settempatepagemargin",
     [](const TItems& a, const THostAccess& host) {
       const int32_t left = a.Int(0), top = a.Int(1), right = a.Int(2), bottom = a.Int(3);
       host().SetTempatePageMargin(left, top, right, bottom);
       return NoResult;
     }},
    {"addtemplatetable",
     [](const TItems& a, const THostAccess& host) {
       const int32_t page = a.Int(0);
       return host().AddTemplateTable(page);
     }},
    {"addtemplatetablerow",
     [](const TItems& a, const THostAccess& host) {
       const int32_t page = a.Int(0), table = a.Int(1);
       return host().AddTemplateTableRow(page, table);
     }},
    {"settemplatetablerowheight",
     [](const TItems& a, const THostAccess& host) {
       const int32_t i0 = a.Int(0), i1 = a.Int(1), i2 = a.Int(2);
       const double height = a.Real(3);
       host().SetTemplateTableRowHeight(i0, i1, i2, height);
       return NoResult;
     }},
    {"addtemplatetablecell",
     [](const TItems& a, const THostAccess& host) {
       const int32_t page = a.Int(0), table = a.Int(1), row = a.Int(2);
       const WideString text = a.Text(3);
       const int32_t width = a.Int(4);
       const double value = a.Real(5);
       return host().AddTemplateTableCell(page, table, row, text, width, value);
     }},
    {"settemplatetablecelllinevisible",
     [](const TItems& a, const THostAccess& host) {
       const int32_t i0 = a.Int(0), i1 = a.Int(1), i2 = a.Int(2), i3 = a.Int(3);
       const bool b0 = a.Bool(4), b1 = a.Bool(5), b2 = a.Bool(6), b3 = a.Bool(7);
       host().SetTemplateTableCellLineVisible(i0, i1, i2, i3, b0, b1, b2, b3);
       return NoResult;
     }},
    {"settemplatetablecelltextalign", SixIntegers<&TReportHost::SetTemplateTableCellTextAlign>},
    {"settemplatetablecellfieldformat", SixIntegers<&TReportHost::SetTemplateTableCellFieldFormat>},
    {"settemplatetablecellfont",
     [](const TItems& a, const THostAccess& host) {
       const int32_t i0 = a.Int(0), i1 = a.Int(1), i2 = a.Int(2), i3 = a.Int(3);
       const WideString font = a.Text(4);
       const int32_t size = a.Int(5);
       const bool b0 = a.Bool(6), b1 = a.Bool(7), b2 = a.Bool(8);
       host().SetTemplateTableCellFont(i0, i1, i2, i3, font, size, b0, b1, b2);
       return NoResult;
     }},
    {"settemplatetablecellkind",
     [](const TItems& a, const THostAccess& host) {
       const int32_t i0 = a.Int(0), i1 = a.Int(1), i2 = a.Int(2), i3 = a.Int(3), i4 = a.Int(4);
       const double value = a.Real(5);
       host().SetTemplateTableCellKind(i0, i1, i2, i3, i4, value);
       return NoResult;
     }},
    {"settemplatetablecellfornumber",
     [](const TItems& a, const THostAccess& host) {
       const int32_t i0 = a.Int(0), i1 = a.Int(1), i2 = a.Int(2), i3 = a.Int(3);
       const bool b0 = a.Bool(4);
       host().SetTemplateTableCellForNumber(i0, i1, i2, i3, b0);
       return NoResult;
     }},
    {"mergetemplatetablecell", SixIntegers<&TReportHost::MergeTemplateTableCell>},
    {"expandtemplatetablerow",
     [](const TItems& a, const THostAccess& host) {
       // The names between the title and the three trailing booleans travel as one text.
       const int32_t i0 = a.Int(0), i1 = a.Int(1);
       const WideString title = a.Text(2);
       const size_t n = a.Count();
       const WideString names = n >= 7 ? a.Joined(3, n - 4) : WideString();
       const bool b0 = a.Bool(n - 3), b1 = a.Bool(n - 2), b2 = a.Bool(n - 1);
       host().ExpandTemplateTableRow(i0, i1, title, names, b0, b1, b2);
       return NoResult;
     }},
    {"setmasterdetailrelation",
     [](const TItems& a, const THostAccess& host) {
       const WideString master = a.Text(0), detail = a.Text(1);
       host().SetMasterDetailRelation(master, detail);
       return NoResult;
     }},
    {"addtemplatechart",
     [](const TItems& a, const THostAccess& host) {
       const int32_t i0 = a.Int(0), i1 = a.Int(1), i2 = a.Int(2), i3 = a.Int(3);
       const WideString t0 = a.Text(4), t1 = a.Text(5), t2 = a.Text(6);
       const bool b0 = a.Bool(7), b1 = a.Bool(8);
       const double r0 = a.Real(9), r1 = a.Real(10);
       return host().AddTemplateChart(i0, i1, i2, i3, t0, t1, t2, b0, b1, r0, r1);
     }},
    {"appendreportstyle",
     [](const TItems& a, const THostAccess& host) {
       const WideString name = a.Text(0), style = a.Text(1);
       return host().AppendReportStyle(name, style);
     }},
    {"appendreportstyles",
     [](const TItems& a, const THostAccess& host) {
       // An item cannot hold a comma: of "s1,s2" only s1 reaches the control.
       const WideString styles = a.Text(0);
       return host().AppendReportStyles(styles);
     }},
};

// The control's properties by lower-cased name.
struct TPropertyEntry {
  const char* Name;
  TPropertyId Id;
};

const TPropertyEntry Properties[] = {
    {"templatename", TPropertyId::TemplateName},
    {"version", TPropertyId::Version},
    {"stylenames", TPropertyId::StyleNames},
    {"styleindex", TPropertyId::StyleIndex},
    {"versioninfo", TPropertyId::VersionInfo},
    {"printtimes", TPropertyId::PrintTimes},
    {"printtimeslimit", TPropertyId::PrintTimesLimit},
    {"quickprint", TPropertyId::QuickPrint},
    {"allowexport", TPropertyId::AllowExport},
    {"allowprint", TPropertyId::AllowPrint},
    {"exporttimes", TPropertyId::ExportTimes},
    {"languagekind", TPropertyId::LanguageKind},
    {"masterdetailkeyfieldvisible", TPropertyId::MasterDetailKeyFieldVisible},
    {"defaultuseposprint", TPropertyId::DefaultUsePosPrint},
    {"usequillpos", TPropertyId::UseQuillPos},
    {"macaddress", TPropertyId::MacAddress},
    {"allowsavebasestyle", TPropertyId::AllowSaveBaseStyle},
};

std::optional<TPropertyId> PropertyOf(const std::string& lowerName) {
  for (const TPropertyEntry& entry : Properties)
    if (lowerName == entry.Name) return entry.Id;
  return std::nullopt;
}

bool OneOf(const std::string& name, std::initializer_list<const char*> names) {
  return std::any_of(names.begin(), names.end(), [&name](const char* n) { return name == n; });
}

}  // namespace

// --- TQuillReportState ---

TReportHost& TQuillReportState::Host() {
  TLockGuard guard(HostLock);
  if (!HostValue) HostValue = TReportHost::Create(ControlDirectory);
  return *HostValue;
}

// --- TQuillReport ---

TQuillReport::TQuillReport() : TQuillReport(ProgramDirectory()) {}

TQuillReport::TQuillReport(std::string controlDirectory)
    : TextProperties(NameList(TextPropertyNames)),
      IntegerProperties(NameList(IntegerPropertyNames)),
      BooleanProperties(NameList(BooleanPropertyNames)),
      PlainMethods(NameList(PlainMethodNames)),
      State(std::make_shared<TQuillReportState>(std::move(controlDirectory))),
      Progress(std::make_unique<TzrProgressor>()) {
  // The window is shown for an instant while the program starts.
  Progress->SetMax(ProgressSteps);
  Progress->Start(Utf8ToNarrow(InitialisingMessage), 0);
  Progress->Finish();
}

TQuillReport::~TQuillReport() = default;

WideString TQuillReport::InvokeMethod(const std::string& name, const std::string& args) {
  WideString base = TReportBase::InvokeMethod(name, args);
  if (base != NotHandled) return base;
  SplitArgs(args, &Arguments, ',');
  const std::string command = LowerAscii(name);
  const int32_t result = Contains(PlainMethods, command) ? RunPlainMethod(command) : RunCommand(command);
  if (BuildingTemplate) Progress->Step();
  return NarrowToWide(IntToStr(result));
}

int32_t TQuillReport::RunPlainMethod(const std::string& name) {
  if (name == "design") return StartDialog(KindDesign);
  if (name == "preview") return StartDialog(KindPreview);
  if (name == "print") return StartDialog(KindPrint);
  if (name == "execute") return StartDialog(KindExecute);
  if (name == "printwithoutdialog") return StartDialog(KindPrintWithoutDialog);
  if (name == "cleardataset") {
    State->Host().ClearDataSet();
    return NoResult;
  }
  if (name == "close") {
    State->Host().Close();
    return NoResult;
  }
  if (name == "addtemplatepage") return State->Host().AddTemplatePage();
  if (name == "cleartemplatepages") {
    State->Host().ClearTemplatePages();
    return NoResult;
  }
  if (name == "savetemplate") return SaveTemplate();
  return NoResult;
}

int32_t TQuillReport::RunCommand(const std::string& name) {
  const TItems items(Arguments);
  if (name == "exportdata") {
    (void)items.Int(0);  // converted, then not used: the export always asks for kind 0
    StartDialog(KindExportData);
    return 0;
  }
  const THostAccess host = [this]() -> TReportHost& { return State->Host(); };
  for (const TCommandEntry& entry : Commands)
    if (name == entry.Name) return entry.Run(items, host);
  return NoResult;
}

int32_t TQuillReport::StartDialog(uint8_t kind) {
  // The previous runner goes from this slot now; its run holds it until it has ended.
  CurrentConfiger = std::make_shared<TktPrintConfiger>(kind, State);
  CurrentConfiger->Show();
  if (!CurrentConfiger->IsShowing()) {
    // No run will ever say it has ended: a page polling EndShowDialog must not wait forever.
    LogLine("the report host control's dialog could not be started");
    State->EndShowDialog = 1;
  }
  // A number for the page only; it starts again at 1 rather than overflow.
  DialogRuns = DialogRuns == INT32_MAX ? 1 : DialogRuns + 1;
  return DialogRuns;
}

int32_t TQuillReport::SaveTemplate() {
  BuildingTemplate = false;
  // The window and the busy cursor end whether the control saves or fails.
  struct TFinishProgress {
    TzrProgressor& Progress;
    ~TFinishProgress() { Progress.Finish(); }
  } finish{*Progress};
  State->Host().SaveTemplate();
  return NoResult;
}

int TQuillReport::LoadDataFromQuill3(const WideString& data, int option) {
  Progress->Start(Utf8ToNarrow(CreatingTemplateMessage), 0);
  Progress->Step();
  int32_t result;
  try {
    result = State->Host().LoadDataFromQuill3(data, option);
  } catch (...) {
    // A failed load opens no template: nothing is left on the screen for a later
    // SaveTemplate to take down.
    BuildingTemplate = false;
    Progress->Finish();
    throw;
  }
  BuildingTemplate = true;
  return result;
}

void TQuillReport::SetProperty(const std::string& name, const std::string& value) {
  const std::string lower = LowerAscii(name);
  const std::optional<TPropertyId> id = PropertyOf(lower);
  if (Contains(TextProperties, lower)) {
    if (lower == "templatename") State->Host().SetTextProperty(*id, NarrowToWide(value));
  } else if (Contains(IntegerProperties, lower)) {
    // Only the two with a setter convert their value.
    if (OneOf(lower, {"styleindex", "printtimeslimit"})) {
      const int32_t number = StrToInt(value);
      State->Host().SetIntegerProperty(*id, number);
    }
  } else if (Contains(BooleanProperties, lower)) {
    // Only the exact text "1" means true here.
    const bool on = value == "1";
    if (lower == "languagekind")
      State->Host().SetIntegerProperty(*id, on ? 1 : 0);
    else
      State->Host().SetBooleanProperty(*id, on);
  }
}

WideString TQuillReport::GetProperty(const std::string& name) {
  if (std::optional<WideString> answer = GetPropertyWithoutWaiting(name)) return *answer;
  const std::string lower = LowerAscii(name);
  if (OneOf(lower, {"version", "stylenames", "versioninfo", "macaddress"}))
    return State->Host().GetTextProperty(*PropertyOf(lower));
  if (OneOf(lower, {"styleindex", "printtimes", "exporttimes"}))
    return NarrowToWide(IntToStr(State->Host().GetIntegerProperty(*PropertyOf(lower))));
  return TReportBase::GetProperty(name);
}

std::optional<WideString> TQuillReport::GetPropertyWithoutWaiting(const std::string& name) const {
  if (SameTextAscii(name, "isprinting")) return (PrintBracketOpen || EngineDialogActive) ? u"1" : u"0";
  if (SameTextAscii(name, "endshowdialog")) return NarrowToWide(IntToStr(State->EndShowDialog.load()));
  return std::nullopt;
}

// --- TktPrintConfiger ---

TQuillReport::TktPrintConfiger::TktPrintConfiger(uint8_t kind, std::shared_ptr<TQuillReportState> owner)
    : Kind(kind), Owner(std::move(owner)) {
  Owner->EndShowDialog = 0;
}

void TQuillReport::TktPrintConfiger::DoShow() {
  RunEngineAction([this] {
    TReportHost& host = Owner->Host();
    switch (Kind) {
      case KindExecute: host.Execute(); break;
      case KindPrint: host.Print(); break;
      case KindDesign: host.Design(); break;
      case KindPreview: host.Preview(); break;
      case KindExportData: host.ExportData(0); break;
      case KindPrintWithoutDialog: host.PrintWithoutDialog(); break;
      default: break;
    }
  });
}

void TQuillReport::TktPrintConfiger::DoAfterShow() { Owner->EndShowDialog = 1; }

}  // namespace trs
