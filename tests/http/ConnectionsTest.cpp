// The real program against clients that are slow, silent or greedy, and the file-safety
// rules seen from outside: what one client does must not lock the others out.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Socket.h"
#include "support/ProgramUnderTest.h"
#include "support/StandInEngines.h"
#include "support/TestOs.h"

namespace trs::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Everything the server sends until it closes, or until nothing came for `quietMs`.
std::string ReadAll(TSocket& socket, int quietMs = 10000) {
  socket.SetReceiveTimeout(quietMs);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const TSocketReceive received = socket.Receive(buffer, sizeof buffer);
    if (received.Kind != TSocketReceive::Data) return bytes;
    bytes.append(buffer, received.Count);
  }
}

TSocket Connect(int port) {
  TSocket socket = ConnectTcp("127.0.0.1", port);
  EXPECT_TRUE(socket.Valid());
  return socket;
}

TProgramOptions WithLibraryEngines() {
  TProgramOptions options;
  for (const char* engine : {"BarcodeKit.dll", "BillKit.dll", "PosKit.dll"})
    options.Files.emplace_back(StandInEngine(engine), engine);
  return options;
}

TEST(ProgramConnections, AThousandSlowClientsLeaveEveryFreshRequestAnswered) {
  constexpr size_t Slow = 1000;
  // The test holds the slow connections itself; the program raises its own limit.
  const size_t handles = RaiseHandleLimit(Slow + 256);
  if (handles < Slow + 256) GTEST_SKIP() << "this process may hold only " << handles << " handles";
  TProgramUnderTest program;
  std::vector<TSocket> held;
  std::vector<Clock::time_point> connected;
  for (size_t i = 0; i < Slow; ++i) {
    held.push_back(Connect(program.Port()));
    connected.push_back(Clock::now());
    // Half say nothing at all; half have begun a request and stall in its head.
    if (i % 2 == 1) {
      ASSERT_TRUE(held.back().SendAll("GET /?Get=IsPrinting HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: "));
    }
  }
  int answered = 0;
  for (int i = 0; i < 200; ++i) answered += BodyOf(Get(program.Port(), "Get=IsPrinting")) == "0";
  EXPECT_EQ(answered, 200);
  // The slow ones were held, not pushed out: each can still finish its request, unless its
  // head deadline (10 s from connecting) ran out meanwhile, as it may on a slow emulator; then
  // it has its 408 instead.
  for (size_t i = 1; i < Slow; i += 100) {
    if (Clock::now() - connected[i] < 9s) {
      ASSERT_TRUE(held[i].SendAll("1\r\n\r\n"));
      EXPECT_EQ(BodyOf(ReadAll(held[i])), "0") << i;
    } else {
      EXPECT_EQ(ReadAll(held[i]).rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u) << i;
    }
  }
}

TEST(ProgramConnections, ASlowClientIsAnswered408AtItsDeadline) {
  // The head has 10 s to arrive, however steadily its bytes trickle in.
  TProgramUnderTest program;
  TSocket slow = Connect(program.Port());
  const auto start = Clock::now();
  ASSERT_TRUE(slow.SendAll("GET /?Get=IsPrinting HTTP/1.1\r\nX-Slow: "));
  slow.SetReceiveTimeout(500);
  std::string answer;
  char buffer[4096];
  while (answer.empty() && Clock::now() - start < 20s) {
    if (!slow.SendAll("x")) break;
    const TSocketReceive received = slow.Receive(buffer, sizeof buffer);
    if (received.Kind == TSocketReceive::Data) answer.assign(buffer, received.Count);
    if (received.Kind == TSocketReceive::Closed || received.Kind == TSocketReceive::Failed) break;
  }
  const auto elapsed = Clock::now() - start;
  answer += ReadAll(slow, 2000);
  EXPECT_EQ(answer.rfind("HTTP/1.1 408 Request Timeout\r\n", 0), 0u) << answer;
  EXPECT_EQ(BodyOf(answer), "Request not received in time");
  EXPECT_GT(elapsed, 9s);
  EXPECT_LT(elapsed, 15s);
}

