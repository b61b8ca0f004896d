// The express driver in the real program over HTTP, with the stand-in rptengine.dll copied
// beside it: a page choosing a printer and printing a template with JSON data while it
// polls, a large UTF-8 body, and the program without the library.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "platform/Text.h"
#include "support/ProgramUnderTest.h"
#include "support/StandInEngines.h"

namespace trs::test {
namespace {

using TAnswer = THttpAnswer;

// A copy of the program, with the stand-in library beside it unless `withLibrary` is false,
// and the stand-ins' journal.
class TExpressProgram {
 public:
  explicit TExpressProgram(bool withLibrary = true) : Journal(false), Program(Options(withLibrary, Journal)) {}
  // In the sanitizer builds a leak or a memory error found at exit makes the status non-zero.
  ~TExpressProgram() { EXPECT_EQ(Program.Terminate(), 0) << Program.ErrorOutput(); }

  TAnswer Call(const std::string& type, const std::string& method, const std::string& get = "") {
    std::string query = "type=" + type;
    if (!method.empty()) query += "&Method=" + EncodeQueryValue(method);
    if (!get.empty()) query += "&Get=" + get;
    return AnswerOf(trs::test::Get(Program.Port(), query));
  }
  std::string Ok(const std::string& type, const std::string& method, const std::string& get = "") {
    const TAnswer answer = Call(type, method, get);
    EXPECT_EQ(answer.Status, 200) << method << ": " << answer.Body;
    return answer.Body;
  }
  // A POST of `body` (UTF-8) to "LoadDataFromJson", as a page sends its data.
  TAnswer LoadDataFromJson(const std::string& type, const std::string& body) {
    return AnswerOf(Exchange(Program.Port(), "POST /?type=" + type + "&Method=LoadDataFromJson HTTP/1.1\r\n"
                                             "Host: 127.0.0.1\r\nContent-Type: text/plain;charset=UTF-8\r\n"
                                             "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body));
  }

  TEngineJournal Journal;
  TProgramUnderTest Program;

 private:
  static TProgramOptions Options(bool withLibrary, const TEngineJournal& journal) {
    TProgramOptions options;
    if (withLibrary) options.Files = {{StandInEngine("rptengine.dll"), "rptengine.dll"}};
    options.Environment = journal.Environment();
    return options;
  }
};

// The stand-in's fingerprint of a text: FNV-1a over its UTF-16 units, low byte first.
long long Fingerprint(const std::u16string& text) {
  uint32_t hash = 2166136261u;
  for (const char16_t unit : text) {
    hash = (hash ^ (unit & 0xFFu)) * 16777619u;
    hash = (hash ^ (static_cast<uint32_t>(unit) >> 8)) * 16777619u;
  }
  return hash;
}

TEST(ExpressTest, APageChoosesAPrinterAndPrintsATemplateWithJsonDataWhilePolling) {
  TExpressProgram program;
  EXPECT_EQ(program.Ok("Express", "GetPrinterNames"), "Printer A\r\n打印机 B");
  EXPECT_EQ(program.Ok("Express", "SetPrinter:打印机 B"), "-1");
  EXPECT_EQ(program.Ok("Express", "GetCurPrinter:Sale"), "打印机 B");
  EXPECT_EQ(program.Ok("Express", "CreateNewTemplate:Sale,{}"), "1");
  EXPECT_EQ(program.Ok("Express", "Set_DataFields:名称,数量"), "1");
  const TAnswer loaded = program.LoadDataFromJson("Express", "[{\"名称\":\"绿茶\",\"数量\":2}]");
  EXPECT_EQ(loaded.Status, 200);
  EXPECT_EQ(loaded.Body, "20");

  program.Journal.Control("Print.delay_ms=1500\n");
  EXPECT_EQ(program.Ok("Express", "Print:Sale"), "0");  // answered while the window is up
  EXPECT_EQ(program.Ok("Express", "", "IsPrinting"), "1");
  int polls = 0;
  while (program.Ok("Express", "", "IsPrinting") == "1" && polls < 500) {
    ++polls;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_LT(polls, 500);
  EXPECT_EQ(program.Ok("Express", "", "version"), "5.3.1.20");

  std::vector<TEngineCall> prints;
  for (TEngineCall& call : program.Journal.Calls("rptengine"))
    if (call.Call == "Print") prints.push_back(std::move(call));
  ASSERT_EQ(prints.size(), 1u);
  EXPECT_EQ(prints[0].Args, "[\"Sale\",{\"printer\":\"打印机 B\",\"data_fields\":\"名称\",\"json_length\":20}]");
}

TEST(ExpressTest, EveryLoadDataFromJsonRequestReachesTheExpressDriverWithItsBodyWhole) {
  TExpressProgram program;
  std::string body = "[";
  for (int row = 0; body.size() < 3'000'000; ++row)
    body += "{\"名称\":\"商品" + std::to_string(row) + "\",\"备注\":\"𠀀\"},";  // a four-byte character too
  body.back() = ']';
  const std::u16string decoded = DecodeUtf8Body(body);
  ASSERT_FALSE(decoded.empty());
  for (const char* type : {"Express", "ReportV10", "Barcode"}) {
    SCOPED_TRACE(type);
    program.Journal.Clear();
    const TAnswer answer = program.LoadDataFromJson(type, body);
    EXPECT_EQ(answer.Status, 200) << answer.Body;
    EXPECT_EQ(answer.Body, std::to_string(decoded.size()));
    const std::vector<TEngineCall> calls = program.Journal.Calls("rptengine");
    ASSERT_FALSE(calls.empty());
    const std::string described = "[{\"length\":" + std::to_string(decoded.size()) +
                                  ",\"fnv1a\":" + std::to_string(Fingerprint(decoded)) + ",";
    bool found = false;
    for (const TEngineCall& call : calls) found = found || (call.Call == "LoadDataFromJson" && call.Args.rfind(described, 0) == 0);
    EXPECT_TRUE(found) << described;
  }
}

TEST(ExpressTest, WithoutTheLibraryExpressRequestsFailWithTheLoadMessage) {
  TExpressProgram program(false);
  const std::string loadError = "无法加载 rptengine.dll，";
  for (const char* method : {"BeginPrint", "GetPrinterNames", "Print:Sale"}) {
    const TAnswer answer = program.Call("Express", method);
    EXPECT_EQ(answer.Status, 500) << method;
    EXPECT_EQ(answer.Body.rfind(loadError, 0), 0u) << method << ": " << answer.Body;
  }
  const TAnswer loaded = program.LoadDataFromJson("Express", "{}");
  EXPECT_EQ(loaded.Status, 500);
  EXPECT_EQ(loaded.Body.rfind(loadError, 0), 0u) << loaded.Body;
  // Unlike the other library drivers, which answer the empty text.
  EXPECT_EQ(program.Ok("Barcode", "BeginPrint"), "");
  EXPECT_EQ(program.Ok("Express", "", "version"), "");
  EXPECT_EQ(program.Ok("Express", "", "IsPrinting"), "0");
}

}  // namespace
}  // namespace trs::test
