// The staged bill tables: tables a page builds cell by cell, turned into client datasets
// and written as the bill files (billhead.cds ... billtail3.cds) that the bill library reads.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/ClientDataSet.h"

namespace trs {

// Status of the operations that never let an error escape.
inline constexpr int32_t ReportDatasetOk = 0;
inline constexpr int32_t ReportDatasetFailed = static_cast<int32_t>(0x8000FFFF);

// Column kinds of AddColumn: 2 date and time, 3 binary (base64 text), 1 and any other text.
inline constexpr int ReportColumnText = 1;
inline constexpr int ReportColumnDateTime = 2;
inline constexpr int ReportColumnBlob = 3;
// The width, in bytes, of a text column.
inline constexpr int ReportTextColumnSize = 100;

// A sparse store of narrow texts addressed by (column, row), any 32-bit values, negative
// ones included; a cell never set reads as the empty text.
//
// Memory stays proportional to the cells set, never to their indexes: rows are grouped in
// pages of PageRows per column, a page exists only once one of its cells is set, and a page
// slot holds the address of the cell's text (a length prefix, then the bytes) in the text
// arena. The arena is a 32-bit address space cut into chunks of ChunkBytes, allocated as
// they fill: a text never straddles two chunks, and one longer than a chunk gets an
// allocation of its own spanning as many chunk addresses as it needs. Only the last chunk
// grows (doubling, up to ChunkBytes), so a small table holds a small arena, a large one
// over-allocates by less than a chunk, and growth copies at most one chunk. Replacing a
// cell leaves its old text as garbage, compacted away once it outweighs the live texts.
// The pages are found through an ordered map, so that no choice of indexes can make a
// lookup slower than logarithmic.
class TCellStore {
 public:
  static constexpr uint32_t PageRows = 64;
  static constexpr size_t ChunkBytes = 16384;

  // Stores a copy of the text. Fails (Exception) when one table would hold 4 GiB of text.
  void Set(int column, int row, std::string_view text);
  std::string_view Get(int column, int row) const;
  // True once the cell was set, even to the empty text.
  bool Has(int column, int row) const;
  size_t CellCount() const { return Cells; }
  // Bytes of heap this store holds: arena chunks, pages and the page index.
  size_t StorageBytes() const;

  // For reading many cells in row order: the page holding (column, row) or nullptr, the
  // slot of the row in it, and the text of a slot value.
  // Slot values are arena address + 1; 0 marks a cell never set.
  using TPage = std::array<uint32_t, PageRows>;
  const TPage* FindPage(int column, int row) const;
  static size_t Slot(int row) { return static_cast<uint32_t>(row) % PageRows; }
  std::string_view TextAt(uint32_t slot) const;

 private:
  static uint64_t PageKey(int column, int row) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(column)) << 32) | (static_cast<uint32_t>(row) / PageRows);
  }
  // Stores an entry for the text and returns its slot value.
  uint32_t Append(std::string_view text);
  void Compact();

  std::map<uint64_t, std::unique_ptr<TPage>> Pages;
  // Chunk i holds the addresses [i * ChunkBytes, (i + 1) * ChunkBytes); a long text's
  // allocation sits at the first of its chunk addresses, the others are empty.
  std::vector<std::unique_ptr<char[]>> Chunks;
  uint64_t Used = 0;            // the next free address
  size_t LastChunkBytes = 0;    // allocated bytes of the last chunk (it grows to ChunkBytes)
  size_t AllocatedBytes = 0;    // bytes of all chunk allocations
  size_t LiveBytes = 0;         // bytes of the entries that cells point to
  size_t GarbageBytes = 0;
  size_t Cells = 0;
};

// One staged table: its name, its cells, the number of rows added, and the client dataset
// it becomes. Columns are the dataset's field definitions. The dataset stays inactive until
// the first Build and is never rebuilt: what is added after that does not reach it.
class TReportTable {
 public:
  explicit TReportTable(std::string name);
  TReportTable(const TReportTable&) = delete;
  TReportTable& operator=(const TReportTable&) = delete;

  const std::string& Name() const { return TableName; }
  // Returns RowCount, then counts one more row; cells are set separately.
  int NextRow();
  // Stores the text, in the narrow page, at (column, row). Status, see ReportDatasetOk.
  int32_t SetCell(int row, int column, std::u16string_view text);
  // Creates the dataset from the columns and appends RowCount records of the cells; a
  // cell that the field does not take (a bad date, bad base64) leaves that field empty.
  // A second call does nothing. No columns: "No fields defined.  Cannot create dataset".
  void Build();
  TClientDataSet& DataSet() { return Data; }
  const TClientDataSet& DataSet() const { return Data; }
  int RowCount() const { return Rows; }
  // The narrow text of a cell; empty when never set.
  std::string Cell(int column, int row) const { return std::string(Cells.Get(column, row)); }
  const TCellStore& CellStore() const { return Cells; }

 private:
  std::string TableName;
  TCellStore Cells;
  TClientDataSet Data;
  int Rows = 0;
};

// The tables of one bill, addressed by their position in the order of addition (names are
// kept but never looked up; table 0 is the head, 1 to 3 the detail tables), and the bill
// files written from them into Directory.
class TReportDataset {
 public:
  TReportDataset() = default;
  ~TReportDataset() { Clear(); }
  TReportDataset(const TReportDataset&) = delete;
  TReportDataset& operator=(const TReportDataset&) = delete;

  // The staging directory, with its trailing separator; assigned once by the owner and
  // never created here.
  std::string Directory;

  // Appends a table and returns its index.
  int AddTable(const std::string& name);
  // Status operations: every error inside them becomes ReportDatasetFailed.
  // A column of the kind's type (see ReportColumnText...); a non-empty name that the table
  // already has, in any letter case, fails.
  int32_t AddColumn(int table, std::u16string_view name, int kind);
  // `row` receives the table's NextRow; untouched on failure.
  int32_t AddRow(int table, int& row);
  int32_t SetCell(int table, int row, int column, std::u16string_view text);

  // Destroys the tables one by one from the front.
  void Clear();
  int TableCount() const { return static_cast<int>(Tables.size()); }
  // "List index out of bounds (%d)" outside the list.
  TReportTable& Table(int index);
  TClientDataSet& TableDataSet(int index) { return Table(index).DataSet(); }

  // Builds every table from index 0 up; the first error stops it.
  void BuildTables();
  // The first set always; with exactly 3 tables also the second, with exactly 4 the second
  // and third. One table: billhead.cds is written, then table 1's index error.
  void SaveBillFiles();
  // Table 0 as bill file `first`, table `detail` as first + 1, table 0 as first + 2, in this
  // order (positions 1 to 9 of BillFileNames). A `first` outside 1..7 raises the list's
  // index error before anything is written.
  void SaveBillFileSet(int detail, int first);

  size_t CellStorageBytes() const;

  // The bill files, positions 1 to 9.
  static constexpr std::array<const char*, 9> BillFileNames = {
      "billhead.cds",  "billdetail.cds",  "billtail.cds",  "billhead2.cds", "billdetail2.cds",
      "billtail2.cds", "billhead3.cds",   "billdetail3.cds", "billtail3.cds"};

 private:
  void SaveTable(int table, int position);

  std::vector<std::unique_ptr<TReportTable>> Tables;
};

}  // namespace trs
