// The request grammar and the dispatch to drivers, called the way the HTTP layer calls it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include <unistd.h>

#include "dataset/ClientDataSet.h"
#include "endpoint/HttpServer.h"
#include "endpoint/fuReportServer.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFile.h"
#include "platform/Socket.h"
#include "support/StandInEngines.h"
#include "support/TestOs.h"

namespace trs {
namespace {

namespace fs = std::filesystem;

class ReportServerTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { Server = new TReportServer(0); }
  static void TearDownTestSuite() {
    delete Server;
    Server = nullptr;
  }
  void SetUp() override { ASSERT_EQ(Call({"Method=EndPrint", "Get=IsPrinting"}), "0"); }

  // Answers a request with these parameter lines and body; errors escape as exceptions.
  static std::string Call(std::vector<std::string> params, std::string body = "") {
    THttpRequest request;
    request.Method = "GET";
    request.Target = "/";
    request.Params = std::move(params);
    request.RawBody = std::move(body);
    THttpResponse response;
    Server->HandleCommand(request, response);
    EXPECT_EQ(response.Status, 200);
    return response.Content;
  }

  static TReportServer* Server;
};

TReportServer* ReportServerTest::Server = nullptr;

TEST_F(ReportServerTest, TypeSelectsTheDriverWithoutRegardToCase) {
  // A table staged on the V10 driver has columns; on another driver the same row fails.
  Call({"Method=AddDataTable"});
  Call({"type=reportV10", "Method=AddDataColumn:A,"});
  EXPECT_EQ(Call({"TYPE=ReportV10", "Method=AddDataRow"}), "1");
  EXPECT_EQ(Call({"Method=AddDataRow"}), "1");             // no type: V10 too
  EXPECT_EQ(Call({"type=", "Method=AddDataRow"}), "1");    // empty type: V10 too
  for (const char* type : {"ReportV11", "express", "BARCODE", "BillPrint", "posdriver"}) {
    Call({std::string("type=") + type, "Method=AddDataTable"});
    EXPECT_THROW(Call({std::string("type=") + type, "Method=AddDataRow"}), EDatabaseError) << type;
  }
  EXPECT_EQ(Call({"type=Printer", "Method=BeginPrint", "Get=IsPrinting"}), "");
  EXPECT_EQ(Call({"Get=IsPrinting"}), "0") << "an unknown type reaches no driver";
}

TEST_F(ReportServerTest, MethodSetAndGetRunInOrderAndGetWins) {
  EXPECT_EQ(Call({"Method=BeginPrint"}), "1");
  EXPECT_EQ(Call({"Get=IsPrinting", "Method=EndPrint"}), "0") << "Method runs before Get";
  EXPECT_EQ(Call({"Method=AddDataTable", "Get=NoSuchProperty"}), "-1");
  EXPECT_EQ(Call({"Set=Anything:1"}), "");
  EXPECT_EQ(Call({"Method=NoSuchMethod"}), "-1");
  EXPECT_EQ(Call({"Method=Print"}), "0");  // the default driver's dialog action answers at once
}

TEST_F(ReportServerTest, ParameterNamesAndValuesAreTrimmedAndTheFirstWins) {
  EXPECT_EQ(Call({" method = BeginPrint ", "Method=EndPrint", "get=isprinting"}), "1");
  EXPECT_EQ(Call({"noequals", "=Get", "Method=EndPrint", "Get=IsPrinting"}), "0");
}

TEST_F(ReportServerTest, SplitCommandKeepsLaterColons) {
  EXPECT_EQ(SplitCommand(u" Print : a:b "), (std::pair<std::string, std::string>{"Print", "a:b"}));
  EXPECT_EQ(SplitCommand(u"Print"), (std::pair<std::string, std::string>{"Print", ""}));
  EXPECT_EQ(SplitCommand(u":x"), (std::pair<std::string, std::string>{"", "x"}));
  EXPECT_EQ(ParamValue({"a=1", "A=2"}, "a"), u"1");
  EXPECT_EQ(ParamValue({"b= \xE4\xB8\xAD "}, "B"), u"\u4E2D");
  EXPECT_EQ(ParamValue({"b"}, "b"), u"");
}

TEST_F(ReportServerTest, BodyMethodsReachTheirDrivers) {
  // ReportV11 takes LoadDataFromQuill3 for any type but V10: the stand-in control beside
  // the test programs counts the data's lines. The express driver takes every
  // LoadDataFromJson: the stand-in library answers how many characters it received.
  EXPECT_EQ(Call({"type=Barcode", "Method=LoadDataFromQuill3"}, "data"), "1");
  EXPECT_EQ(Call({"Method=LoadDataFromJson"}, "{}"), "2");
  EXPECT_EQ(Call({"Method=LoadDataFromJSON", "Get=IsPrinting"}, "{}"), "0");
}

TEST_F(ReportServerTest, SetProductTagTakesTheBodyAndAnswersNothing) {
  const fs::path root = fs::temp_directory_path() / ("trs-tag-" + std::to_string(::getpid()));
  fs::create_directories(root / "标签/data");
  std::optional<test::TTestProductRegistry> registry(root);
  registry->Register("条码", (root / "标签").string() + test::PathSeparator);
  // The barcode driver stages only once its library loads from the tagged directory.
  fs::copy_file(test::StandInEngine("BarcodeKit.dll"), root / "标签/BarcodeKit.dll",
                fs::copy_options::overwrite_existing);

  const auto stage = [](const std::string& type, const std::string& file) {
    Call({"type=" + type, "Method=AddDataTable"});
    Call({"type=" + type, "Method=AddDataColumn:A,"});
    Call({"type=" + type, "Method=AddDataRow"});
    Call({"type=" + type, "Method=SaveDataTable:" + file});
  };
  EXPECT_EQ(Call({"type=Barcode", "Method=setproducttag"}, "条码"), "");
  stage("Barcode", "tagged.cds");
  EXPECT_TRUE(fs::exists(root / "标签/data/tagged.cds"));
  // The tag reached only the barcode driver; the others stage beside the program.
  const fs::path programData = fs::path(ProgramDirectory()) / "data";
  stage("BillPrint", "tagged-bill.cds");
  EXPECT_FALSE(fs::exists(root / "标签/data/tagged-bill.cds"));
  EXPECT_TRUE(fs::remove(programData / "tagged-bill.cds"));
  // An invalid UTF-8 body counts as empty: no product, the program directory again.
  EXPECT_EQ(Call({"type=Barcode", "Method=SetProductTag", "Get=IsPrinting"}, "\xE6\x9D"), "0");
  stage("Barcode", "untagged.cds");
  EXPECT_TRUE(fs::remove(programData / "untagged.cds"));

  registry.reset();
  // Windows keeps a loaded library's file, and the driver may still hold the tagged one: what
  // cannot go now is left to the temporary folder's clean-up.
  std::error_code ignored;
  fs::remove_all(root, ignored);
}


TEST_F(ReportServerTest, ConcurrentRequestsOnOneDriverSeeOneCallAtATime) {
  Call({"type=PosDriver", "Method=AddDataTable"});
  Call({"type=PosDriver", "Method=AddDataColumn:A,"});
  Call({"type=PosDriver", "Method=AddDataColumn:B,"});
  // Each posting SetRowStr stores exactly one row, however the threads interleave; a row
  // another thread's AddDataRow replaced makes that SetRowStr fail instead.
  std::atomic<int> posted{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      const std::string type = t % 2 ? "type=PosDriver" : "type=posdriver";
      for (int i = 0; i < 200; ++i) {
        Call({type, "Method=AddDataRow"});
        try {
          Call({type, "Method=SetRowStr:1,v" + std::to_string(i)});
          ++posted;
        } catch (const EDatabaseError&) {
        }
        Call({"type=Express", i % 2 ? "Method=BeginPrint" : "Method=EndPrint", "Get=IsPrinting"});
      }
    });
  for (auto& thread : threads) thread.join();
  Call({"type=PosDriver", "Method=SaveDataTable:concurrent.cds"});
  const fs::path file = fs::path(ProgramDirectory()) / "data/concurrent.cds";
  TClientDataSet saved;
  saved.LoadFromFile(file.string());
  fs::remove(file);
  EXPECT_GT(posted.load(), 0);
  EXPECT_EQ(saved.RecordCount(), posted.load());
}


