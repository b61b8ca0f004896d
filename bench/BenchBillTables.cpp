// Benchmarks of the staged bill tables: building and saving a bill of 100,000 cells beside
// filling client datasets directly and saving the same files, and the memory the staged
// cells hold beside their raw text.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "dataset/ClientDataSet.h"
#include "drivers/ReportDataset.h"
#include "platform/Text.h"

namespace {

constexpr int Columns = 10;
constexpr int DetailRows = 9999;  // + one head row: 100,000 cells

std::string StagingDirectory() {
  static const std::string directory = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "trs-bench-bill-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern + "/";
  }();
  return directory;
}

// 8 to 12 bytes a value, different in every cell.
std::string Value(int table, int row, int column) {
  char text[24];
  std::snprintf(text, sizeof text, "%d:%d.%d", table, row, column);
  std::string value = text;
  value.resize(8 + static_cast<size_t>((row + column) % 5), '.');
  return value;
}

// The cell texts, narrow and wide, made once so that no benchmark pays for making them.
const std::vector<std::vector<std::string>>& NarrowCells(int table, int rows) {
  static std::map<std::pair<int, int>, std::vector<std::vector<std::string>>> cache;
  auto& cells = cache[{table, rows}];
  if (cells.empty()) {
    cells.resize(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < Columns; ++c) cells[static_cast<size_t>(r)].push_back(Value(table, r, c));
  }
  return cells;
}

const std::vector<std::vector<std::u16string>>& WideCells(int table, int rows) {
  static std::map<std::pair<int, int>, std::vector<std::vector<std::u16string>>> cache;
  auto& cells = cache[{table, rows}];
  if (cells.empty()) {
    cells.resize(static_cast<size_t>(rows));
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < Columns; ++c) cells[static_cast<size_t>(r)].push_back(trs::Utf8ToWide(Value(table, r, c)));
  }
  return cells;
}

// A bill staged through the bill print driver's operations: table 0 with `headRows` rows
// and one detail table per entry of `detailRows`.
void StageBill(trs::TReportDataset& bill, int headRows, const std::vector<int>& detailRows) {
  std::vector<int> rows = {headRows};
  rows.insert(rows.end(), detailRows.begin(), detailRows.end());
  for (size_t t = 0; t < rows.size(); ++t) {
    const int table = bill.AddTable("table_" + std::to_string(t));
    for (int c = 0; c < Columns; ++c) bill.AddColumn(table, trs::Utf8ToWide("COLUMN" + std::to_string(c)), 1);
    const auto& cells = WideCells(table, rows[t]);
    for (int r = 0; r < rows[t]; ++r) {
      int row = 0;
      bill.AddRow(table, row);
      for (int c = 0; c < Columns; ++c)
        bill.SetCell(table, row, c, cells[static_cast<size_t>(r)][static_cast<size_t>(c)]);
    }
  }
}

// The reference: the same two tables filled straight into client datasets and saved as the
// same three files. Saving syncs each file to disk, so wall time carries the disk's share;
// CPU time is the program's own work.
void BM_PlainPacketFiles(benchmark::State& state) {
  const std::string dir = StagingDirectory();
  for (auto _ : state) {
    trs::TClientDataSet tables[2];
    const int rows[2] = {1, DetailRows};
    for (int t = 0; t < 2; ++t) {
      const auto& cells = NarrowCells(t, rows[t]);
      for (int c = 0; c < Columns; ++c) tables[t].AddFieldDef("COLUMN" + std::to_string(c), trs::TFieldType::ftString, 100);
      tables[t].CreateDataSet();
      for (int r = 0; r < rows[t]; ++r) {
        tables[t].Append();
        for (int c = 0; c < Columns; ++c) tables[t].SetFieldText(c, cells[static_cast<size_t>(r)][static_cast<size_t>(c)]);
        tables[t].Post();
      }
    }
    tables[0].SaveToFile(dir + "billhead.cds");
    tables[1].SaveToFile(dir + "billdetail.cds");
    tables[0].SaveToFile(dir + "billtail.cds");
  }
  state.SetItemsProcessed(state.iterations() * (1 + DetailRows) * Columns);
}

