// A report template of 1,000 rows by 10 cells built through the running program as a page
// does it, one request a command, with the stand-in report host control beside it: data
// loaded, template created, every row and cell added, the template saved (the progress
// window stepped on each). Beside it, the same number of requests answered by a minimal
// server process.
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

constexpr int Rows = 1000;
constexpr int Cells = 10;

struct TStep {
  std::string Request;
  std::string Answer;  // what the program must answer
};

std::string Get(const std::string& method) {
  return "GET /?type=ReportV11&Method=" + method + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

std::vector<TStep> TemplateSteps() {
  const std::string data = "no,name,amount\n1,first,10\n";
  std::vector<TStep> steps = {
      {"POST /?type=ReportV11&Method=LoadDataFromQuill3 HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: " +
           std::to_string(data.size()) + "\r\n\r\n" + data,
       "2"},
      {Get("CreateTemplate:Bench,0"), "-1"},
      {Get("AddTemplatePage"), "0"},
      {Get("AddTemplateTable:0"), "0"},
  };
  for (int row = 0; row < Rows; ++row) {
    steps.push_back({Get("AddTemplateTableRow:0,0"), std::to_string(row)});
    for (int cell = 0; cell < Cells; ++cell)
      steps.push_back({Get("AddTemplateTableCell:0,0," + std::to_string(row) + ",field" + std::to_string(cell) +
                           ",60,0"),
                       std::to_string(cell)});
  }
  steps.push_back({Get("SaveTemplate"), "-1"});
  return steps;
}

}  // namespace

int main() {
  const std::vector<TStep> steps = TemplateSteps();
  trs::test::TProgramOptions options;
  options.Files = {{trs::test::StandInEngine("QuillHost.ocx"), "QuillHost.ocx"}};
  trs::test::TProgramUnderTest program(options);

  const double buildSeconds = trs::bench::BestSeconds(1, [&] {
    for (const TStep& step : steps) {
      const std::string answer = trs::test::BodyOf(trs::bench::Fetch(program.Port(), step.Request));
      if (answer != step.Answer) {
        std::fprintf(stderr, "request failed: %s -> %s\n", step.Request.c_str(), answer.c_str());
        std::exit(1);
      }
    }
  });

  int floorPort = 0;
  const pid_t floor = trs::bench::StartFloorProcess(floorPort);
  const double floorSeconds = trs::bench::BestSeconds(1, [&] {
    for (const TStep& step : steps) trs::bench::Fetch(floorPort, step.Request);
  });
  kill(floor, SIGTERM);
  waitpid(floor, nullptr, 0);

  const double requests = static_cast<double>(steps.size());
  std::printf("a report template of %d rows x %d cells, one request a command (%zu requests)\n", Rows, Cells,
              steps.size());
  std::printf("  %-36s %9.3f s  %9.0f req/s\n", "template build over HTTP", buildSeconds, requests / buildSeconds);
  std::printf("  %-36s %9.3f s  %9.0f req/s\n", "floor process, same requests (ref)", floorSeconds,
              requests / floorSeconds);
  std::printf("  %-36s %9.2fx\n", "build / floor", buildSeconds / floorSeconds);
  return 0;
}
