// The running program: staging a 10,000 x 8 table through one-connection requests (beside
// the same requests answered by a minimal server process, and handled in process without
// sockets), the saved file's size against
// the data's own size, and the idle memory against a minimal process.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchClient.h"
#include "BenchClock.h"
#include "BenchFloorProcess.h"
#include "endpoint/HttpResponseWriter.h"
#include "endpoint/HttpServer.h"
#include "endpoint/fuReportServer.h"
#include "platform/Socket.h"
#include "support/ProgramUnderTest.h"

namespace {

constexpr int Rows = 10000;
constexpr int Columns = 8;

// Resident memory of a process in KiB, from /proc.
long ResidentKiB(long pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// The staging requests a page sends, in order, as query strings; `rawBytes` gets the size
// of the values themselves.
std::vector<std::string> StagingQueries(size_t& rawBytes) {
  std::vector<std::string> queries = {"type=Barcode&Method=AddDataTable"};
  for (int column = 0; column < Columns; ++column)
    queries.push_back("type=Barcode&Method=AddDataColumn:Col" + std::to_string(column) + ",");
  rawBytes = 0;
  for (int row = 0; row < Rows; ++row) {
    queries.push_back("type=Barcode&Method=AddDataRow");
    for (int column = 0; column < Columns; ++column) {
      const std::string value = "item" + std::to_string(row) + "-" + std::to_string(column);
      rawBytes += value.size();
      queries.push_back("type=Barcode&Method=SetRowStr:" + std::to_string(column) + "," + value);
    }
  }
  return queries;
}

}  // namespace

int main() {
  using trs::test::BodyOf;
  size_t rawBytes = 0;
  std::vector<std::string> queries = StagingQueries(rawBytes);

  trs::test::TProgramUnderTest program;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const long idleKiB = ResidentKiB(program.ProcessId());

  // A minimal process for reference: what any program costs before it does anything.
  const pid_t sleeper = fork();
  if (sleeper == 0) {
    execl("/bin/sleep", "sleep", "5", nullptr);
    _exit(127);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const long sleepKiB = ResidentKiB(sleeper);
  kill(sleeper, SIGTERM);
  waitpid(sleeper, nullptr, 0);

  const auto get = [&](const std::string& query) {
    return BodyOf(trs::bench::Fetch(program.Port(), "GET /?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
  };
  const auto run = [&](const std::string& file) {
    for (const std::string& query : queries)
      if (get(query) != "1") {
        std::fprintf(stderr, "request failed: %s\n", query.c_str());
        std::exit(1);
      }
    if (get("type=Barcode&Method=SaveDataTable:" + file) != "1") std::exit(1);
  };
  const double httpSeconds = trs::bench::BestSeconds(1, [&] { run("bench.cds"); });
  run("bench.xml");

  int floorPort = 0;
  const pid_t floor = trs::bench::StartFloorProcess(floorPort);
  const double floorSeconds = trs::bench::BestSeconds(1, [&] {
    for (const std::string& query : queries)
      trs::bench::Fetch(floorPort, "GET /?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  });
  kill(floor, SIGTERM);
  waitpid(floor, nullptr, 0);

  // The same requests handled in process: the cost of staging without the transport.
  trs::TReportServer inProcess(0);
  const double directSeconds = trs::bench::BestSeconds(3, [&] {
    for (const std::string& query : queries) {
      trs::THttpRequest request;
      size_t start = 0;
      for (size_t amp; (amp = query.find('&', start)) != std::string::npos; start = amp + 1)
        request.Params.push_back(query.substr(start, amp - start));
      request.Params.push_back(query.substr(start));
      trs::THttpResponse response;
      inProcess.HandleCommand(request, response);
    }
  });

  const auto fileSize = [&](const char* name) {
    return static_cast<double>(std::filesystem::file_size(program.Directory() / "data" / name));
  };
  const double requests = static_cast<double>(queries.size() + 1);
  std::printf("staging %d rows x %d columns: %.0f requests, one connection each\n", Rows, Columns, requests);
  std::printf("  %-34s %9.3f s  %9.0f req/s\n", "over HTTP (target < 2 s)", httpSeconds, requests / httpSeconds);
  std::printf("  %-34s %9.3f s  %9.0f req/s\n", "floor process, same requests (ref)", floorSeconds, requests / floorSeconds);
  std::printf("  %-34s %9.3f s  %9.0f req/s\n", "in process, same requests (ref)", directSeconds, requests / directSeconds);
  std::printf("  %-34s %9.0f bytes\n", "data itself (ref)", static_cast<double>(rawBytes));
  std::printf("  %-34s %9.0f bytes  %.2fx\n", "saved binary packet", fileSize("bench.cds"), fileSize("bench.cds") / static_cast<double>(rawBytes));
  std::printf("  %-34s %9.0f bytes  %.2fx\n", "saved XML packet", fileSize("bench.xml"), fileSize("bench.xml") / static_cast<double>(rawBytes));
  std::printf("idle memory (RSS)\n");
  std::printf("  %-34s %9.1f MB\n", "TallyReportSrv (target < 10 MB)", static_cast<double>(idleKiB) / 1024);
  std::printf("  %-34s %9.1f MB\n", "/bin/sleep (ref)", static_cast<double>(sleepKiB) / 1024);
  return 0;
}