TEST(ProgramConnections, BodiesBeyondTheRequestMemoryAreRefusedWith503) {
  // Three announced bodies of 200 MB: two fit into the 512 MiB, whichever the server reads
  // last does not.
  TProgramUnderTest program;
  const std::string head = "POST /?Method=LoadDataFromJson HTTP/1.1\r\nContent-Length: 200000000\r\n\r\n{";
  std::vector<TSocket> greedy;
  for (int i = 0; i < 3; ++i) {
    greedy.push_back(Connect(program.Port()));
    ASSERT_TRUE(greedy.back().SendAll(head));
  }
  std::vector<std::string> answers;
  for (TSocket& client : greedy) answers.push_back(ReadAll(client, 1500));
  const std::string message =
      "Server busy: the requests in progress already hold the 536870912 bytes allowed for request data; "
      "send this request again later";
  int refused = 0;
  for (const std::string& answer : answers) {
    if (answer.empty()) continue;  // still awaited
    ++refused;
    EXPECT_EQ(answer.rfind("HTTP/1.1 503 Service Unavailable\r\n", 0), 0u) << answer;
    EXPECT_EQ(BodyOf(answer), message);
  }
  EXPECT_EQ(refused, 1);
  // Nothing else is disturbed: small requests go on beside the two bodies still awaited.
  EXPECT_EQ(BodyOf(Get(program.Port(), "Get=IsPrinting")), "0");
}

TEST(ProgramConnections, TheRequestMemoryIsSetByTheEnvironment) {
  TProgramOptions options;
  options.Environment = {{"TALLYREPORTSRV_REQUEST_MEMORY_MB", "1"}};
  {
    TProgramUnderTest program(options);
    TSocket client = Connect(program.Port());
    ASSERT_TRUE(client.SendAll("POST /?Method=LoadDataFromJson HTTP/1.1\r\nContent-Length: 2000000\r\n\r\n{"));
    const std::string answer = ReadAll(client, 1500);
    EXPECT_EQ(answer.rfind("HTTP/1.1 503 Service Unavailable\r\n", 0), 0u) << answer;
    EXPECT_NE(BodyOf(answer).find(" 1048576 bytes "), std::string::npos) << answer;
  }  // ended first: on Windows one copy runs per session

  // A value that is not a size is logged and the server keeps its own limit.
  options.Environment = {{"TALLYREPORTSRV_REQUEST_MEMORY_MB", "lots"}};
  TProgramUnderTest lenient(options);
  TSocket other = Connect(lenient.Port());
  ASSERT_TRUE(other.SendAll("POST /?Method=LoadDataFromJson HTTP/1.1\r\nContent-Length: 2000000\r\n\r\n{"));
  EXPECT_EQ(ReadAll(other, 500), "");  // still awaited
  EXPECT_EQ(BodyOf(Get(lenient.Port(), "Get=IsPrinting")), "0");
}

TEST(ProgramConnections, PrivateNetworkPreflightsAreAllowed) {
  TProgramUnderTest program;
  const std::string answer = Exchange(program.Port(),
                                      "OPTIONS /?Method=BeginPrint HTTP/1.1\r\nOrigin: https://shop.example\r\n"
                                      "Access-Control-Request-Method: GET\r\n"
                                      "Access-Control-Request-Private-Network: true\r\n\r\n");
  EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
  EXPECT_NE(answer.find("\r\nAccess-Control-Allow-Private-Network: true\r\n"), std::string::npos) << answer;
  EXPECT_NE(answer.find("\r\nAccess-Control-Allow-Origin: *\r\n"), std::string::npos) << answer;
  EXPECT_EQ(BodyOf(answer), "");
  // An ordinary request's answer has no such header.
  EXPECT_EQ(Get(program.Port(), "Get=IsPrinting").find("Private-Network"), std::string::npos);
}

