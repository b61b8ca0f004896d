// The report V11 driver in the real program over HTTP, with the stand-in control beside it:
// a template built from loaded data and printed, a dialog polled until it ends, and a
// program that starts without a usable control and answers V11 requests with the error.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/ProgramUnderTest.h"
#include "support/StandInEngines.h"

namespace trs::test {
namespace {

struct TAnswer {
  int Status = 0;
  std::string Body;
};

TAnswer Parse(const std::string& response) {
  TAnswer answer;
  if (response.rfind("HTTP/1.1 ", 0) == 0) answer.Status = std::atoi(response.c_str() + 9);
  answer.Body = BodyOf(response);
  return answer;
}

TAnswer Ask(const TProgramUnderTest& program, const std::string& query) { return Parse(Get(program.Port(), query)); }

TAnswer Post(const TProgramUnderTest& program, const std::string& query, const std::string& body) {
  return Parse(Exchange(program.Port(), "POST /?" + query + " HTTP/1.1\r\nContent-Length: " +
                                            std::to_string(body.size()) + "\r\n\r\n" + body));
}

TProgramOptions WithControl(const std::string& variant, const TEngineJournal& journal) {
  TProgramOptions options;
  if (variant != "none") options.Files = {{StandInEngine("QuillHost.ocx", variant), "QuillHost.ocx"}};
  options.Environment = journal.Environment();
  return options;
}

std::vector<std::string> Calls(const TEngineJournal& journal) {
  std::vector<std::string> calls;
  for (const TEngineCall& call : journal.Calls("QuillHost"))
    if (call.Call != "QueryInterface" && call.Call != "CreateReportHostControl" && call.Call != "Destroyed")
      calls.push_back(call.Call + call.Args);
  return calls;
}

TEST(QuillReportHttpTest, BuildsATemplateFromLoadedDataAndPrintsIt) {
  TEngineJournal journal(false);
  TProgramUnderTest program(WithControl("", journal));
  // The start-up probe found a working control.
  EXPECT_EQ(program.ErrorOutput().find("QuillHost.ocx"), std::string::npos) << program.ErrorOutput();
  journal.Clear();

  // Any type but V10 hands its data to the V11 driver.
  const TAnswer loaded = Post(program, "type=Barcode&Method=LoadDataFromQuill3", "单号,金额\nA1,10\n");
  EXPECT_EQ(loaded.Status, 200) << loaded.Body;
  EXPECT_EQ(loaded.Body, "2");
  const std::pair<const char*, const char*> steps[] = {
      {"CreateTemplate:Sales,0", "-1"},
      {"AddTemplatePage", "0"},
      {"AddTemplateTable:0", "0"},
      {"AddTemplateTableRow:0,0", "0"},
      {"AddTemplateTableCell:0,0,0,%u5355%u53F7,80,0", "0"},  // 单号
      {"AddTemplateTableCell:0,0,0,Amount,60,0", "1"},
      {"SaveTemplate", "-1"},
  };
  for (const auto& [method, answer] : steps) {
    const TAnswer reply = Ask(program, std::string("type=ReportV11&Method=") + method);
    EXPECT_EQ(reply.Status, 200) << method << ": " << reply.Body;
    EXPECT_EQ(reply.Body, answer) << method;
  }
  EXPECT_EQ(Ask(program, "type=ReportV11&Set=QuickPrint:1").Status, 200);
  const TAnswer print = Ask(program, "type=ReportV11&Method=Print");
  EXPECT_EQ(print.Status, 200);
  EXPECT_NE(print.Body, "0");
  std::string ended;
  for (int i = 0; i < 500 && ended != "1"; ++i) {
    ended = Ask(program, "type=ReportV11&Get=EndShowDialog").Body;
    if (ended != "1") std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(ended, "1");
  EXPECT_EQ(Ask(program, "type=ReportV11&Get=PrintTimes").Body, "1");
  EXPECT_EQ(Calls(journal), (std::vector<std::string>{
                                R"(LoadDataFromQuill3["单号,金额\nA1,10\n",0])",
                                R"(CreateTemplate["Sales",0])",
                                "AddTemplatePage[]",
                                "AddTemplateTable[0]",
                                "AddTemplateTableRow[0,0]",
                                R"(AddTemplateTableCell[0,0,0,"单号",80,0])",
                                R"(AddTemplateTableCell[0,0,0,"Amount",60,0])",
                                R"(SaveTemplate[{"name":"Sales","pages":[[[2]]],"charts":0,"data_bytes":20}])",
                                "put_QuickPrint[-1]",
                                "Print[]",
                                "get_PrintTimes[]",
                            }));
  EXPECT_EQ(program.Terminate(), 0) << program.ErrorOutput();
}

TEST(QuillReportHttpTest, StartsWithoutAUsableControlAndAnswersV11RequestsWithTheError) {
  const struct {
    const char* Variant;
    const char* Log;      // what start-up wrote
    int Status;           // of a template command afterwards
    const char* Answer;
  } cases[] = {
      {"none", "QuillHost.ocx is not installed", 500, "Class not registered"},
      {"quill-no-export", "QuillHost.ocx cannot be used; ReportV11 requests will fail: Class not registered", 500,
       "Class not registered"},
      {"quill-probe-fails", "QuillHost.ocx cannot be used; ReportV11 requests will fail: Unspecified error", 200,
       "0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Variant);
    TEngineJournal journal(false);
    TProgramUnderTest program(WithControl(c.Variant, journal));
    EXPECT_NE(program.ErrorOutput().find(c.Log), std::string::npos) << program.ErrorOutput();
    const TAnswer answer = Ask(program, "type=ReportV11&Method=AddTemplatePage");
    EXPECT_EQ(answer.Status, c.Status);
    EXPECT_EQ(answer.Body, c.Answer);
    // Other drivers and the base's commands are not held up by the control.
    EXPECT_EQ(Ask(program, "type=ReportV11&Method=BeginPrint&Get=IsPrinting").Body, "1");
    EXPECT_EQ(program.Terminate(), 0) << program.ErrorOutput();
  }
}

}  // namespace
}  // namespace trs::test
