// The staged bill tables: the sparse cell store, building datasets from it, and the bill
// file sets.
#include "drivers/ReportDataset.h"

#include <climits>
#include <exception>

#include "drivers/Base64DecodeStream.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs {
namespace {

// Arena entries start with the text's length in 7-bit groups, low group first; the high
// bit of a byte says that another follows.
void AppendLength(std::vector<char>& arena, size_t length) {
  while (length >= 0x80) {
    arena.push_back(static_cast<char>(0x80 | (length & 0x7F)));
    length >>= 7;
  }
  arena.push_back(static_cast<char>(length));
}

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
  // Slots hold offset + 1 in 32 bits.
  if (Arena.size() + entry >= UINT32_MAX) throw Exception("Too much text staged in one table");
  if (Arena.size() + entry > Arena.capacity()) {
    // Grow by a quarter rather than doubling: the arena is most of a table's memory, and
    // a quarter still keeps appends amortised constant.
    Arena.reserve(std::max(Arena.size() + entry, Arena.capacity() + Arena.capacity() / 4 + 256));
  }
  const auto offset = static_cast<uint32_t>(Arena.size());
  AppendLength(Arena, text.size());
  Arena.insert(Arena.end(), text.begin(), text.end());
  return offset + 1;
}

std::string_view TCellStore::TextAt(uint32_t slot) const {
  size_t pos = slot - 1;
  size_t length = 0;
  for (unsigned shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(Arena[pos++]);
    length |= static_cast<size_t>(byte & 0x7F) << shift;
    if (!(byte & 0x80)) break;
  }
  return std::string_view(Arena.data() + pos, length);
}

void TCellStore::Set(int column, int row, std::string_view text) {
  const uint64_t key = PageKey(column, row);
  auto found = Pages.find(key);
  uint32_t* slot = found == Pages.end() ? nullptr : &(*found->second)[Slot(row)];
  const uint32_t appended = Append(text);
  if (!slot) {
    auto page = std::make_unique<TPage>();
    page->fill(0);
    slot = &(*page)[Slot(row)];
    Pages.emplace(key, std::move(page));
  }
  if (*slot) {
    const std::string_view old = TextAt(*slot);
    GarbageBytes += LengthBytes(old.size()) + old.size();
  } else {
    ++Cells;
  }
  *slot = appended;
  if (GarbageBytes > 4096 && GarbageBytes > Arena.size() / 2) Compact();
}

std::string_view TCellStore::Get(int column, int row) const {
  const auto found = Pages.find(PageKey(column, row));
  if (found == Pages.end()) return {};
  const uint32_t slot = (*found->second)[Slot(row)];
  return slot ? TextAt(slot) : std::string_view();
}

bool TCellStore::Has(int column, int row) const {
  const auto found = Pages.find(PageKey(column, row));
  return found != Pages.end() && (*found->second)[Slot(row)] != 0;
}

void TCellStore::Compact() {
  std::vector<char> live;
  live.reserve(Arena.size() - GarbageBytes);
  for (auto& [key, page] : Pages) {
    for (uint32_t& slot : *page) {
      if (!slot) continue;
      const std::string_view text = TextAt(slot);
      const auto offset = static_cast<uint32_t>(live.size());
      AppendLength(live, text.size());
      live.insert(live.end(), text.begin(), text.end());
      slot = offset + 1;
    }
  }
  Arena.swap(live);
  GarbageBytes = 0;
}

size_t TCellStore::StorageBytes() const {
  // A node of the page index holds the next pointer, the key and the page pointer.
  const size_t node = sizeof(void*) + sizeof(std::pair<const uint64_t, std::unique_ptr<TPage>>);
  return Arena.capacity() + Pages.size() * (sizeof(TPage) + node) + Pages.bucket_count() * sizeof(void*);
}

// --- TReportTable

TReportTable::TReportTable(std::string name) : TableName(std::move(name)) {}

int TReportTable::NextRow() {
  // The count is 32-bit; one more row than it can count is refused instead of wrapping.
  if (Rows == INT_MAX) throw EListError(Format("List index out of bounds (%d)", Rows));
  return Rows++;
}

int32_t TReportTable::SetCell(int row, int column, std::u16string_view text) {
  return Guarded([&] { Cells.Set(column, row, WideToNarrow(text)); });
}

void TReportTable::Build() {
  if (Data.Active()) return;
  Data.CreateDataSet();
  const int columns = Data.FieldCount();
  std::vector<bool> blob(static_cast<size_t>(columns));
  for (int c = 0; c < columns; ++c) blob[static_cast<size_t>(c)] = Data.FieldInfo(c).DataType == TFieldType::ftBlob;
  for (int r = 0; r < Rows; ++r) {
    Data.Append();
    for (int c = 0; c < columns; ++c) {
      // A cell the field does not take leaves that field empty; the row goes on.
      try {
        const std::string_view text = Cells.Get(c, r);
        if (blob[static_cast<size_t>(c)]) {
          const TBase64DecodeStream stream = TBase64DecodeStream::FromNarrow(text);
          Data.SetFieldBlob(c, stream.Bytes());
        } else {
          Data.SetFieldText(c, text);
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
