// The report V11 driver against the stand-in control, loaded for real: the command table
// and its conversions, the properties, the progress window of template building, dialogs
// polled while open, the control's errors, and creating the control.
#include "drivers/fuQuillReport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "DriverCalls.h"
#include "QuillTestSupport.h"
#include "desktop/DesktopUtils.h"
#include "support/RecordingDesktop.h"

namespace trs::test {
namespace {

using Lines = std::vector<std::string>;

class QuillReportTest : public testing::Test {
 protected:
  void TearDown() override {
    // No run may outlive the test's desktop.
    EXPECT_TRUE(WaitForDialogWorkers(std::chrono::seconds(10)));
    Desktop.RunPostedWork();
  }

  // The progress window's calls since the last ClearCalls.
  Lines ProgressCalls() const {
    Lines calls;
    for (const std::string& call : Desktop.Calls())
      if (call.rfind("Progress.", 0) == 0 && call != "Progress.Paint") calls.push_back(call);
    return calls;
  }
  int LoadData(const std::string& data) {
    TLockGuard guard(Driver.CallLock);
    return Driver.LoadDataFromQuill3(Utf8ToWide(data), 0);
  }
  void Set(const std::string& name, const std::string& value) {
    TLockGuard guard(Driver.CallLock);
    Driver.SetProperty(LowerAscii(name), value);
  }
  // Waits until the stand-in has journalled `call` (a dialog has begun).
  void WaitForCall(const std::string& call) const {
    for (int i = 0; i < 1000 && CountOf(Journal, call) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_GT(CountOf(Journal, call), 0) << call << " never began";
  }

  TRecordingDesktop Desktop;
  TEngineJournal Journal;
  TQuillReport Driver{QuillFolder()};
};

// A template with one page, one table and one row, so that the cases below have something
// to add to.
class QuillCommandTest : public QuillReportTest {
 protected:
  void SetUp() override {
    Invoke(Driver, "CreateTemplate", "Sales,2");
    Invoke(Driver, "AddTemplatePage");
    Invoke(Driver, "AddTemplateTable", "0");
    Invoke(Driver, "AddTemplateTableRow", "0,0");
    Journal.Clear();
  }
};

struct TCommandCase {
  const char* Name;
  const char* Args;
  const char* Result;
  const char* Call;  // what reaches the control, "" for nothing
};

TEST_F(QuillCommandTest, ConvertsEachCommandsItemsInOrderAndAnswersItsResult) {
  const TCommandCase cases[] = {
      {"CreateTemplate", "Bill,1", "-1", R"(CreateTemplate["Bill",1])"},
      {"SetTempatePageMargin", "10,20,30,40", "-1", "SetTempatePageMargin[10,20,30,40]"},
      {"SetTemplatePageMargin", "10,20,30,40", "-1", ""},  // not the control's spelling
      {"AddTemplatePage", "ignored", "1", "AddTemplatePage[]"},
      {"AddTemplateTable", "0", "1", "AddTemplateTable[0]"},
      {"AddTemplateTableRow", "0, 0", "1", "AddTemplateTableRow[0,0]"},
      {"AddTemplateTableCell", "0,0,0,Name,80,1.5", "0", R"(AddTemplateTableCell[0,0,0,"Name",80,1.5])"},
      {"SetTemplateTableRowHeight", "0,0,0,12.5", "-1", "SetTemplateTableRowHeight[0,0,0,12.5]"},
      {"SetTemplateTableCellLineVisible", "0,0,0,1,1,0,True,false", "-1",
       "SetTemplateTableCellLineVisible[0,0,0,1,-1,0,-1,0]"},
      {"SetTemplateTableCellTextAlign", "1,2,3,4,5,6", "-1", "SetTemplateTableCellTextAlign[1,2,3,4,5,6]"},
      {"SetTemplateTableCellFieldFormat", "1,2,3,4,5,6", "-1", "SetTemplateTableCellFieldFormat[1,2,3,4,5,6]"},
      {"SetTemplateTableCellFont", "0,0,0,1,宋体,12,1,0,TRUE", "-1",
       R"(SetTemplateTableCellFont[0,0,0,1,"宋体",12,-1,0,-1])"},
      {"SetTemplateTableCellKind", "1,2,3,4,5,0.25", "-1", "SetTemplateTableCellKind[1,2,3,4,5,0.25]"},
      {"SetTemplateTableCellForNumber", "1,2,3,4,-2", "-1", "SetTemplateTableCellForNumber[1,2,3,4,-1]"},
      {"MergeTemplateTableCell", "1,2,3,4,5,6", "-1", "MergeTemplateTableCell[1,2,3,4,5,6]"},
      {"ExpandTemplateTableRow", "1,2,Title,f1,f2,f3,1,0,True", "-1",
       R"(ExpandTemplateTableRow[1,2,"Title","f1,f2,f3",-1,0,-1])"},
      {"ExpandTemplateTableRow", "1,2,Title,1,0,1", "-1", R"(ExpandTemplateTableRow[1,2,"Title","",-1,0,-1])"},
      {"SetMasterDetailRelation", "Master,Detail", "-1", R"(SetMasterDetailRelation["Master","Detail"])"},
      {"AddTemplateChart", "1,2,3,4,Pie,Sales,Qty,1,0,0.5,2", "0",
       R"(AddTemplateChart[1,2,3,4,"Pie","Sales","Qty",-1,0,0.5,2])"},
      {"AppendReportStyle", "Plain,<style/>", "1", R"(AppendReportStyle["Plain","<style/>"])"},
      {"AppendReportStyles", "s1,s2", "3", R"(AppendReportStyles["s1"])"},  // only the first item
      {"ClearDataSet", "", "-1", "ClearDataSet[]"},
      {"ClearTemplatePages", "", "-1", "ClearTemplatePages[]"},
      {"Close", "", "-1", "Close[]"},
      {"SaveTemplate", "", "-1", R"(SaveTemplate[{"name":"Sales","pages":[[[0]]],"charts":0,"data_bytes":0}])"},
      {"NoSuchCommand", "1,2", "-1", ""},
      {"AddDataTable", "", "1", ""},  // the base's staging command, never the control
  };
  for (const TCommandCase& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + ":" + c.Args);
    // Each case sees the template of SetUp; the cases that change it run on their own.
    TearDown();
    SetUp();
    EXPECT_EQ(Invoke(Driver, c.Name, c.Args), c.Result);
    EXPECT_EQ(ControlCalls(Journal), std::string(c.Call).empty() ? Lines{} : Lines{c.Call});
  }
}

TEST_F(QuillCommandTest, ABadOrMissingItemFailsBeforeTheControlIsCalled) {
  const struct {
    const char* Name;
    const char* Args;
    const char* Message;
  } cases[] = {
      {"ExportData", "", "List index out of bounds (0)"},
      {"ExportData", "x", "'x' is not a valid integer value"},
      {"CreateTemplate", "Name", "List index out of bounds (1)"},
      {"AddTemplateTableCell", "0,0,0,Name,wide,1", "'wide' is not a valid integer value"},
      {"SetTemplateTableRowHeight", "0,0,0,tall", "'tall' is not a valid floating point value"},
      {"SetTemplateTableCellForNumber", "1,2,3,4,maybe", "'maybe' is not a valid boolean value"},
      {"ExpandTemplateTableRow", "1,2", "List index out of bounds (2)"},
      {"AddTemplateChart", "1,2,3,4,a,b,c,1,0,0.5", "List index out of bounds (10)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + ":" + c.Args);
    ExpectError([&] { Invoke(Driver, c.Name, c.Args); }, c.Message);
    EXPECT_EQ(ControlCalls(Journal), Lines{});
  }
}

TEST_F(QuillReportTest, SetsPropertiesByTheirListsRules) {
  const struct {
    const char* Name;
    const char* Value;
    const char* Call;  // "" when nothing reaches the control
  } cases[] = {
      {"TemplateName", "月报", R"(put_TemplateName["月报"])"},
      {"StyleIndex", "3", "put_StyleIndex[3]"},
      {"PrintTimesLimit", "$10", "put_PrintTimesLimit[16]"},
      {"QuickPrint", "1", "put_QuickPrint[-1]"},
      {"QuickPrint", "true", "put_QuickPrint[0]"},  // only the text "1" means true
      {"AllowExport", "0", "put_AllowExport[0]"},
      {"AllowPrint", "1", "put_AllowPrint[-1]"},
      {"MasterDetailKeyFieldVisible", "1", "put_MasterDetailKeyFieldVisible[-1]"},
      {"DefaultUsePosPrint", "1", "put_DefaultUsePosPrint[-1]"},
      {"UseQuillPos", "yes", "put_UseQuillPos[0]"},
      {"AllowSaveBaseStyle", "1", "put_AllowSaveBaseStyle[-1]"},
      {"LanguageKind", "1", "put_LanguageKind[1]"},
      {"LanguageKind", "2", "put_LanguageKind[0]"},
      {"PrintTimes", "not a number", ""},  // listed, without a setter: not even converted
      {"EndShowDialog", "1", ""},
      {"Version", "9", ""},
      {"NoSuchProperty", "1", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Name) + ":" + c.Value);
    Journal.Clear();
    Set(c.Name, c.Value);
    EXPECT_EQ(ControlCalls(Journal), std::string(c.Call).empty() ? Lines{} : Lines{c.Call});
  }
  ExpectError([&] { Set("StyleIndex", "third"); }, "'third' is not a valid integer value");
}

TEST_F(QuillReportTest, GetsPropertiesFromTheControlEveryTime) {
  Set("StyleIndex", "3");
  Invoke(Driver, "AppendReportStyle", "Plain,<style/>");
  EXPECT_EQ(Property(Driver, "Version"), "11.0.3.8");
  EXPECT_EQ(Property(Driver, "VersionInfo"), "QuillHost stand-in 11.0.3.8");
  EXPECT_EQ(Property(Driver, "MacAddress"), "00-16-3E-00-00-01");
  EXPECT_EQ(Property(Driver, "StyleNames"), "标准报表\r\nPlain");
  EXPECT_EQ(Property(Driver, "StyleIndex"), "3");
  EXPECT_EQ(Property(Driver, "PrintTimes"), "0");
  EXPECT_EQ(Property(Driver, "ExportTimes"), "0");
  // Not cached: the control's new answer shows at once.
  Journal.Control("get_StyleIndex.result=7\n");
  EXPECT_EQ(Property(Driver, "StyleIndex"), "7");
  EXPECT_EQ(CountOf(Journal, "get_StyleIndex"), 2);
  // Listed names without a getter, and unknown names.
  Journal.Clear();
  for (const char* name : {"TemplateName", "PrintTimesLimit", "QuickPrint", "LanguageKind", "NoSuchProperty"})
    EXPECT_EQ(Property(Driver, name), "-1") << name;
  EXPECT_EQ(ControlCalls(Journal), Lines{});
}

TEST_F(QuillReportTest, StepsTheProgressWindowFromLoadingDataToSavingTheTemplate) {
  Desktop.ClearCalls();
  EXPECT_EQ(LoadData("a\nb\nc\n"), 3);
  EXPECT_EQ(ProgressCalls(), (Lines{"Progress.SetTopmost(1)", "Progress.BringToTop", "Progress.Show",
                                    "Progress.SetMessage(正在创建模板，请稍候 ...)", "Progress.SetPosition(0)",
                                    "Progress.SetPosition(1)"}));
  Desktop.ClearCalls();
  Invoke(Driver, "CreateTemplate", "T,0");
  Invoke(Driver, "NoSuchCommand");              // unknown names step as well
  Invoke(Driver, "AddDataTable");               // the base's commands do not
  ExpectError([&] { Invoke(Driver, "AddTemplateTable", "x"); }, "'x' is not a valid integer value");
  EXPECT_EQ(ProgressCalls(), (Lines{"Progress.SetPosition(2)", "Progress.SetPosition(3)"}));
  Desktop.ClearCalls();
  Invoke(Driver, "SaveTemplate");
  EXPECT_EQ(ProgressCalls(), (Lines{"Progress.SetTopmost(0)", "Progress.SetPosition(200)", "Progress.Hide"}));
  EXPECT_EQ(BusyCursorCount(), 0);
  Desktop.ClearCalls();
  Invoke(Driver, "AddTemplatePage");
  EXPECT_EQ(ProgressCalls(), Lines{});
}

TEST_F(QuillReportTest, ShowsTheWindowBrieflyWhenCreated) {
  TRecordingDesktop desktop;
  TQuillReport driver(QuillFolder());
  Lines calls;
  for (const std::string& call : desktop.Calls())
    if (call.rfind("Progress.Set", 0) == 0 || call == "Progress.Show" || call == "Progress.Hide") calls.push_back(call);
  EXPECT_EQ(calls, (Lines{"Progress.SetMax(200)", "Progress.SetTopmost(1)", "Progress.Show",
                          "Progress.SetMessage(正在初始化，请稍候 ...)", "Progress.SetPosition(0)",
                          "Progress.SetTopmost(0)", "Progress.SetPosition(200)", "Progress.Hide"}));
}

TEST_F(QuillReportTest, AFailedLoadOrSaveTakesTheProgressWindowDown) {
  const int busyBefore = BusyCursorCount();
  Journal.Control("LoadDataFromQuill3.hresult=0x80004005\n");
  Desktop.ClearCalls();
  ExpectError([&] { LoadData("x"); }, "Unspecified error");
  ASSERT_FALSE(ProgressCalls().empty());
  EXPECT_EQ(ProgressCalls().back(), "Progress.Hide");
  EXPECT_EQ(BusyCursorCount(), busyBefore);
  Desktop.ClearCalls();
  Invoke(Driver, "AddTemplatePage");  // no template is being built
  EXPECT_EQ(ProgressCalls(), Lines{});

  Journal.Control("SaveTemplate.hresult=0x80004005\n");
  LoadData("x");
  ExpectError([&] { Invoke(Driver, "SaveTemplate"); }, "Unspecified error");
  ASSERT_FALSE(ProgressCalls().empty());
  EXPECT_EQ(ProgressCalls().back(), "Progress.Hide");
  EXPECT_EQ(BusyCursorCount(), busyBefore);
  Desktop.ClearCalls();
  Invoke(Driver, "AddTemplatePage");
  EXPECT_EQ(ProgressCalls(), Lines{});
}

TEST_F(QuillReportTest, ADialogAnswersAtOnceAndIsPolledWhileOpen) {
  TDialogGate gate("print");
  Journal.Control("Print.until_file=" + gate.Path() + "\n");
  const std::string run = Invoke(Driver, "Print");
  EXPECT_NE(run, "0");
  EXPECT_EQ(Property(Driver, "EndShowDialog"), "0");
  WaitForCall("Print");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "1");
  // The control answers other calls while its dialog is up.
  EXPECT_EQ(Property(Driver, "StyleNames"), "标准报表");
  EXPECT_EQ(Invoke(Driver, "AddTemplatePage"), "0");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "1");
  EXPECT_EQ(Property(Driver, "EndShowDialog"), "0");
  gate.Open();
  ASSERT_TRUE(WaitForDialogWorkers(std::chrono::seconds(10)));
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  // Without a browser window the completion notice comes through the main thread.
  EXPECT_EQ(Property(Driver, "EndShowDialog"), "0");
  Desktop.RunPostedWork();
  EXPECT_EQ(Property(Driver, "EndShowDialog"), "1");
  EXPECT_EQ(Property(Driver, "PrintTimes"), "1");
}

