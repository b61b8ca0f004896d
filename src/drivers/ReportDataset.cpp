// The staged bill tables: the sparse cell store, building datasets from it, and the bill
// file sets.
#include "drivers/ReportDataset.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>

#include "drivers/Base64DecodeStream.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs {
namespace {

// Arena entries start with the text's length in 7-bit groups, low group first; the high
// bit of a byte says that another follows.
size_t LengthBytes(size_t length) {
  size_t bytes = 1;
  for (; length >= 0x80; length >>= 7) ++bytes;
  return bytes;
}

// Runs a status operation: any error becomes ReportDatasetFailed, its text dropped.
template <typename Operation>
int32_t Guarded(Operation operation) {
  try {
    operation();
    return ReportDatasetOk;
  } catch (const std::exception&) {
    return ReportDatasetFailed;
  }
}

}  // namespace

// --- TCellStore

uint32_t TCellStore::Append(std::string_view text) {
  const size_t entry = LengthBytes(text.size()) + text.size();
  uint64_t at = Used;
  const uint64_t inChunk = at % ChunkBytes;
  if (entry > ChunkBytes || inChunk == 0 || inChunk + entry > ChunkBytes)
    at = (at + ChunkBytes - 1) / ChunkBytes * ChunkBytes;  // starts a chunk of its own
  const uint64_t spans = entry > ChunkBytes ? (entry + ChunkBytes - 1) / ChunkBytes : 1;
  // Slots hold address + 1 in 32 bits.
  if (at + spans * ChunkBytes >= UINT32_MAX) throw Exception("Too much text staged in one table");
  const auto chunk = static_cast<size_t>(at / ChunkBytes);
  const size_t end = static_cast<size_t>(at % ChunkBytes) + entry;
  if (chunk == Chunks.size()) {
    const size_t bytes = entry > ChunkBytes ? entry : std::max<size_t>(end, 256);
    Chunks.push_back(std::make_unique_for_overwrite<char[]>(bytes));
    AllocatedBytes += bytes;
    LastChunkBytes = entry > ChunkBytes ? ChunkBytes : bytes;
    Chunks.resize(Chunks.size() + static_cast<size_t>(spans) - 1);
  } else if (end > LastChunkBytes) {
    // Only the last chunk can be short of room; it doubles, up to a whole chunk.
    const size_t bytes = std::min(ChunkBytes, std::max(end, 2 * LastChunkBytes));
    auto grown = std::make_unique_for_overwrite<char[]>(bytes);
    std::memcpy(grown.get(), Chunks[chunk].get(), LastChunkBytes);
    Chunks[chunk] = std::move(grown);
    AllocatedBytes += bytes - LastChunkBytes;
    LastChunkBytes = bytes;
  }
  char* out = Chunks[chunk].get() + (at % ChunkBytes);
  size_t length = text.size();
  for (; length >= 0x80; length >>= 7) *out++ = static_cast<char>(0x80 | (length & 0x7F));
  *out++ = static_cast<char>(length);
  if (!text.empty()) std::memcpy(out, text.data(), text.size());
  Used = entry > ChunkBytes ? at + spans * ChunkBytes : at + entry;
  LiveBytes += entry;
  return static_cast<uint32_t>(at) + 1;
}

std::string_view TCellStore::TextAt(uint32_t slot) const {
  if (slot == 0) return {};
  const size_t address = slot - 1;
  const char* in = Chunks[address / ChunkBytes].get() + address % ChunkBytes;
  size_t length = 0;
  for (unsigned shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(*in++);
    length |= static_cast<size_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) break;
  }
  return std::string_view(in, length);
}

void TCellStore::Set(int column, int row, std::string_view text) {
  // The page first: should the text not fit, the store keeps no entry that no slot holds.
  auto found = Pages.lower_bound(PageKey(column, row));
  if (found == Pages.end() || found->first != PageKey(column, row))
    found = Pages.emplace_hint(found, PageKey(column, row), std::make_unique<TPage>());  // zeroed
  uint32_t* slot = &(*found->second)[Slot(row)];
  const uint32_t appended = Append(text);
  if (*slot) {
    const std::string_view old = TextAt(*slot);
    const size_t entry = LengthBytes(old.size()) + old.size();
    LiveBytes -= entry;
    GarbageBytes += entry;
  } else {
    ++Cells;
  }
  *slot = appended;
  if (GarbageBytes > ChunkBytes && GarbageBytes > LiveBytes) Compact();
}

std::string_view TCellStore::Get(int column, int row) const {
  const TPage* page = FindPage(column, row);
  return page ? TextAt((*page)[Slot(row)]) : std::string_view();
}

const TCellStore::TPage* TCellStore::FindPage(int column, int row) const {
  const auto found = Pages.find(PageKey(column, row));
  return found == Pages.end() ? nullptr : found->second.get();
}

bool TCellStore::Has(int column, int row) const {
  const auto found = Pages.find(PageKey(column, row));
  return found != Pages.end() && (*found->second)[Slot(row)] != 0;
}

void TCellStore::Compact() {
  TCellStore live;
  for (auto& [key, page] : Pages)
    for (uint32_t& slot : *page)
      if (slot) slot = live.Append(TextAt(slot));
  Chunks = std::move(live.Chunks);
  Used = live.Used;
  LastChunkBytes = live.LastChunkBytes;
  AllocatedBytes = live.AllocatedBytes;
  LiveBytes = live.LiveBytes;
  GarbageBytes = 0;
}