TEST(ProgramStartUp, RemovesWhatInterruptedSavesLeftBehind) {
  // A process id that has ended.
  const long ended = EndedProcessNumber();
  const std::string stale = Format(".~trs-%08x-%08x.tmp", static_cast<unsigned>(ended), 7u);
  // One of a process that still runs (this test) is a save under way and stays, like any
  // file that only looks similar.
  const std::string running = Format(".~trs-%08x-%08x.tmp", static_cast<unsigned>(CurrentProcessNumber()), 1u);
  const std::string kept[] = {running, ".~trs-zzzzzzzz-00000001.tmp", "bills.cds", "x.cds.0123456789abcdef0000.tmp"};

  const fs::path source = fs::temp_directory_path() / Format("trs-leftover-%d", static_cast<int>(CurrentProcessNumber()));
  std::ofstream(source) << "half a table";
  TProgramOptions options;
  for (const std::string& name : kept) options.Files.emplace_back(source.string(), "data/" + name);
  options.Files.emplace_back(source.string(), "data/" + stale);
  TProgramUnderTest program(options);
  fs::remove(source);

  EXPECT_FALSE(fs::exists(program.Directory() / "data" / stale));
  for (const std::string& name : kept) EXPECT_TRUE(fs::exists(program.Directory() / "data" / name)) << name;
}

class ProgramDataFiles : public testing::Test {
 protected:
  static void SetUpTestSuite() { Program = new TProgramUnderTest(WithLibraryEngines()); }
  static void TearDownTestSuite() {
    delete Program;
    Program = nullptr;
  }
  // Stages a one-row table on the bill driver.
  void SetUp() override {
    for (const char* step : {"Method=AddDataTable", "Method=AddDataColumn:Name,", "Method=AddDataRow",
                             "Method=SetRowStr:0,x"})
      ASSERT_EQ(BodyOf(Get(Program->Port(), std::string("type=BillPrint&") + step)), "1") << step;
  }
  static fs::path DataDirectory() { return Program->Directory() / "data"; }
  static TProgramUnderTest* Program;
};

TProgramUnderTest* ProgramDataFiles::Program = nullptr;

TEST_F(ProgramDataFiles, ANameAsLongAsTheFileSystemAllowsIsSaved) {
  const std::string name = std::string(251, 'n') + ".cds";  // 255 bytes
  const std::string answer = Get(Program->Port(), "type=BillPrint&Method=SaveDataTable:" + name);
  EXPECT_EQ(BodyOf(answer), "1") << answer;
  EXPECT_TRUE(fs::exists(DataDirectory() / name));
  // Only the table is left in the directory.
  for (const fs::directory_entry& entry : fs::directory_iterator(DataDirectory()))
    EXPECT_EQ(entry.path().filename().string().find(".~trs-"), std::string::npos) << entry.path();
}

TEST_F(ProgramDataFiles, ControlCharactersInNamesAreRefused) {
  struct TCase {
    std::string Name;  // as sent in the request line
    std::string Written;  // what a wrongly accepted name would have created
  };
  const TCase cases[] = {
      {std::string("a.cds\0.xml", 10), "a.cds"},  // a raw NUL: the file system would stop at it
      {"b%0D%0A.cds", "b\r\n.cds"},
      {"c%09.cds", "c\t.cds"},
      {"d%1F.cds", "d\x1F.cds"},
  };
  for (const TCase& c : cases) {
    const std::string answer =
        Exchange(Program->Port(), "GET /?type=BillPrint&Method=SaveDataTable:" + c.Name + " HTTP/1.1\r\n\r\n");
    EXPECT_EQ(answer.rfind("HTTP/1.1 500", 0), 0u) << answer;
    EXPECT_NE(BodyOf(answer).find("may not contain control characters"), std::string::npos) << answer;
    EXPECT_FALSE(fs::exists(DataDirectory() / c.Written)) << c.Written;
  }
}

}  // namespace
}  // namespace trs::test
