// The report V10 driver against an engine written from the engine binary interface note
// alone: slots, short strings, interface results, the packet variant, the wide text of
// LoadData, the version record and an exception as the engine's error.
#include <fstream>
#include <sstream>

#include "TallyReportFixture.h"
#include "support/TestOs.h"

namespace trs::test {
namespace {

class NoteOnlyQPrintTest : public TallyReportTest {
 protected:
  void SetUp() override {
    TallyReportTest::SetUp();
    Product.Install(NOTE_ONLY_QPRINT, "QPrint.Dll");
    LogPath = Product.Path() + "engine.log";
    test::SetVariable("NOTE_ENGINE_LOG", LogPath);
  }
  void TearDown() override {
    test::UnsetVariable("NOTE_ENGINE_LOG");
    TallyReportTest::TearDown();
  }
  std::string EngineLog() const {
    std::ifstream file(LogPath);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  size_t Count(const std::string& line) const {
    const std::string log = EngineLog();
    size_t count = 0;
    for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++count;
    return count;
  }

  std::string LogPath;
};

TEST_F(NoteOnlyQPrintTest, BuildsAReportAndRunsADialogAction) {
  EXPECT_EQ(Property(Driver, "version"), "7.1.0.3");
  EXPECT_EQ(Invoke(Driver, "createreport", "Sales,1"), "0");
  EXPECT_EQ(Invoke(Driver, "addline", "1"), "0");
  EXPECT_EQ(Invoke(Driver, "setlineheight", "20"), "0");
  EXPECT_EQ(Invoke(Driver, "addcell", "Qty,1,2,3,4,5,6,7,8,9,10,11,12,13,14"), "0");
  EXPECT_EQ(Invoke(Driver, "setcellfont", "Arial,9,1,0,0,1"), "0");
  EXPECT_EQ(Invoke(Driver, "endline"), "1");
  EXPECT_EQ(Invoke(Driver, "setreportmargin", "1,-1,3,-1"), "0");
  EXPECT_EQ(Invoke(Driver, "mergecell", "0,0,0,1"), "0");
  EXPECT_EQ(Invoke(Driver, "mergecell", "1,1,0,0"), "-1");
  EXPECT_EQ(Invoke(Driver, "endreport"), "0");
  {
    TLockGuard guard(Driver.CallLock);
    EXPECT_EQ(Driver.LoadDataFromQuill3(u"rows", 0), 0);
    Driver.SetProperty("allowprint", "true");
  }
  EXPECT_EQ(Property(Driver, "printtimes"), "3");
  EXPECT_EQ(Property(Driver, "styleindex"), "42");
  EXPECT_EQ(Property(Driver, "stylenames"), "Note A\r\nNote B");
  EXPECT_EQ(Property(Driver, "exporttimes"), "-1");
  EXPECT_EQ(Invoke(Driver, "createreport", "missing,0"), "5");
  EXPECT_EQ(Boxes(), (std::vector<std::string>{"MessageBox(no export counter|系统提示|16)",
                                               "MessageBox(template missing.rwx not found|系统提示|16)"}));
  EXPECT_EQ(Invoke(Driver, "endreport"), "0");
  RunDialog("preview");
  EXPECT_EQ(Property(Driver, "endshowdialog"), "1");

  const std::string expected =
      "LoadFromFile Sales.rwx\nSetCreateOption 1\nnew line\nSetHeight 20\nnew cell\nSetText Qty\nCell9 1\n"
      "Cell7 2\nCell11 5\nCell13 6\nCell15 7\nCell17 8\nCell19 3\nCell21 4\nCell23 9\nCell25 10\nCell5 11\n"
      "Cell27 12\nCell29 13\nCell31 14\nInsertCell\nSetFont Arial 9 1 0 0 1\nEndLine cells=1\nMargin11 1\n"
      "Margin9 3\nMergeCell 0 0 0 1\nMergeCell 1 1 0 0\nCloseTemplate lines=1\n";
  std::string log = EngineLog();
  std::string building;
  for (size_t start = 0; start < log.size();) {
    const size_t end = log.find('\n', start);
    const std::string line = log.substr(start, end - start + 1);
    if (line.rfind("new report", 0) != 0 && line.rfind("new template", 0) != 0 && line.rfind("free", 0) != 0)
      building += line;
    if (line == "CloseTemplate lines=1\n") break;
    start = end + 1;
  }
  EXPECT_EQ(building, expected);
  EXPECT_NE(log.find("LoadData vt=8 rows 0 1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("SetAllowPrint 1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("PrepareAction 1\nBeginAction\nGetMainData vt=0\nSetTemplateName Note.rwx\nOpenTemplate\nPreview\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("placeholder"), std::string::npos) << log;
  for (const char* kind : {"report", "template", "line", "cell"})
    EXPECT_EQ(Count(std::string("new ") + kind + "\n"), Count(std::string("free ") + kind + "\n")) << kind;
}

}  // namespace
}  // namespace trs::test