// BuildTables and SaveBillFiles of a staged bill; staging is outside the measured time.
// Staging between the runs leaves the datasets and packets to fresh memory, whose first
// touch (page faults) the reference, reusing its freed memory run after run, does not pay;
// MALLOC_MMAP_THRESHOLD_ and MALLOC_TRIM_THRESHOLD_ set high compare the two without it.
void BM_BuildAndSaveBill(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    trs::TReportDataset bill;
    bill.Directory = StagingDirectory();
    StageBill(bill, 1, {DetailRows});
    state.ResumeTiming();
    bill.BuildTables();
    bill.SaveBillFiles();
    state.PauseTiming();
    bill.Clear();  // freeing is not what is measured
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * (1 + DetailRows) * Columns);
}

// What the page's requests cost before the print: AddRow and SetCell of every cell.
void BM_StageBillCells(benchmark::State& state) {
  for (auto _ : state) {
    trs::TReportDataset bill;
    StageBill(bill, 1, {DetailRows});
    benchmark::DoNotOptimize(bill.CellStorageBytes());
    state.PauseTiming();
    bill.Clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * (1 + DetailRows) * Columns);
}

BENCHMARK(BM_PlainPacketFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildAndSaveBill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StageBillCells)->Unit(benchmark::kMillisecond);

// Prints as usual and keeps each benchmark's time per iteration for the ratio.
class TRatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        Times[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
  }
  std::map<std::string, std::pair<double, double>> Times;  // wall, CPU
};

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// Memory of a bill of one head row and three detail tables of 1,000 rows, beside the
// bytes of its cell texts; measured before any benchmark runs.
void ReportMemory() {
  size_t raw = 0;
  for (int t = 0; t < 4; ++t)
    for (int r = 0; r < (t == 0 ? 1 : 1000); ++r)
      for (int c = 0; c < Columns; ++c) raw += Value(t, r, c).size();
  for (int t = 0; t < 4; ++t) WideCells(t, t == 0 ? 1 : 1000);  // the inputs exist before
  const size_t heapBefore = HeapInUse();
  trs::TReportDataset bill;
  StageBill(bill, 1, {1000, 1000, 1000});
  const size_t heap = HeapInUse() - heapBefore;
  const double rawBytes = static_cast<double>(raw);
  std::printf("staged bill: head 1 row + 3 detail tables x 1000 rows x %d text columns of 8-12 bytes\n", Columns);
  std::printf("  raw cell text                %10zu bytes\n", raw);
  std::printf("  cell stores (CellStorageBytes) %8zu bytes  %.2fx raw\n", bill.CellStorageBytes(),
              static_cast<double>(bill.CellStorageBytes()) / rawBytes);
  std::printf("  heap in use, whole bill      %10zu bytes  %.2fx raw (tables and unbuilt datasets included)\n\n",
              heap, static_cast<double>(heap) / rawBytes);
}

}  // namespace

int main(int argc, char** argv) {
  ReportMemory();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TRatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  const auto plain = reporter.Times.find("BM_PlainPacketFiles");
  const auto bill = reporter.Times.find("BM_BuildAndSaveBill");
  if (plain != reporter.Times.end() && bill != reporter.Times.end() && plain->second.first > 0 &&
      plain->second.second > 0)
    std::printf("\nBuildTables + SaveBillFiles of %d cells beside filling and saving the datasets directly:\n"
                "  %.2fx the wall time, %.2fx the CPU time\n",
                (1 + DetailRows) * Columns, bill->second.first / plain->second.first,
                bill->second.second / plain->second.second);
  std::filesystem::remove_all(StagingDirectory());
  return 0;
}
