// A bill staged and printed through the running program as a page does it, one request a
// cell: a head table and three detail tables of 1,000 rows by 10 columns, then the print
// (the bill files written and handed to the stand-in bill library). Beside it, the same
// number of requests answered by a minimal server process.
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

constexpr int DetailTables = 3;
constexpr int Rows = 1000;
constexpr int Columns = 10;

void AddTable(std::vector<std::string>& queries, int table, int rows) {
  const std::string index = std::to_string(table);
  queries.push_back("AddBillDataTable:" + index);
  for (int column = 0; column < Columns; ++column)
    queries.push_back("AddBillDataColumn:" + index + ",Col" + std::to_string(column));
  for (int row = 0; row < rows; ++row) {
    queries.push_back("AddBillDataRow:" + index);
    for (int column = 0; column < Columns; ++column)
      queries.push_back("SetBillRowStr:" + index + "," + std::to_string(row) + "," + std::to_string(column) +
                        ",item" + std::to_string(row) + "-" + std::to_string(column));
  }
}

std::vector<std::string> BillQueries() {
  std::vector<std::string> methods = {"ClearBillDataset"};
  AddTable(methods, 0, 1);
  for (int table = 1; table <= DetailTables; ++table) AddTable(methods, table, Rows);
  std::vector<std::string> queries;
  for (const std::string& method : methods) queries.push_back("type=BillPrint&Method=" + method);
  return queries;
}

std::string Request(const std::string& query) { return "GET /?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"; }

}  // namespace

int main() {
  const std::vector<std::string> queries = BillQueries();
  trs::test::TProgramOptions options;
  options.Files = {{trs::test::StandInEngine("BillKit.dll"), "BillKit.dll"}};
  trs::test::TProgramUnderTest program(options);

  double printSeconds = 0;
  const double stagingSeconds = trs::bench::BestSeconds(1, [&] {
    for (const std::string& query : queries)
      if (trs::test::BodyOf(trs::bench::Fetch(program.Port(), Request(query))) != "-1") {
        std::fprintf(stderr, "request failed: %s\n", query.c_str());
        std::exit(1);
      }
  });
  printSeconds = trs::bench::BestSeconds(1, [&] {
    const std::string print = "type=BillPrint&Method=PosBillPrint:bill,1," + std::to_string(DetailTables + 1);
    if (trs::test::BodyOf(trs::bench::Fetch(program.Port(), Request(print))) != "-1") {
      std::fprintf(stderr, "the print failed\n");
      std::exit(1);
    }
  });

  int floorPort = 0;
  const pid_t floor = trs::bench::StartFloorProcess(floorPort);
  const double floorSeconds = trs::bench::BestSeconds(1, [&] {
    for (const std::string& query : queries) trs::bench::Fetch(floorPort, Request(query));
  });
  kill(floor, SIGTERM);
  waitpid(floor, nullptr, 0);

  const double requests = static_cast<double>(queries.size());
  std::printf("a bill of a head and %d detail tables of %d x %d cells, one request a cell\n", DetailTables, Rows, Columns);
  std::printf("  %-36s %9.3f s  %9.0f req/s\n", "staging over HTTP", stagingSeconds, requests / stagingSeconds);
  std::printf("  %-36s %9.3f s  %9.0f req/s\n", "floor process, same requests (ref)", floorSeconds, requests / floorSeconds);
  std::printf("  %-36s %9.2fx\n", "staging / floor", stagingSeconds / floorSeconds);
  std::printf("  %-36s %9.3f s  (build, write 9 bill files, library call)\n", "print", printSeconds);
  return 0;
}
