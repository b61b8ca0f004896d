// The real program over sockets: the wire format, staging through requests, errors,
// malformed input and shutting down.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "dataset/ClientDataSet.h"
#include "support/ProgramUnderTest.h"
#include "support/StandInEngines.h"
#include "support/TestOs.h"

namespace trs::test {
namespace {

const std::string CorsHeaders =
    "Access-Control-Allow-Origin: *\r\n"
    "Access-Control-Allow-Methods: GET,POST,OPTIONS\r\n"
    "Access-Control-Allow-Headers: Origin,Content-Type,Accept\r\n";

// Header lines of a raw response, each with its CRLF, in a form that ignores their order.
std::multiset<std::string> HeaderLines(const std::string& response) {
  std::multiset<std::string> lines;
  size_t start = response.find("\r\n") + 2;
  for (size_t end; (end = response.find("\r\n", start)) != std::string::npos && end != start; start = end + 2)
    lines.insert(response.substr(start, end - start + 2));
  return lines;
}

class ProgramTest : public testing::Test {
 protected:
  // The program as the build leaves it: the stand-in engines beside it, so that the
  // library types run their staging commands.
  static void SetUpTestSuite() {
    TProgramOptions options;
    for (const char* engine : {"BarcodeKit.dll", "BillKit.dll", "PosKit.dll", "rptengine.dll"})
      options.Files.emplace_back(StandInEngine(engine), engine);
    Program = new TProgramUnderTest(options);
  }
  static void TearDownTestSuite() {
    delete Program;
    Program = nullptr;
  }
  static int Port() { return Program->Port(); }
  static TProgramUnderTest* Program;
};

TProgramUnderTest* ProgramTest::Program = nullptr;

TEST_F(ProgramTest, AnswersWithTheFixedHeaders) {
  const std::string response = Get(Port(), "Get=IsPrinting");
  ASSERT_EQ(response.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << response;
  std::multiset<std::string> expected = {"Content-Type: text/html\r\n", "Content-Length: 1\r\n",
                                         "Connection: close\r\n"};
  for (size_t start = 0, end; (end = CorsHeaders.find("\r\n", start)) != std::string::npos; start = end + 2)
    expected.insert(CorsHeaders.substr(start, end - start + 2));
  std::multiset<std::string> actual = HeaderLines(response);
  std::erase_if(actual, [](const std::string& line) { return line.rfind("Server:", 0) == 0; });
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(BodyOf(response), "0");
}

TEST_F(ProgramTest, OptionsAndEmptyResultsCarryNoLength) {
  for (const std::string request : {"OPTIONS /?Method=BeginPrint HTTP/1.1\r\n\r\n",
                                    "GET /?Set=Anything:1 HTTP/1.1\r\n\r\n"}) {
    const std::string response = Exchange(Port(), request);
    EXPECT_EQ(response.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << response;
    EXPECT_EQ(response.find("Content-Length"), std::string::npos) << response;
    EXPECT_NE(response.find(CorsHeaders.substr(0, 32)), std::string::npos);
    EXPECT_EQ(BodyOf(response), "");
  }
  EXPECT_EQ(BodyOf(Get(Port(), "Get=IsPrinting")), "0") << "OPTIONS must not have run BeginPrint";
}

TEST_F(ProgramTest, StagesATableThroughRequestsAndSavesItInData) {
  EXPECT_EQ(BodyOf(Get(Port(), "type=Barcode&Method=AddDataTable")), "1");
  EXPECT_EQ(BodyOf(Get(Port(), "type=Barcode&Method=AddDataColumn%3AName%2C")), "1");
  EXPECT_EQ(BodyOf(Get(Port(), "type=Barcode&Method=AddDataColumn:Price,20")), "1");
  EXPECT_EQ(BodyOf(Get(Port(), "type=Barcode&Method=AddDataRow")), "1");
  // A form body with a UTF-8 value (as browsers percent-encode it) and a %u escape.
  const std::string form = "type=Barcode&Method=SetRowStr%3A0%2C%E8%8B%B9%E6%9E%9C+%u6A59";
  const std::string post = "POST / HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                           std::to_string(form.size()) + "\r\n\r\n" + form;
  EXPECT_EQ(BodyOf(Exchange(Port(), post)), "1");
  EXPECT_EQ(BodyOf(Get(Port(), "type=Barcode&Method=SetRowStr:1,9.50")), "1");
  EXPECT_EQ(BodyOf(Get(Port(), "type=Barcode&Method=SaveDataTable:goods.cds")), "1");

  TClientDataSet saved;
  saved.LoadFromFile((Program->Directory() / "data/goods.cds").string());
  ASSERT_EQ(saved.RecordCount(), 1);
  saved.First();
  // Percent bytes are taken as they are, in the program's page (which on a UTF-8 system makes
  // them 苹果); the %u escape becomes the character in that page.
  EXPECT_EQ(saved.FieldAsString(0), "\xE8\x8B\xB9\xE6\x9E\x9C " + ToProgramPage("橙"));
  EXPECT_EQ(saved.FieldAsString(1), "9.50");
}

TEST_F(ProgramTest, ErrorsAnswer500WithTheMessage) {
  const std::string response = Get(Port(), "type=BillPrint&Method=AddDataColumn:Name");
  EXPECT_EQ(response.rfind("HTTP/1.1 500 Internal Server Error\r\n", 0), 0u) << response;
  EXPECT_EQ(BodyOf(response), "List index out of bounds (1)");
  EXPECT_NE(response.find("Access-Control-Allow-Origin: *\r\n"), std::string::npos);

  Get(Port(), "type=BillPrint&Method=AddDataColumn:Name,");
  Get(Port(), "type=BillPrint&Method=AddDataRow");
  const std::string escape = Get(Port(), "type=BillPrint&Method=SaveDataTable:../escape.cds");
  EXPECT_EQ(escape.rfind("HTTP/1.1 500", 0), 0u) << escape;
  EXPECT_FALSE(std::filesystem::exists(Program->Directory() / "escape.cds"));
}

TEST_F(ProgramTest, PrintingStateIsSharedByEveryType) {
  EXPECT_EQ(BodyOf(Get(Port(), "type=PosDriver&Method=BeginPrint")), "1");
  EXPECT_EQ(BodyOf(Get(Port(), "type=ReportV11&Get=IsPrinting")), "1");
  EXPECT_EQ(BodyOf(Get(Port(), "type=Express&Method=EndPrint&Get=IsPrinting")), "0");
}

TEST_F(ProgramTest, MalformedRequestsAreDroppedAndServiceGoesOn) {
  const std::string longLine = "GET /?" + std::string(16400, 'a') + " HTTP/1.1\r\n\r\n";
  const std::string dropped[] = {
      "GARBAGE\r\n\r\n",                      // no blank in the request line
      "DELETE /?Method=BeginPrint HTTP/1.1\r\n\r\n",  // a method that is not served
      longLine,
      std::string("\0\xff\r\n\r\n", 6),
  };
  for (const std::string& request : dropped) EXPECT_EQ(Exchange(Port(), request), "") << request.substr(0, 40);
  EXPECT_EQ(BodyOf(Get(Port(), "Get=IsPrinting")), "0");
}

TEST_F(ProgramTest, PostWithoutLengthReadsToTheClientsClose) {
  const std::string response = Exchange(Port(), "POST /?Method=LoadDataFromJson HTTP/1.1\r\n\r\n{\"a\":1}", true);
  EXPECT_EQ(BodyOf(response), "7");  // the stand-in express library counts the characters it got
}

TEST_F(ProgramTest, OversizedBodyIsRefusedWith413) {
  const std::string response =
      Exchange(Port(), "POST /?Get=IsPrinting HTTP/1.1\r\nContent-Length: 300000000\r\n\r\nabc");
  EXPECT_EQ(response.rfind("HTTP/1.1 413", 0), 0u) << response;
  EXPECT_NE(response.find("Access-Control-Allow-Origin: *\r\n"), std::string::npos);
  EXPECT_NE(BodyOf(response).find("268435456"), std::string::npos);
}

TEST(ProgramLifetime, StopsOnSigtermEvenWithAnIdleClient) {
  TProgramUnderTest program;
  // A client that connects and says nothing must not hold up the exit.
  std::thread idle([port = program.Port()] { Exchange(port, ""); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(program.Terminate(10), 0);
  idle.join();
}

}  // namespace
}  // namespace trs::test
