// A report of 1,000 lines by 10 cells built on the V10 engine through the running program
// as a page builds it, one request a command (createreport, then per line addline, ten
// addcell and endline, then endreport), with the stand-in QPrint.Dll beside the program.
// Beside it, the same number of requests answered by a minimal server process.
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchClient.h"
#include "BenchClock.h"
#include "BenchFloorProcess.h"
#include "support/ProgramUnderTest.h"
#include "support/StandInEngines.h"

namespace {

constexpr int Lines = 1000;
constexpr int Cells = 10;

struct TRequest {
  std::string Query;
  const char* Answer;
};

std::vector<TRequest> ReportRequests() {
  std::vector<TRequest> requests = {{"Method=CreateReport:Bench,0", "0"}};
  for (int line = 0; line < Lines; ++line) {
    requests.push_back({"Method=AddLine:" + std::to_string(Cells - 1), "0"});  // a line takes n + 1 cells
    for (int cell = 0; cell < Cells; ++cell)
      requests.push_back({"Method=AddCell:item" + std::to_string(line) + "-" + std::to_string(cell) + "," +
                              std::to_string(cell * 100) + ",0,100,20,1,0,0,0,0,0,0,0,0,0",
                          "0"});
    requests.push_back({"Method=EndLine", "1"});
  }
  requests.push_back({"Method=EndReport", "0"});
  return requests;
}

std::string Request(const std::string& query) { return "GET /?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"; }

}  // namespace

int main() {
  const std::vector<TRequest> requests = ReportRequests();
  trs::test::TProgramOptions options;
  options.Files = {{trs::test::StandInEngine("QPrint.Dll"), "QPrint.Dll"}};
  trs::test::TProgramUnderTest program(options);

  const double buildSeconds = trs::bench::BestSeconds(1, [&] {
    for (const TRequest& request : requests)
      if (trs::test::BodyOf(trs::bench::Fetch(program.Port(), Request(request.Query))) != request.Answer) {
        std::fprintf(stderr, "request failed: %s\n", request.Query.c_str());
        std::exit(1);
      }
  });

  int floorPort = 0;
  const pid_t floor = trs::bench::StartFloorProcess(floorPort);
  const double floorSeconds = trs::bench::BestSeconds(1, [&] {
    for (const TRequest& request : requests) trs::bench::Fetch(floorPort, Request(request.Query));
  });
  kill(floor, SIGTERM);
  waitpid(floor, nullptr, 0);

  const double count = static_cast<double>(requests.size());
  std::printf("a report of %d lines x %d cells built on the V10 engine, one request a command (%zu requests)\n",
              Lines, Cells, requests.size());
  std::printf("  %-36s %9.3f s  %9.0f req/s\n", "report build over HTTP", buildSeconds, count / buildSeconds);
  std::printf("  %-36s %9.3f s  %9.0f req/s\n", "floor process, same requests (ref)", floorSeconds, count / floorSeconds);
  std::printf("  %-36s %9.2fx\n", "build / floor", buildSeconds / floorSeconds);
  return 0;
}