TEST_F(QuillReportTest, EachDialogOperationRunsItsControlMethod) {
  const struct {
    const char* Name;
    const char* Args;
    const char* Call;
  } cases[] = {
      {"Execute", "", "Execute[]"},
      {"Print", "", "Print[]"},
      {"Design", "", "Design[]"},
      {"Preview", "", "Preview[]"},
      {"ExportData", "1", "ExportData[0]"},  // always 0 for the control
      {"PrintWithoutDialog", "", "PrintWithoutDialog[]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    Journal.Clear();
    const std::string answer = Invoke(Driver, c.Name, c.Args);
    if (std::string(c.Name) == "ExportData") EXPECT_EQ(answer, "0");
    else EXPECT_NE(answer, "0");
    ASSERT_TRUE(WaitForDialogWorkers(std::chrono::seconds(10)));
    Desktop.RunPostedWork();
    EXPECT_EQ(ControlCalls(Journal), Lines{c.Call});
    EXPECT_EQ(Property(Driver, "EndShowDialog"), "1");
  }
}

TEST_F(QuillReportTest, AFailingDialogEndsItsRunAndClearsIsPrinting) {
  Journal.Control("Preview.hresult=0x80004005\n");
  Invoke(Driver, "Preview");
  ASSERT_TRUE(WaitForDialogWorkers(std::chrono::seconds(10)));
  Desktop.RunPostedWork();
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  EXPECT_EQ(Property(Driver, "EndShowDialog"), "1");
}

TEST_F(QuillReportTest, ADialogThatCannotStartDoesNotLeaveThePageWaiting) {
  FailWorkerCreationsForTests(1);
  Invoke(Driver, "Design");
  EXPECT_EQ(Property(Driver, "EndShowDialog"), "1");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  EXPECT_EQ(ControlCalls(Journal), Lines{});
}

TEST_F(QuillReportTest, FailuresCarryTheControlsDescriptionOrTheSystemsText) {
  const struct {
    const char* Control;
    const char* Message;
  } cases[] = {
      {"AddTemplatePage.hresult=0x80004001", "Not implemented"},
      {"AddTemplatePage.hresult=0x80041234", "OLE error 80041234"},
      {"get_StyleNames.hresult=0x80004005\nget_StyleNames.description=样式文件已损坏", "样式文件已损坏"},
      {"get_StyleNames.hresult=0x8000FFFF", "Catastrophic failure"},
      {"put_QuickPrint.hresult=0x80070057\nput_QuickPrint.description=", "The parameter is incorrect."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Control);
    Journal.Control(std::string(c.Control) + "\n");
    std::string message;
    try {
      TLockGuard guard(Driver.CallLock);
      std::string name = c.Control;
      name = name.substr(0, name.find('.'));
      if (name == "AddTemplatePage") Driver.InvokeMethod("addtemplatepage", "");
      else if (name == "get_StyleNames") Driver.GetProperty("stylenames");
      else Driver.SetProperty("quickprint", "1");
      ADD_FAILURE() << "no error";
    } catch (const EOleException& error) {
      message = error.GetMessage();
    }
    EXPECT_EQ(message, c.Message);
  }
  // A description with a status that is not a failure takes the returned status's text.
  EXPECT_EQ(OleErrorText(DISP_E_EXCEPTION, u"", S_OK), "Exception occurred.");
  EXPECT_EQ(OleErrorText(DISP_E_EXCEPTION, u"", E_NOTIMPL), "Not implemented");
}

TEST_F(QuillReportTest, AsksForTheDefaultInterfaceOnceAndReleasesTheControlAtTheEnd) {
  {
    TQuillReport driver(QuillFolder());
    Journal.Clear();
    Invoke(driver, "AddTemplatePage");
    Property(driver, "Version");
    Invoke(driver, "ClearTemplatePages");
    EXPECT_EQ(CountOf(Journal, "CreateReportHostControl"), 1);
    EXPECT_EQ(CountOf(Journal, "QueryInterface"), 1);
    EXPECT_EQ(CountOf(Journal, "Destroyed"), 0);
  }
  EXPECT_EQ(CountOf(Journal, "Destroyed"), 1);
}

TEST_F(QuillReportTest, AControlThatCannotBeCreatedFailsEachOperationUntilItIsThere) {
  TProductDirectory folder("quill-later");
  TQuillReport driver(folder.Path());
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { Invoke(driver, "AddTemplatePage"); },
           [&] { Property(driver, "Version"); },
           [&] {
             TLockGuard guard(driver.CallLock);
             driver.LoadDataFromQuill3(u"x", 0);
           },
       })
    ExpectError(call, "Class not registered");
  EXPECT_EQ(BusyCursorCount(), 0);
  folder.Install(StandInEngine("QuillHost.ocx"), "QuillHost.ocx");
  EXPECT_EQ(Invoke(driver, "AddTemplatePage"), "0");
}

TEST_F(QuillReportTest, AFileWithoutTheCreationExportOrWithAFailingOneGivesNoControl) {
  TQuillReport withoutExport(QuillFolder("quill-no-export"));
  ExpectError([&] { Invoke(withoutExport, "AddTemplatePage"); }, "Class not registered");
  // The creation export's own failure gives its status.
  Journal.Control("CreateReportHostControl.hresult=0x8007000E\n");
  ExpectError([&] { Invoke(Driver, "AddTemplatePage"); },
              "Not enough storage is available to complete this operation.");
  Journal.Control("");
  EXPECT_EQ(Invoke(Driver, "AddTemplatePage"), "0");
}

TEST_F(QuillReportTest, AControlWithoutTheDefaultInterfaceIsNotSupported) {
  Journal.Control("QueryInterface.hresult=0x80004002\n");
  ExpectError([&] { Invoke(Driver, "Close"); }, "Interface not supported");
  Journal.Control("");
  EXPECT_EQ(Invoke(Driver, "Close"), "-1");
}

}  // namespace
}  // namespace trs::test
