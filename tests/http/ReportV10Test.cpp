// The report V10 driver in the real program over HTTP, with the stand-in QPrint.Dll beside
// it: a whole report build, a print polled until its dialog closes, and the error answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "support/ProgramUnderTest.h"
#include "support/StandInEngines.h"

namespace trs::test {
namespace {

// The program with the stand-in engine beside it (or none) and the engine's journal.
class TReportV10Program {
 public:
  explicit TReportV10Program(bool withEngine = true) : Journal(false), Program(Options(withEngine, Journal)) {}
  // In the sanitizer builds a leak found at exit makes the status non-zero.
  ~TReportV10Program() { EXPECT_EQ(Program.Terminate(), 0) << Program.ErrorOutput(); }

  // One request without a type (the V10 driver's default): "Method=...", "Get=...".
  std::pair<int, std::string> Call(const std::string& query) const {
    const std::string response = Get(Program.Port(), query);
    const int status = response.rfind("HTTP/1.1 ", 0) == 0 ? std::atoi(response.c_str() + 9) : 0;
    return {status, BodyOf(response)};
  }
  std::string Method(const std::string& method) const { return Ok("Method=" + UrlEncode(method)); }
  std::string Query(const std::string& name) const { return Ok("type=ReportV10&Get=" + name); }
  std::string Ok(const std::string& query) const {
    const auto [status, body] = Call(query);
    EXPECT_EQ(status, 200) << query << ": " << body;
    return body;
  }
  std::string Post(const std::string& query, const std::string& body) const {
    return BodyOf(Exchange(Program.Port(), "POST /?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: "
                                           "text/plain\r\nContent-Length: " + std::to_string(body.size()) +
                                           "\r\n\r\n" + body));
  }
  std::vector<std::string> Calls(const std::string& name = "") const {
    std::vector<std::string> calls;
    for (const TEngineCall& call : Journal.Calls("QPrint"))
      if (name.empty() || call.Call == name) calls.push_back(call.Call + " " + call.Args);
    return calls;
  }

  TEngineJournal Journal;
  TProgramUnderTest Program;

 private:
  static TProgramOptions Options(bool withEngine, const TEngineJournal& journal) {
    TProgramOptions options;
    if (withEngine) options.Files = {{StandInEngine("QPrint.Dll"), "QPrint.Dll"}};
    options.Environment = journal.Environment();
    return options;
  }
};

TEST(ReportV10Test, BuildsAWholeReport) {
  TReportV10Program program;
  EXPECT_EQ(program.Method("CreateReport:Sales,1"), "0");
  EXPECT_EQ(program.Method("AddLine:1"), "0");
  EXPECT_EQ(program.Method("SetLineHeight:20"), "0");
  EXPECT_EQ(program.Method("AddCell:品名,0,0,100,20,1,2,3,4,5,6,7,8,9,10"), "0");
  EXPECT_EQ(program.Method("SetCellFont:宋体,9,1,0,0,0"), "0");
  EXPECT_EQ(program.Method("AddCell:数量,100,0,100,20,1,2,3,4,5,6,7,8,9,10"), "0");
  EXPECT_EQ(program.Method("EndLine"), "1");
  EXPECT_EQ(program.Method("MergeCell:0,0,0,1"), "0");
  EXPECT_EQ(program.Method("SetReportMargin:10,-1,10,-1"), "0");
  EXPECT_EQ(program.Method("EndReport"), "0");
  EXPECT_EQ(program.Query("Version"), "5.2.0.1");

  const std::vector<std::string> closed = program.Calls("CloseTemplate");
  ASSERT_EQ(closed.size(), 1u);
  for (const char* part : {"\"file\":\"Sales.rwx\"", "\"option\":1", "\"margins\":{\"9\":10,\"11\":10}",
                           "\"height\":20", "\"text\":\"品名\"", "\"text\":\"数量\"", "\"font\":[\"宋体\",9,1,0,0,0]",
                           "\"merges\":[[0,0,0,1]]"})
    EXPECT_NE(closed[0].find(part), std::string::npos) << part << " in " << closed[0];
}

TEST(ReportV10Test, PrintsAndIsPolledUntilTheDialogCloses) {
  TReportV10Program program;
  program.Journal.Control("GetMainData.style_number=-1\nGetMainData.style_name=销售单\nPrint.delay_ms=300\n");
  EXPECT_EQ(program.Post("Method=LoadDataFromQuill3", "{\"单据\":\"NO.1\"}"), "0");
  EXPECT_EQ(program.Ok("Set=AllowPrint:1"), "");
  EXPECT_EQ(program.Method("Print"), "0");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::string ended;
  while ((ended = program.Query("EndShowDialog")) != "1" && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(ended, "1");
  EXPECT_EQ(program.Query("IsPrinting"), "0");

  std::vector<std::string> names;
  for (const TEngineCall& call : program.Journal.Calls("QPrint")) names.push_back(call.Call);
  const std::vector<std::string> action = {"PrepareAction", "BeginAction", "GetMainData", "SetTemplateName",
                                           "OpenTemplate", "Print", "GetLastResult"};
  EXPECT_NE(std::search(names.begin(), names.end(), action.begin(), action.end()), names.end());
  EXPECT_EQ(program.Calls("LoadData"), std::vector<std::string>{"LoadData [8,\"{\\\"单据\\\":\\\"NO.1\\\"}\",0,1]"});
  EXPECT_EQ(program.Calls("SetAllowPrint"), std::vector<std::string>{"SetAllowPrint [1]"});
  EXPECT_EQ(program.Calls("SetTemplateName"), std::vector<std::string>{"SetTemplateName [\"销售单.rwx\"]"});
}

TEST(ReportV10Test, AnswersErrors) {
  TReportV10Program program;
  EXPECT_EQ(program.Method("CreateReport:Sales,0"), "0");
  EXPECT_EQ(program.Method("AddLine:1"), "0");
  const std::pair<std::string, std::string> errors[] = {
      {"Method=AddCell:" + UrlEncode("品名,1"), "List index out of bounds (2)"},
      {"Method=AddLine:x", "'x' is not a valid integer value"},
      {"Set=AllowPrint:maybe", "'maybe' is not a valid boolean value"},
  };
  for (const auto& [query, message] : errors) {
    const auto [status, body] = program.Call(query);
    EXPECT_EQ(status, 500) << query;
    EXPECT_EQ(body, message) << query;
  }
  program.Journal.Control("SetHeight.error=height refused\n");
  EXPECT_EQ(program.Call("Method=SetLineHeight:5"), std::make_pair(500, std::string("height refused")));
  program.Journal.Control("LoadFromFile.error=no such template\n");
  EXPECT_EQ(program.Method("CreateReport:Missing,0"), "5");  // reported on the desktop
  EXPECT_EQ(program.Method("NoSuchMethod"), "-1");
  EXPECT_EQ(program.Query("NoSuchProperty"), "-1");
}

TEST(ReportV10Test, WithoutTheEngine) {
  TReportV10Program program(false);
  EXPECT_EQ(program.Method("CreateReport:Sales,0"), "5");
  EXPECT_EQ(program.Method("BeginBatchPrint"), "-1");
  EXPECT_EQ(program.Post("Method=LoadDataFromQuill3", "data"), "-1");
  EXPECT_EQ(program.Query("Version"), "");
  EXPECT_EQ(program.Method("AddDataTable"), "1");  // the base's staging works all the same
}

}  // namespace
}  // namespace trs::test
