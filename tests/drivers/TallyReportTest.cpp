// The report V10 driver against the stand-in QPrint.Dll, loaded for real: the command table,
// the order of the engine calls, properties and queries, the style choice of the dialog
// actions, errors reported through the client log, and the engine's references.
#include "TallyReportFixture.h"

#include "drivers/ShortText.h"
#include "platform/Text.h"
#include "support/TestOs.h"

namespace trs::test {
namespace {

using Calls = std::vector<std::string>;

// An error box of the style choice, and an error the client log reported (the tests run
// with a UTF-8 narrow page and no application title).
std::string Box(const std::string& text) { return "MessageBox(" + text + "|错误|16)"; }
std::string Reported(const std::string& text) { return "MessageBox(" + text + "|系统提示|16)"; }

const std::string FullCell = "Text,1,2,3,4,5,6,7,8,9,10,11,12,13,14";

TEST(ShortTextTest, CutsAt255BytesWithoutSplittingACharacter) {
  const std::string han = "汉";  // three bytes
  const std::pair<std::string, size_t> cases[] = {
      {std::string(255, 'a'), 255},
      {std::string(300, 'a'), 255},
      {std::string(254, 'a') + han, 254},
      {std::string(252, 'a') + han + "b", 255},
      {[&] { std::string s; for (int i = 0; i < 100; ++i) s += han; return s; }(), 255},
      {"", 0},
  };
  for (const auto& [text, length] : cases) {
    const ShortString cut = ToShortString(text);
    EXPECT_EQ(cut.length, length) << text.size();
    EXPECT_EQ(FromShortString(cut), text.substr(0, length));
  }
}

// One request and its answer.
struct TStep {
  const char* Command;
  std::string Args;
  const char* Answer;
};

TEST_F(TallyReportTest, CommandTableAnswersAndPreconditions) {
  struct TCase {
    const char* Name;
    std::vector<TStep> Steps;
  };
  const TCase cases[] = {
      {"a line takes n + 1 cells",
       {{"createreport", "Sales,1", "0"}, {"addline", "2", "0"}, {"addcell", FullCell, "0"},
        {"addcell", FullCell, "0"}, {"addcell", FullCell, "0"}, {"addcell", FullCell, "-1"},
        {"endline", "", "1"}, {"addline", "0", "0"}, {"addcell", FullCell, "0"}, {"addcell", FullCell, "-1"}}},
      {"no template yet",
       {{"addline", "2", "-1"}, {"setreportmargin", "1,2,3,4", "-1"}, {"mergecell", "0,0,1,1", "-1"},
        {"endline", "", "1"}}},
      {"no line yet",
       {{"createreport", "Sales,0", "0"}, {"addcell", FullCell, "-1"}, {"setlineheight", "20", "-1"},
        {"setcellfont", "宋体,9,1,0,0,0", "-1"}, {"endline", "", "1"}}},
      {"createreport drops line and cell",
       {{"createreport", "Sales,0", "0"}, {"addline", "3", "0"}, {"addcell", FullCell, "0"},
        {"createreport", "Other,0", "0"}, {"setcellfont", "宋体,9,1,0,0,0", "-1"}, {"setlineheight", "9", "-1"}}},
      {"mergecell drops the cell and answers the engine",
       {{"createreport", "Sales,0", "0"}, {"addline", "3", "0"}, {"addcell", FullCell, "0"},
        {"mergecell", "0,0,1,1", "0"}, {"setcellfont", "宋体,9,1,0,0,0", "-1"}}},
      {"endreport ends everything",
       {{"createreport", "Sales,0", "0"}, {"addline", "3", "0"}, {"endreport", "", "0"},
        {"addcell", FullCell, "-1"}, {"endreport", "", "0"}}},
      {"batch printing", {{"beginbatchprint", "", "0"}, {"endbatchprint", "", "0"}}},
      {"unknown names, and getters are no commands",
       {{"nosuchcommand", "", "-1"}, {"get_version", "", "-1"}, {"Get_EndShowDialog", "", "-1"}}},
      {"the base's commands come first", {{"BeginPrint", "", "1"}, {"EndPrint", "", "1"}, {"AddDataTable", "", "1"}}},
  };
  InstallEngine();
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TQPrintLoader loader;
    TTallyReport driver(loader);
    Tag(driver, TProductDirectory::Tag);
    for (const TStep& step : c.Steps)
      EXPECT_EQ(Invoke(driver, step.Command, step.Args), step.Answer) << step.Command << ":" << step.Args;
    EXPECT_EQ(Invoke(driver, "endreport"), "0");
    EXPECT_EQ(LiveObjects(), 0);
  }
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(TallyReportTest, ItemsAreConvertedBeforeTheFirstEngineCall) {
  InstallEngine();
  ASSERT_EQ(Invoke(Driver, "createreport", "Sales,0"), "0");
  ASSERT_EQ(Invoke(Driver, "addline", "5"), "0");
  ASSERT_EQ(Invoke(Driver, "addcell", FullCell), "0");
  struct TCase {
    const char* Command;
    const char* Args;
    const char* Message;
  };
  const TCase cases[] = {
      {"addcell", "Text,1,2,3,4,5,6,7,8,9,10,11,12,13", "List index out of bounds (14)"},
      {"addcell", "Text,1,2,3,4,x,6,7,8,9,10,11,12,13,14", "'x' is not a valid integer value"},
      {"setcellfont", "宋体,9,1,0,0", "List index out of bounds (5)"},
      {"setcellfont", "宋体,big,1,0,0,0", "'big' is not a valid integer value"},
      {"setreportmargin", "1,2,3", "List index out of bounds (3)"},
      {"mergecell", "0,0,x,1", "'x' is not a valid integer value"},
      {"createreport", "Sales", "List index out of bounds (1)"},
      {"createreport", "Sales,one", "'one' is not a valid integer value"},
      {"setlineheight", "", "List index out of bounds (0)"},
      {"addline", "many", "'many' is not a valid integer value"},
  };
  for (const TCase& c : cases) {
    Journal.Clear();
    EXPECT_EQ(ErrorOf([&] { Invoke(Driver, c.Command, c.Args); }), c.Message) << c.Command << ":" << c.Args;
    EXPECT_TRUE(EngineCalls().empty()) << c.Command << ":" << c.Args;
  }
  EXPECT_TRUE(Boxes().empty());  // conversion errors reach the page, not the desktop
}

TEST_F(TallyReportTest, BuildsTheTemplateInTheEnginesOrder) {
  InstallEngine();
  EXPECT_EQ(Invoke(Driver, "createreport", "Sales,1"), "0");
  EXPECT_EQ(Invoke(Driver, "createreport", "Sales.RWX,2"), "0");  // the template is used again
  EXPECT_EQ(Invoke(Driver, "addline", "1"), "0");
  EXPECT_EQ(Invoke(Driver, "setlineheight", "$20"), "0");
  EXPECT_EQ(Invoke(Driver, "addcell", "Name,1,2,3,4,300,6,7,8,9,10,-1,12,13,14"), "0");
  EXPECT_EQ(Invoke(Driver, "setcellfont", "宋体,9,1,0,256,2"), "0");
  EXPECT_EQ(Invoke(Driver, "addcell", "金额 ,0,0,0,0,0,0,0,0,0,0,0,0,0,0"), "0");
  EXPECT_EQ(Invoke(Driver, "endline"), "1");
  EXPECT_EQ(Invoke(Driver, "setreportmargin", "-1,10,-1,5"), "0");
  EXPECT_EQ(Invoke(Driver, "mergecell", "0,0,0,1"), "0");
  Journal.Control("MergeCell.result=0\n");
  EXPECT_EQ(Invoke(Driver, "mergecell", "0,1,0,0"), "-1");
  EXPECT_EQ(Invoke(Driver, "endreport"), "0");

  const Calls expected = {
      "CreateReport [\"null\"]", "NewTemplate [\"null\"]", "LoadFromFile [\"Sales.rwx\"]", "SetCreateOption [1]",
      "LoadFromFile [\"Sales.RWX\"]", "SetCreateOption [2]", "AddLine [\"null\"]", "SetHeight [32]",
      "AddCell [\"null\"]", "SetText [\"Name\"]", "Set9 [1]", "Set7 [2]", "Set11 [44]", "Set13 [6]", "Set15 [7]",
      "Set17 [8]", "Set19 [3]", "Set21 [4]", "Set23 [9]", "Set25 [10]", "Set5 [255]", "Set27 [12]", "Set29 [13]",
      "Set31 [14]", "InsertCell []", "SetFont [[\"宋体\",9,1,0,0,2]]", "AddCell [\"null\"]", "SetText [\"金额\"]",
      "Set9 [0]", "Set7 [0]", "Set11 [0]", "Set13 [0]", "Set15 [0]", "Set17 [0]", "Set19 [0]", "Set21 [0]",
      "Set23 [0]", "Set25 [0]", "Set5 [0]", "Set27 [0]", "Set29 [0]", "Set31 [0]", "InsertCell []",
      "EndLine []", "SetMargin7 [10]", "SetMargin13 [5]", "MergeCell [0,0,0,1]", "MergeCell [0,1,0,0]",
      "CloseTemplate [{\"file\":\"Sales.RWX\",\"option\":2,\"margins\":{\"7\":10,\"13\":5},\"lines\":[{\"height\":32,"
      "\"cells\":[{\"text\":\"Name\",\"setters\":{\"5\":255,\"7\":2,\"9\":1,\"11\":44,\"13\":6,\"15\":7,\"17\":8,"
      "\"19\":3,\"21\":4,\"23\":9,\"25\":10,\"27\":12,\"29\":13,\"31\":14},\"font\":[\"宋体\",9,1,0,0,2]},"
      "{\"text\":\"金额\",\"setters\":{\"5\":0,\"7\":0,\"9\":0,\"11\":0,\"13\":0,\"15\":0,\"17\":0,\"19\":0,\"21\":0,"
      "\"23\":0,\"25\":0,\"27\":0,\"29\":0,\"31\":0},\"font\":null}]}],\"merges\":[[0,0,0,1]]}]",
  };
  EXPECT_EQ(EngineCalls(), expected);
  EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(TallyReportTest, ShortStringsAreCutOnCharacterBoundaries) {
  InstallEngine();
  std::string longText;
  for (int i = 0; i < 100; ++i) longText += "汉";
  ASSERT_EQ(Invoke(Driver, "createreport", "Sales,0"), "0");
  ASSERT_EQ(Invoke(Driver, "addline", "0"), "0");
  ASSERT_EQ(Invoke(Driver, "addcell", longText + ",0,0,0,0,0,0,0,0,0,0,0,0,0,0"), "0");
  ASSERT_EQ(Invoke(Driver, "endreport"), "0");
  const std::string cut = longText.substr(0, 255);  // 85 whole characters
  bool seen = false;
  for (const TEngineCall& call : Journal.Calls("QPrint"))
    if (call.Call == "SetText") seen = call.Args == "[\"" + cut + "\"]";
  EXPECT_TRUE(seen);
}

TEST_F(TallyReportTest, EngineErrorsAreReportedWhereCaughtAndReachThePageElsewhere) {
  InstallEngine();
  struct TCase {
    const char* Control;
    TStep Step;
  };
  const TCase caught[] = {
      {"LoadFromFile.error=no such template\n", {"createreport", "Sales,0", "5"}},
      {"Set21.error=no such template\n", {"addcell", FullCell, "5"}},
      {"SetMargin9.error=no such template\n", {"setreportmargin", "1,2,3,4", "5"}},
      {"EndLine.error=no such template\n", {"endline", "", "1"}},
      {"MergeCell.error=no such template\n", {"mergecell", "0,0,1,1", "5"}},
      {"CloseTemplate.error=no such template\n", {"endreport", "", "5"}},
  };
  for (const TCase& c : caught) {
    SCOPED_TRACE(c.Step.Command);
    ASSERT_EQ(Invoke(Driver, "createreport", "Sales,0"), "0");
    ASSERT_EQ(Invoke(Driver, "addline", "3"), "0");
    Desktop.ClearCalls();
    Journal.Control(c.Control);
    EXPECT_EQ(Invoke(Driver, c.Step.Command, c.Step.Args), c.Step.Answer);
    EXPECT_EQ(Boxes(), Calls{Reported("no such template")});
    Journal.Control("");
    Invoke(Driver, "endreport");
    EXPECT_EQ(LiveObjects(), 0);
  }

  // Not caught: the engine's message reaches the page, and nothing shows on the desktop.
  const TCase uncaught[] = {
      {"SetHeight.error=line refused\n", {"setlineheight", "2", ""}},
      {"SetFont.error=line refused\n", {"setcellfont", "宋体,9,1,0,0,0", ""}},
      {"AddLine.error=line refused\n", {"addline", "2", ""}},
  };
  ASSERT_EQ(Invoke(Driver, "createreport", "Sales,0"), "0");
  ASSERT_EQ(Invoke(Driver, "addline", "3"), "0");
  ASSERT_EQ(Invoke(Driver, "addcell", FullCell), "0");
  Desktop.ClearCalls();
  for (const TCase& c : uncaught) {
    Journal.Control(c.Control);
    EXPECT_EQ(ErrorOf([&] { Invoke(Driver, c.Step.Command, c.Step.Args); }), "line refused") << c.Step.Command;
  }
  EXPECT_TRUE(Boxes().empty());

  // The client log rewords what it knows.
  Journal.Control("SetText.error=Access violation at address 0000\n");
  ASSERT_EQ(Invoke(Driver, "addline", "3"), "0");
  EXPECT_EQ(Invoke(Driver, "addcell", FullCell), "5");
  EXPECT_EQ(Boxes(), Calls{Reported("操作失败！")});
  Journal.Control("");
  EXPECT_EQ(Invoke(Driver, "endreport"), "0");
  EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(TallyReportTest, BatchCallsAnswerMinusOneOnFailureWithoutReporting) {
  InstallEngine();
  Journal.Control("BeginBatchPrint.result=0\n");
  EXPECT_EQ(Invoke(Driver, "beginbatchprint"), "-1");
  Journal.Control("BeginBatchPrint.error=busy\nEndBatchPrint.error=busy\n");
  EXPECT_EQ(Invoke(Driver, "beginbatchprint"), "-1");
  EXPECT_EQ(Invoke(Driver, "endbatchprint"), "-1");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(TallyReportTest, LoaderErrorsAndRetry) {
  // No library: the loader's error is reported where createreport catches it.
  EXPECT_EQ(Invoke(Driver, "createreport", "Sales,0"), "5");
  const Calls boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].rfind("MessageBox(无法加载 QPrint.Dll，", 0), 0u) << boxes[0];
  EXPECT_NE(boxes[0].find(test::SystemErrorText(test::TSystemError::NoSuchLibrary)), std::string::npos) << boxes[0];
  EXPECT_EQ(Invoke(Driver, "beginbatchprint"), "-1");
  {
    TLockGuard guard(Driver.CallLock);
    EXPECT_EQ(Driver.LoadDataFromQuill3(u"data", 0), -1);
  }
  EXPECT_EQ(Property(Driver, "isprinting"), "0");
  EXPECT_EQ(Boxes().size(), 1u);  // none of the three reports: a poll puts up no box

  // The next request tries again and finds the library.
  InstallEngine();
  EXPECT_EQ(Invoke(Driver, "createreport", "Sales,0"), "0");
  EXPECT_EQ(Invoke(Driver, "endreport"), "0");
  EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(TallyReportTest, LibraryWithoutCreateReport) {
  InstallEngine("qprint-no-create");
  Desktop.ClearCalls();
  EXPECT_EQ(Invoke(Driver, "createreport", "Sales,0"), "5");
  EXPECT_EQ(Boxes(), Calls{Reported("QPrint.Dll 无法获取 CreateReport 方法入口")});
  TQPrintLoader loader;
  loader.SetLibraryDirectory(Product.Path());
  EXPECT_EQ(ErrorOf([&] { loader.CreateReport(); }), "QPrint.Dll 无法获取 CreateReport 方法入口");
  // A directory without its trailing delimiter is used as it is.
  TQPrintLoader withoutDelimiter;
  withoutDelimiter.SetLibraryDirectory(Product.Path().substr(0, Product.Path().size() - 1));
  EXPECT_EQ(ErrorOf([&] { withoutDelimiter.CreateReport(); }).rfind("无法加载 QPrint.Dll，", 0), 0u);
}

TEST_F(TallyReportTest, VersionIsReadOnceAndKeepsTheReport) {
  EXPECT_EQ(Property(Driver, "version"), "");  // no library: nothing is kept
  InstallEngine();
  EXPECT_EQ(Property(Driver, "Version"), "5.2.0.1");
  std::filesystem::remove(Product.Path() + "QPrint.Dll");
  EXPECT_EQ(Property(Driver, "version"), "5.2.0.1");  // read once per run

  TProductDirectory other("qprint-unversioned");
  other.Install(StandInEngine("QPrint.Dll", "qprint-unversioned"), "qprint.dll");
  TQPrintLoader loader;
  TTallyReport driver(loader);
  Tag(driver, TProductDirectory::Tag);
  EXPECT_EQ(Property(driver, "version"), "65535.65535.65535.65535");
  EXPECT_EQ(Invoke(driver, "createreport", "Sales,0"), "0");
  EXPECT_EQ(Property(driver, "version"), "65535.65535.65535.65535");
  EXPECT_EQ(Invoke(driver, "addline", "1"), "0");  // version does not end the report
  EXPECT_EQ(Property(driver, "nosuchproperty"), "-1");
  EXPECT_EQ(Invoke(driver, "addline", "1"), "-1");  // any other name does
}

TEST_F(TallyReportTest, QueriesAnswerTheEngineAndEndTheReport) {
  InstallEngine();
  Journal.Control(
      "GetStyleIndex.result=4\nGetPrintTimes.result=7\nGetExportTimes.result=-2\nGetIsBatchPrinting.result=-1\n"
      "ReadStyleNames.result=A\r\nGetTemplateName.result=报表.rwx\n");
  const std::pair<const char*, std::string> cases[] = {
      {"templatename", "报表.rwx"},
      {"stylenames", "A"},
      {"versioninfo", "QPrint stand-in 5.2\r\n打印管理器所在目录: " + Product.Path()},
      {"styleindex", "4"},
      {"printtimes", "7"},
      {"exporttimes", "-2"},
      {"isbatchprinting", "-1"},  // widened with its sign
      {"endshowdialog", "0"},
      {"isprinting", "0"},
      {"print", "-1"},
  };
  for (const auto& [name, answer] : cases) {
    ASSERT_EQ(Invoke(Driver, "createreport", "Sales,0"), "0");
    EXPECT_EQ(Property(Driver, name), answer) << name;
    EXPECT_EQ(Invoke(Driver, "addline", "1"), "-1") << name;  // the template is gone
    EXPECT_EQ(LiveObjects(), 0) << name;
  }
  Journal.Control("GetIsBatchPrinting.result=1\n");
  EXPECT_EQ(Property(Driver, "isprinting"), "1");
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(TallyReportTest, FailingGettersReportAndAnswerMinusOne) {
  InstallEngine();
  const std::pair<const char*, const char*> cases[] = {
      {"styleindex", "GetStyleIndex"},   {"printtimes", "GetPrintTimes"},
      {"exporttimes", "GetExportTimes"}, {"isbatchprinting", "GetIsBatchPrinting"},
      {"templatename", "GetTemplateName"}, {"stylenames", "ReadStyleNames"},
      {"versioninfo", "GetVersionInfo"},   {"isprinting", "GetIsBatchPrinting"},
  };
  for (const auto& [name, call] : cases) {
    Desktop.ClearCalls();
    Journal.Control(std::string(call) + ".error=counter broken\n");
    const std::string answer = Property(Driver, name);
    const bool text = std::string(name) == "templatename" || name == std::string("stylenames") ||
                      name == std::string("versioninfo");
    EXPECT_EQ(answer, text ? "" : std::string(name) == "isprinting" ? "0" : "-1") << name;
    EXPECT_EQ(Boxes(), Calls{Reported("counter broken")}) << name;
  }
  EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(TallyReportTest, PropertiesConvertThenSet) {
  InstallEngine();
  const std::pair<std::string, std::string> cases[] = {
      {"templatename:发票", "SetTemplateName [\"发票\"]"},
      {"datadirname:data", "SetDataDirName [\"data\"]"},
      {"printtimeslimit:0x10", "SetPrintTimesLimit [16]"},
      {"allowexport:TRUE", "SetAllowExport [1]"},
      {"allowprint:0", "SetAllowPrint [0]"},
      {"defaultusenewdesignform:-3", "SetDefaultUseNewDesignForm [1]"},
      {"allowpreviewedit:false", "SetAllowPreviewEdit [0]"},
      {"styleindex:2", "SetStyleIndex [2]"},
      {"nosuchproperty:1", ""},
  };
  auto set = [this](const std::string& name, const std::string& value) {
    TLockGuard guard(Driver.CallLock);
    Driver.SetProperty(name, value);
  };
  for (const auto& [property, call] : cases) {
    Journal.Clear();
    const size_t colon = property.find(':');
    set(property.substr(0, colon), property.substr(colon + 1));
    const Calls calls = EngineCalls();
    EXPECT_EQ(calls.empty() ? "" : calls.back(), call) << property;
  }
  // StyleIndex ends the report; the others keep it.
  ASSERT_EQ(Invoke(Driver, "createreport", "Sales,0"), "0");
  set("allowprint", "1");
  EXPECT_EQ(Invoke(Driver, "addline", "1"), "0");
  set("styleindex", "1");
  EXPECT_EQ(Invoke(Driver, "addline", "1"), "-1");
  EXPECT_EQ(ErrorOf([&] { set("allowprint", "maybe"); }), "'maybe' is not a valid boolean value");
  EXPECT_EQ(ErrorOf([&] { set("styleindex", "two"); }), "'two' is not a valid integer value");
  Journal.Control("SetAllowExport.error=locked\n");
  Desktop.ClearCalls();
  set("allowexport", "1");
  EXPECT_EQ(Boxes(), Calls{Reported("locked")});
  EXPECT_EQ(LiveObjects(), 1);  // the report stays for the next request
  EXPECT_EQ(Invoke(Driver, "endreport"), "0");
  EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(TallyReportTest, LoadDataFromQuill3HandsTheBodyAsWideText) {
  InstallEngine();
  {
    TLockGuard guard(Driver.CallLock);
    EXPECT_EQ(Driver.LoadDataFromQuill3(Utf8ToWide("{\"单据\":1}"), 0), 0);
    Journal.Control("LoadData.error=bad data\n");
    EXPECT_EQ(Driver.LoadDataFromQuill3(u"x", 0), -1);
  }
  EXPECT_EQ(EngineCalls(), (Calls{"CreateReport [\"null\"]", "LoadData [8,\"{\\\"单据\\\":1}\",0,1]", "LoadData [8,\"x\",0,1]"}));
  EXPECT_TRUE(Boxes().empty());
  EXPECT_EQ(Invoke(Driver, "endreport"), "0");
  EXPECT_EQ(LiveObjects(), 0);
}

// --- Dialog actions

TEST_F(TallyReportTest, EachDialogCommandRunsItsEngineAction) {
  InstallEngine();
  const std::pair<const char*, const char*> cases[] = {
      {"print", "Print"},     {"printwithoutdialog", "PrintWithoutDialog"}, {"preview", "Preview"},
      {"design", "Design"},   {"exportdata", "ExportData"},                 {"execute", "Execute"},
  };
  for (const auto& [command, action] : cases) {
    Journal.Clear();
    RunDialog(command);
    const Calls expected = {"CreateReport", "PrepareAction", "BeginAction", "GetMainData", "GetStyleFileName",
                            "SetTemplateName", "OpenTemplate", action, "GetLastResult"};
    EXPECT_EQ(EngineCallNames(), expected) << command;
    EXPECT_EQ(Property(Driver, "endshowdialog"), "1");
    EXPECT_EQ(LiveObjects(), 0) << command;
  }
  const Calls calls = EngineCalls();
  EXPECT_EQ(calls[1], "PrepareAction [1]");
  EXPECT_EQ(calls[3], "GetMainData [0]");  // the variant handed over is empty
}

TEST_F(TallyReportTest, StyleChoiceFromTheMainTable) {
  InstallEngine();
  struct TCase {
    const char* Number;
    const char* Name;
    const char* StyleFile;  // what GetStyleFileName answers; null: its default "Style<n>.rwx"
    const char* Template;   // what SetTemplateName receives
    const char* Box;        // the error box, if any
  };
  const TCase cases[] = {
      {"-1", "发票", nullptr, "发票.rwx", nullptr},
      {"-1", "", nullptr, "", "无效的打印样式文件名称！"},
      {"0", "发票", nullptr, "", "无效的打印样式编号！"},
      {"3", "发票", nullptr, "Style3.rwx", nullptr},
      {"3", "发票", "Special", "Special", nullptr},
      {"3", "发票", "", "发票.rwx", nullptr},
      {"3", "", "", "", "没有传入样式名称!"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Number) + " " + c.Name);
    std::string control = std::string("GetMainData.style_number=") + c.Number + "\nGetMainData.style_name=" + c.Name + "\n";
    if (c.StyleFile != nullptr) control += std::string("GetStyleFileName.result=") + c.StyleFile + "\n";
    Journal.Control(control);
    Journal.Clear();
    Desktop.ClearCalls();
    RunDialog("print");
    const std::vector<TEngineCall> calls = Journal.Calls("QPrint");
    std::string received = "none";
    bool askedForFile = false;
    for (const TEngineCall& call : calls) {
      if (call.Call == "SetTemplateName") received = call.Args;
      if (call.Call == "GetStyleFileName") askedForFile = call.Args == std::string("[") + c.Number + "]";
    }
    EXPECT_EQ(received, std::string("[\"") + c.Template + "\"]");
    EXPECT_EQ(askedForFile, std::string(c.Number) == "3");
    EXPECT_EQ(Boxes(), c.Box == nullptr ? Calls{} : Calls{Box(c.Box)});
    EXPECT_EQ(calls.back().Call, "GetLastResult");  // the action went on
  }
  EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(TallyReportTest, DialogIsPolledWhileOpen) {
  InstallEngine();
  Journal.Control("Preview.until_file=" + CloseFile() + "\n");
  ASSERT_EQ(Invoke(Driver, "createreport", "Sales,0"), "0");
  EXPECT_EQ(Invoke(Driver, "preview"), "0");  // answered at once
  ASSERT_TRUE(WaitForCall("Preview"));
  EXPECT_EQ(Property(Driver, "isprinting"), "1");
  EXPECT_EQ(Property(Driver, "endshowdialog"), "0");
  EXPECT_EQ(Property(Driver, "templatename"), "Style1.rwx");  // a report of its own, ended again
  // A report built meanwhile does not disturb the action.
  EXPECT_EQ(Invoke(Driver, "createreport", "Other,0"), "0");
  EXPECT_EQ(Invoke(Driver, "endreport"), "0");
  EXPECT_EQ(LiveObjects(), 1);  // the action's own report

  std::ofstream(CloseFile()) << "closed";
  ASSERT_TRUE(WaitForDialogWorkers(Patience));
  EXPECT_EQ(Property(Driver, "isprinting"), "0");
  EXPECT_EQ(Property(Driver, "endshowdialog"), "0");  // until the main thread has the notice
  Desktop.RunPostedWork();
  EXPECT_EQ(Property(Driver, "endshowdialog"), "1");
  EXPECT_EQ(LiveObjects(), 0);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(TallyReportTest, FailedActionsClearTheDialogFlag) {
  InstallEngine();
  const char* const controls[] = {
      "GetMainData.style_number=none\n",  // a main table without the style number
      "Print.error=printer on fire\n",    // a failing engine call
      "PrepareAction.error=not ready\n",
  };
  for (const char* control : controls) {
    SCOPED_TRACE(control);
    Journal.Control(control);
    Desktop.ClearCalls();
    RunDialog("print");
    EXPECT_FALSE(EngineDialogActive);
    EXPECT_EQ(Property(Driver, "isprinting"), "0");
    EXPECT_EQ(Property(Driver, "endshowdialog"), "1");
    EXPECT_TRUE(Boxes().empty());  // nobody reports these
    EXPECT_EQ(LiveObjects(), 0);
  }
}

TEST_F(TallyReportTest, EndReportAfterTheActionIsReportedOnTheWorker) {
  InstallEngine();
  // The action's EndReport closes whatever report is being built when it ends.
  Journal.Control("Print.until_file=" + CloseFile() + "\nCloseTemplate.error=close failed\n");
  EXPECT_EQ(Invoke(Driver, "print"), "0");
  ASSERT_TRUE(WaitForCall("Print"));
  EXPECT_EQ(Invoke(Driver, "createreport", "Sales,0"), "0");
  std::ofstream(CloseFile()) << "closed";
  ASSERT_TRUE(WaitForDialogWorkers(Patience));
  Desktop.RunPostedWork();
  EXPECT_EQ(Boxes(), Calls{Reported("close failed")});
  EXPECT_EQ(Invoke(Driver, "addline", "1"), "-1");
  EXPECT_EQ(LiveObjects(), 0);
}

TEST_F(TallyReportTest, WithoutAWorkerNoDialogIsAwaited) {
  InstallEngine();
  FailWorkerCreationsForTests(1);
  EXPECT_EQ(Invoke(Driver, "print"), "0");
  EXPECT_EQ(Property(Driver, "endshowdialog"), "1");
  EXPECT_EQ(Property(Driver, "isprinting"), "0");
  EXPECT_EQ(EngineCallNames(), (Calls{"CreateReport", "GetIsBatchPrinting"}));  // IsPrinting's, no action
  FailWorkerCreationsForTests(0);
}

TEST_F(TallyReportTest, ANewDialogSetsEndShowDialogBackToZero) {
  InstallEngine();
  RunDialog("print");
  EXPECT_EQ(Property(Driver, "endshowdialog"), "1");
  Journal.Control("Design.until_file=" + CloseFile() + "\n");
  EXPECT_EQ(Invoke(Driver, "design"), "0");
  EXPECT_EQ(Property(Driver, "endshowdialog"), "0");
}

}  // namespace
}  // namespace trs::test
