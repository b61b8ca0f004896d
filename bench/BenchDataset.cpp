// Benchmarks of the client dataset: packet write and read speed beside memcpy of the same
// bytes, staging speed, and the memory a staged table holds beside its raw values.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>

#include "dataset/ClientDataSet.h"

namespace {

constexpr int Columns = 8;
constexpr int PacketRows = 125000;  // x 8 columns = 1,000,000 cells

// Ten bytes a value, different in every cell.
std::string Value(int row, int column) {
  char text[16];
  std::snprintf(text, sizeof text, "v%07dc%d", row % 10000000, column);
  return text;
}

void Stage(trs::TClientDataSet& ds, int rows) {
  for (int c = 0; c < Columns; ++c) ds.AddFieldDef("COLUMN" + std::to_string(c), trs::TFieldType::ftString, 256);
  ds.CreateDataSet();
  for (int r = 0; r < rows; ++r) {
    ds.Append();
    for (int c = 0; c < Columns; ++c) ds.SetFieldText(c, Value(r, c));
  }
  ds.Post();
}

const trs::TClientDataSet& PacketTable() {
  static trs::TClientDataSet* table = [] {
    auto* ds = new trs::TClientDataSet;
    Stage(*ds, PacketRows);
    return ds;
  }();
  return *table;
}

const std::string& BinaryPacket() {
  static const std::string packet = PacketTable().Data();
  return packet;
}

const std::string& XmlPacket() {
  static const std::string packet = PacketTable().XmlData();
  return packet;
}

// The reference: copying the binary packet's byte count from one buffer to another.
void BM_MemcpyReference(benchmark::State& state) {
  const std::string& source = BinaryPacket();
  std::string target(source.size(), '\0');
  for (auto _ : state) {
    std::memcpy(target.data(), source.data(), source.size());
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * source.size()));
}

void BM_WriteBinaryPacket(benchmark::State& state) {
  const trs::TClientDataSet& ds = PacketTable();
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string packet = ds.Data();
    bytes = packet.size();
    benchmark::DoNotOptimize(packet.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_ReadBinaryPacket(benchmark::State& state) {
  const std::string& packet = BinaryPacket();
  for (auto _ : state) {
    trs::TClientDataSet ds;
    ds.SetData(packet);
    benchmark::DoNotOptimize(ds.RecordCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packet.size()));
}

void BM_WriteXmlPacket(benchmark::State& state) {
  const trs::TClientDataSet& ds = PacketTable();
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string packet = ds.XmlData();
    bytes = packet.size();
    benchmark::DoNotOptimize(packet.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void BM_ReadXmlPacket(benchmark::State& state) {
  const std::string& packet = XmlPacket();
  for (auto _ : state) {
    trs::TClientDataSet ds;
    ds.SetXmlData(packet);
    benchmark::DoNotOptimize(ds.RecordCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * packet.size()));
}

// Append, eight SetFieldText and Post a row, as the drivers stage tables; bytes are the
// binary packet's, so the figure compares with the packet rows above.
void BM_StageRows(benchmark::State& state) {
  for (auto _ : state) {
    trs::TClientDataSet ds;
    Stage(ds, PacketRows);
    benchmark::DoNotOptimize(ds.RecordCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * BinaryPacket().size()));
}

BENCHMARK(BM_MemcpyReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteBinaryPacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadBinaryPacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteXmlPacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadXmlPacket)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StageRows)->Unit(benchmark::kMillisecond);

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

// Memory of a table staged from scratch, beside the bytes of its values; measured before
// any benchmark runs so freed memory of other runs does not hide growth.
void ReportMemory(int rows) {
  const size_t heapBefore = HeapInUse();
  const size_t residentBefore = ResidentBytes();
  trs::TClientDataSet ds;
  Stage(ds, rows);
  const size_t heap = HeapInUse() - heapBefore;
  const size_t resident = ResidentBytes() - residentBefore;
  const double raw = static_cast<double>(rows) * Columns * 10;
  std::printf("staged %d rows x %d text columns of 10 bytes (256 wide): raw values %.0f bytes\n", rows, Columns, raw);
  std::printf("  rows held (StorageBytes)  %10zu bytes  %.2fx raw\n", ds.StorageBytes(), static_cast<double>(ds.StorageBytes()) / raw);
  std::printf("  heap in use, whole table  %10zu bytes  %.2fx raw\n", heap, static_cast<double>(heap) / raw);
  std::printf("  resident set growth       %10zu bytes  %.2fx raw\n", resident, static_cast<double>(resident) / raw);
}

}  // namespace

int main(int argc, char** argv) {
  ReportMemory(10000);
  ReportMemory(PacketRows);
  std::printf("binary packet of %d cells: %zu bytes\n\n", PacketRows * Columns, BinaryPacket().size());
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