TEST(ReportServerPort, SetPortToATakenPortLeavesTheServerStoppedAndSaysWhy) {
  TReportServer server(0);
  ASSERT_TRUE(server.Listening());
  const TSocket taken = ListenTcp("127.0.0.1", 0, true);
  try {
    server.SetPort(taken.LocalPort());
    ADD_FAILURE() << "listened on a taken port";
  } catch (const Exception& error) {
    EXPECT_STREQ(error.what(), "Could not bind socket. Address and port are already in use.");
  }
  EXPECT_FALSE(server.Listening());
  server.SetPort(0);  // a free port: listening again, at once
  EXPECT_TRUE(server.Listening());
  const int port = server.BoundPorts().front();
  server.Stop();
  EXPECT_FALSE(server.Listening());
  server.SetPort(port);  // the port it just left is free again straight away
  EXPECT_EQ(server.BoundPorts().front(), port);
}

TEST(ReportServerPort, AChosenListenAddressIsTheOnlyBindingAndSurvivesAPortChange) {
  TReportServer server(0, "127.0.0.1");
  EXPECT_EQ(server.BoundPorts().size(), 1u);
  server.SetPort(0);
  ASSERT_EQ(server.BoundPorts().size(), 1u);
  const int port = server.BoundPorts().front();
  EXPECT_TRUE(ConnectTcp("127.0.0.1", port).Valid());
  EXPECT_FALSE(ConnectTcp("::1", port).Valid());  // the loopback pair is not added
}

