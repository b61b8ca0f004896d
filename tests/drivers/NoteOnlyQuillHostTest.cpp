// The report V11 driver against a control written from the engine binary interface note
// alone: methods at their places with their argument types, properties through Invoke,
// an EXCEPINFO description, BSTRs both ways, and the control released at the end.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "DriverCalls.h"
#include "drivers/fuQuillReport.h"
#include "support/RecordingDesktop.h"
#include "support/TestOs.h"
#include "support/StandInEngines.h"

namespace trs::test {
namespace {

TEST(NoteOnlyQuillHostTest, TheDriverWorksWithAControlBuiltFromTheNote) {
  TRecordingDesktop desktop;
  TProductDirectory folder("note-only-quill");
  folder.Install(NOTE_ONLY_QUILLHOST, "QuillHost.ocx");
  const std::string logPath = folder.Path() + "engine.log";
  test::SetVariable("NOTE_ENGINE_LOG", logPath);
  {
    TQuillReport driver(folder.Path());
    EXPECT_EQ(Invoke(driver, "CreateTemplate", "Month,1"), "-1");
    EXPECT_EQ(Invoke(driver, "AddTemplatePage"), "0");
    EXPECT_EQ(Invoke(driver, "AddTemplatePage"), "1");
    EXPECT_EQ(Invoke(driver, "AddTemplateTableCell", "0,0,0,Qty,60,2.5"), "42");
    EXPECT_EQ(Invoke(driver, "SetTemplateTableRowHeight", "0,0,0,7.25"), "-1");
    EXPECT_EQ(Invoke(driver, "SetTemplateTableCellFont", "0,0,0,0,Sans,9,1,0,1"), "-1");
    EXPECT_EQ(Invoke(driver, "ExpandTemplateTableRow", "1,2,T,a,b,0,1,0"), "-1");
    EXPECT_EQ(Invoke(driver, "AddTemplateChart", "1,2,3,4,a,b,c,1,0,0.5,1.5"), "3");
    EXPECT_EQ(Invoke(driver, "AppendReportStyles", "x,y"), "2");
    {
      TLockGuard guard(driver.CallLock);
      EXPECT_EQ(driver.LoadDataFromQuill3(u"rows", 0), 7);
      driver.SetProperty("templatename", "Month");
      driver.SetProperty("quickprint", "1");
    }
    EXPECT_EQ(Invoke(driver, "SaveTemplate"), "-1");
    EXPECT_EQ(Property(driver, "StyleNames"), "Note A\r\nNote B");
    ExpectError(
        [&] {
          TLockGuard guard(driver.CallLock);
          driver.SetProperty("printtimeslimit", "3");
        },
        "limit refused by the note's control");
    Invoke(driver, "Print");
    ASSERT_TRUE(WaitForDialogWorkers(std::chrono::seconds(10)));
    Invoke(driver, "ExportData", "9");
    ASSERT_TRUE(WaitForDialogWorkers(std::chrono::seconds(10)));
    desktop.RunPostedWork();
    EXPECT_EQ(Property(driver, "PrintTimes"), "1");
  }
  test::UnsetVariable("NOTE_ENGINE_LOG");
  std::ifstream file(logPath);
  std::stringstream log;
  log << file.rdbuf();
  EXPECT_EQ(log.str(),
            "created\n"
            "CreateTemplate Month 1\n"
            "AddTemplatePage\n"
            "AddTemplatePage\n"
            "AddTemplateTableCell 0 0 0 Qty 60 2.50\n"
            "SetTemplateTableRowHeight 7.25\n"
            "SetTemplateTableCellFont Sans 9 -1 0 -1\n"
            "ExpandTemplateTableRow 1 2 T [a,b] 0 -1 0\n"
            "AddTemplateChart 0.50 1.50\n"
            "AppendReportStyles x\n"
            "LoadDataFromQuill3 rows 0\n"
            "put TemplateName Month lcid=0400\n"
            "put QuickPrint -1\n"
            "SaveTemplate\n"
            "Print\n"
            "ExportData 0\n"
            "released\n");
}

}  // namespace
}  // namespace trs::test