size_t TCellStore::StorageBytes() const {
  // A node of the page index: three links and a colour, then the key and the page pointer.
  const size_t node = 4 * sizeof(void*) + sizeof(std::pair<const uint64_t, std::unique_ptr<TPage>>);
  return AllocatedBytes + Chunks.capacity() * sizeof(Chunks[0]) + Pages.size() * (sizeof(TPage) + node);
}

// --- TReportTable

TReportTable::TReportTable(std::string name) : TableName(std::move(name)) {}

int TReportTable::NextRow() {
  // The count is 32-bit; one more row than it can count is refused instead of wrapping.
  if (Rows == INT_MAX) ThrowListIndexError(Rows);
  return Rows++;
}

int32_t TReportTable::SetCell(int row, int column, std::u16string_view text) {
  return Guarded([&] { Cells.Set(column, row, WideToNarrow(text)); });
}

void TReportTable::Build() {
  if (Data.Active()) return;
  Data.CreateDataSet();
  const auto columns = static_cast<size_t>(Data.FieldCount());
  std::vector<bool> blob(columns);
  for (size_t c = 0; c < columns; ++c) blob[c] = Data.FieldInfo(static_cast<int>(c)).DataType == TFieldType::ftBlob;
  // The pages of the current block of rows, one per column, looked up once per block.
  std::vector<const TCellStore::TPage*> pages(columns);
  for (int r = 0; r < Rows; ++r) {
    if (TCellStore::Slot(r) == 0)
      for (size_t c = 0; c < columns; ++c) pages[c] = Cells.FindPage(static_cast<int>(c), r);
    Data.Append();
    for (size_t c = 0; c < columns; ++c) {
      // A cell the field does not take leaves that field empty; the row goes on.
      try {
        const std::string_view text = pages[c] ? Cells.TextAt((*pages[c])[TCellStore::Slot(r)]) : std::string_view();
        if (blob[c]) {
          const TBase64DecodeStream stream = TBase64DecodeStream::FromNarrow(text);
          Data.SetFieldBlob(static_cast<int>(c), stream.Bytes());
        } else {
          Data.SetFieldText(static_cast<int>(c), text);
        }
      } catch (const Exception&) {
      }
    }
    Data.Post();
  }
}

// --- TReportDataset

int TReportDataset::AddTable(const std::string& name) {
  Tables.push_back(std::make_unique<TReportTable>(name));
  return static_cast<int>(Tables.size()) - 1;
}

int32_t TReportDataset::AddColumn(int table, std::u16string_view name, int kind) {
  return Guarded([&] {
    TClientDataSet& data = TableDataSet(table);
    std::string narrowName = WideToNarrow(name);
    if (!narrowName.empty() && data.IndexOfFieldDef(narrowName) >= 0)
      throw EDatabaseError(Format("Duplicate field name '%s'", narrowName.c_str()));
    switch (kind) {
      case ReportColumnDateTime:
        data.AddFieldDef(std::move(narrowName), TFieldType::ftDateTime, 0);
        break;
      case ReportColumnBlob:
        data.AddFieldDef(std::move(narrowName), TFieldType::ftBlob, 0);
        data.FieldDefs().back().Subtype = "Binary";
        break;
      default:
        data.AddFieldDef(std::move(narrowName), TFieldType::ftString, ReportTextColumnSize);
        break;
    }
  });
}

int32_t TReportDataset::AddRow(int table, int& row) {
  return Guarded([&] { row = Table(table).NextRow(); });
}

int32_t TReportDataset::SetCell(int table, int row, int column, std::u16string_view text) {
  int32_t status = ReportDatasetFailed;
  Guarded([&] { status = Table(table).SetCell(row, column, text); });
  return status;
}

void TReportDataset::Clear() {
  // Front to back, as the tables were added.
  for (auto& table : Tables) table.reset();
  Tables.clear();
}

TReportTable& TReportDataset::Table(int index) {
  if (index < 0 || index >= TableCount()) ThrowListIndexError(index);
  return *Tables[static_cast<size_t>(index)];
}

void TReportDataset::BuildTables() {
  for (auto& table : Tables) table->Build();
}

void TReportDataset::SaveBillFiles() {
  SaveBillFileSet(1, 1);
  if (TableCount() == 3) SaveBillFileSet(2, 4);
  if (TableCount() == 4) {
    SaveBillFileSet(2, 4);
    SaveBillFileSet(3, 7);
  }
}

void TReportDataset::SaveBillFileSet(int detail, int first) {
  if (first < 1 || first > static_cast<int>(BillFileNames.size()) - 2) ThrowListIndexError(first);
  SaveTable(0, first);
  SaveTable(detail, first + 1);
  SaveTable(0, first + 2);
}

void TReportDataset::SaveTable(int table, int position) {
  TClientDataSet& data = TableDataSet(table);
  data.SaveToFile(Directory + BillFileNames[static_cast<size_t>(position - 1)]);
}

size_t TReportDataset::CellStorageBytes() const {
  size_t bytes = 0;
  for (const auto& table : Tables) bytes += table->CellStore().StorageBytes();
  return bytes;
}

}  // namespace trs