// The server's answer to a request a client began before a port change and finishes after it.
std::string FinishAndRead(TSocket& client) {
  EXPECT_TRUE(client.SendAll("\r\n"));
  client.SetReceiveTimeout(10000);
  std::string answer;
  char buffer[4096];
  for (TSocketReceive r = client.Receive(buffer, sizeof buffer); r.Kind == TSocketReceive::Data;
       r = client.Receive(buffer, sizeof buffer))
    answer.append(buffer, r.Count);
  return answer;
}

// Two clients mid-request on a port: one the server has taken, one still queued for it.
std::vector<TSocket> BeginRequests(int port) {
  std::vector<TSocket> clients;
  for (int i = 0; i < 2; ++i) {
    if (i == 1) std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the first be taken
    clients.push_back(ConnectTcp("127.0.0.1", port));
    EXPECT_TRUE(clients.back().SendAll("GET /?Get=IsPrinting HTTP/1.1\r\n"));
  }
  return clients;
}

void ExpectAnswered(std::vector<TSocket>& clients) {
  for (TSocket& client : clients) {
    const std::string answer = FinishAndRead(client);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << answer;
  }
}

TEST(ReportServerPort, MovingToThePortAlreadyServedChangesNothing) {
  TReportServer server(0, "127.0.0.1");
  const int port = server.BoundPorts().front();
  std::vector<TSocket> clients = BeginRequests(port);
  server.SetPort(port);  // CONFIG.CFG names the port it started on
  EXPECT_TRUE(server.Listening());
  EXPECT_EQ(server.BoundPorts(), std::vector<int>{port});
  ExpectAnswered(clients);
}

TEST(ReportServerPort, AMoveStopsTakingConnectionsButAnswersThoseTaken) {
  TReportServer server(0, "127.0.0.1");
  const int oldPort = server.BoundPorts().front();
  std::vector<TSocket> clients = BeginRequests(oldPort);
  server.SetPort(0);
  const int newPort = server.BoundPorts().front();
  ASSERT_NE(newPort, oldPort);
  EXPECT_FALSE(ConnectTcp("127.0.0.1", oldPort).Valid());
  EXPECT_TRUE(ConnectTcp("127.0.0.1", newPort).Valid());
  ExpectAnswered(clients);
}

TEST(ReportServerPort, AnAddressThatCannotBeListenedOnFailsConstruction) {
  EXPECT_THROW(TReportServer(0, "192.0.2.1"), Exception);  // not an address of this machine
}

}  // namespace
}  // namespace trs
