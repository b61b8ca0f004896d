// The staged bill tables: tables, rows and cells, building datasets, the bill file sets and
// the cell store's memory.
#include "drivers/ReportDataset.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <unistd.h>

#include "DriverCalls.h"
#include "dataset/ClientDataSet.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace trs {
namespace {

namespace fs = std::filesystem;

using test::ExpectError;

// The records of a built dataset, field by field as text; "<null>" for a field without a
// value.
std::vector<std::vector<std::string>> Records(TClientDataSet& data) {
  std::vector<std::vector<std::string>> records;
  for (data.First(); !data.Eof(); data.Next()) {
    std::vector<std::string> fields;
    for (int f = 0; f < data.FieldCount(); ++f)
      fields.push_back(data.FieldIsNull(f) ? "<null>" : data.FieldAsString(f));
    records.push_back(fields);
  }
  return records;
}

using Rows = std::vector<std::vector<std::string>>;

TEST(ReportDatasetTest, TablesAreNumberedInOrderOfAdditionWhateverTheirNames) {
  TReportDataset bill;
  EXPECT_EQ(bill.AddTable("table_7"), 0);
  EXPECT_EQ(bill.AddTable("table_7"), 1);
  EXPECT_EQ(bill.AddTable(""), 2);
  EXPECT_EQ(bill.TableCount(), 3);
  EXPECT_EQ(bill.Table(0).Name(), "table_7");
  EXPECT_EQ(bill.Table(1).Name(), "table_7");
  EXPECT_NE(&bill.Table(0), &bill.Table(1));
  EXPECT_EQ(&bill.TableDataSet(1), &bill.Table(1).DataSet());

  for (int index : {-1, 3, INT_MAX, INT_MIN}) {
    ExpectError([&] { bill.Table(index); }, Format("List index out of bounds (%d)", index));
    ExpectError([&] { bill.TableDataSet(index); }, Format("List index out of bounds (%d)", index));
  }

  bill.Clear();
  EXPECT_EQ(bill.TableCount(), 0);
  EXPECT_EQ(bill.AddTable("again"), 0);
}

TEST(ReportDatasetTest, RowsAreCountedPerTable) {
  TReportDataset bill;
  bill.AddTable("head");
  bill.AddTable("detail");
  int row = -7;
  for (int expected : {0, 1, 2}) {
    EXPECT_EQ(bill.AddRow(1, row), ReportDatasetOk);
    EXPECT_EQ(row, expected);
  }
  EXPECT_EQ(bill.AddRow(0, row), ReportDatasetOk);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(bill.Table(1).RowCount(), 3);

  row = -7;
  for (int table : {-1, 2}) {
    EXPECT_EQ(bill.AddRow(table, row), ReportDatasetFailed);
    EXPECT_EQ(row, -7);
  }
  EXPECT_EQ(bill.Table(0).RowCount(), 1);
  EXPECT_EQ(bill.Table(1).RowCount(), 3);
}

TEST(ReportDatasetTest, OperationsOnAMissingTableFailAndChangeNothing) {
  TReportDataset bill;
  bill.AddTable("head");
  ASSERT_EQ(bill.AddColumn(0, u"A", 1), ReportDatasetOk);
  ASSERT_EQ(bill.SetCell(0, 0, 0, u"kept"), ReportDatasetOk);
  const size_t bytes = bill.CellStorageBytes();

  for (int table : {1, -1, INT_MAX, INT_MIN}) {
    EXPECT_EQ(bill.SetCell(table, 0, 0, u"lost"), ReportDatasetFailed) << table;
    EXPECT_EQ(bill.AddColumn(table, u"B", 1), ReportDatasetFailed) << table;
  }
  EXPECT_EQ(static_cast<uint32_t>(ReportDatasetFailed), 0x8000FFFFu);
  EXPECT_EQ(bill.TableCount(), 1);
  EXPECT_EQ(bill.Table(0).Cell(0, 0), "kept");
  EXPECT_EQ(bill.TableDataSet(0).FieldDefs().size(), 1u);
  EXPECT_EQ(bill.CellStorageBytes(), bytes);
}

TEST(ReportDatasetTest, ColumnKindsGiveTheirFieldTypes) {
  const struct {
    int Kind;
    TFieldType Type;
    int Size;
    std::string Subtype;
  } cases[] = {
      {1, TFieldType::ftString, 100, ""},
      {2, TFieldType::ftDateTime, 0, ""},
      {3, TFieldType::ftBlob, 0, "Binary"},
      {0, TFieldType::ftString, 100, ""},
      {4, TFieldType::ftString, 100, ""},
      {-1, TFieldType::ftString, 100, ""},
      {INT_MAX, TFieldType::ftString, 100, ""},
  };
  TReportDataset bill;
  bill.AddTable("t");
  for (const auto& c : cases) ASSERT_EQ(bill.AddColumn(0, Utf8ToWide("K" + std::to_string(c.Kind)), c.Kind), ReportDatasetOk);
  bill.BuildTables();
  TClientDataSet& data = bill.TableDataSet(0);
  ASSERT_EQ(data.FieldCount(), static_cast<int>(std::size(cases)));
  for (int f = 0; f < data.FieldCount(); ++f) {
    const auto& c = cases[f];
    EXPECT_EQ(data.FieldInfo(f).Name, "K" + std::to_string(c.Kind));
    EXPECT_EQ(data.FieldInfo(f).DataType, c.Type) << c.Kind;
    EXPECT_EQ(data.FieldInfo(f).Size, c.Size) << c.Kind;
    EXPECT_EQ(data.FieldInfo(f).Subtype, c.Subtype) << c.Kind;
  }
}

TEST(ReportDatasetTest, ADuplicateColumnNameInAnyCaseFails) {
  TReportDataset bill;
  bill.AddTable("head");
  bill.AddTable("detail");
  EXPECT_EQ(bill.AddColumn(0, u"Amount", 1), ReportDatasetOk);
  EXPECT_EQ(bill.AddColumn(0, u"AMOUNT", 2), ReportDatasetFailed);
  EXPECT_EQ(bill.AddColumn(0, u"amount", 3), ReportDatasetFailed);
  EXPECT_EQ(bill.AddColumn(0, u"Amount2", 1), ReportDatasetOk);
  EXPECT_EQ(bill.AddColumn(1, u"amount", 1), ReportDatasetOk);  // another table
  ASSERT_EQ(bill.TableDataSet(0).FieldDefs().size(), 2u);
  EXPECT_EQ(bill.TableDataSet(0).FieldDefs()[0].DataType, TFieldType::ftString);
  EXPECT_EQ(bill.TableDataSet(0).FieldDefs()[1].Name, "Amount2");
}

TEST(ReportDatasetTest, BuildTurnsTheCountedRowsIntoRecords) {
  TReportDataset bill;
  bill.AddTable("detail");
  bill.AddColumn(0, u"Item", 1);
  bill.AddColumn(0, u"Qty", 1);
  int row = 0;
  bill.AddRow(0, row);
  bill.AddRow(0, row);
  EXPECT_EQ(bill.SetCell(0, 0, 0, u"tea"), ReportDatasetOk);
  EXPECT_EQ(bill.SetCell(0, 0, 1, u"2"), ReportDatasetOk);
  EXPECT_EQ(bill.SetCell(0, 1, 0, u"\u7eff\u8336"), ReportDatasetOk);
  // Beyond RowCount and beyond the last column: kept in the store, absent from the dataset.
  EXPECT_EQ(bill.SetCell(0, 5, 0, u"row five"), ReportDatasetOk);
  EXPECT_EQ(bill.SetCell(0, 0, 2, u"column two"), ReportDatasetOk);
  EXPECT_EQ(bill.Table(0).Cell(0, 5), "row five");
  EXPECT_EQ(bill.Table(0).Cell(2, 0), "column two");
  EXPECT_EQ(bill.Table(0).Cell(1, 1), "");  // never set

  EXPECT_FALSE(bill.TableDataSet(0).Active());
  bill.BuildTables();
  TClientDataSet& data = bill.TableDataSet(0);
  EXPECT_TRUE(data.Active());
  const Rows expected = {{"tea", "2"}, {WideToNarrow(u"\u7eff\u8336"), ""}};
  EXPECT_EQ(Records(data), expected);
}

TEST(ReportDatasetTest, CellsReplaceEarlierValues) {
  TReportDataset bill;
  bill.AddTable("t");
  bill.AddColumn(0, u"A", 1);
  int row = 0;
  bill.AddRow(0, row);
  bill.SetCell(0, 0, 0, u"first");
  bill.SetCell(0, 0, 0, u"second");
  bill.BuildTables();
  EXPECT_EQ(Records(bill.TableDataSet(0)), (Rows{{"second"}}));
}

TEST(ReportDatasetTest, TextLongerThanTheColumnIsCutTo100Bytes) {
  TReportDataset bill;
  bill.AddTable("t");
  bill.AddColumn(0, u"Note", 1);
  int row = 0;
  bill.AddRow(0, row);
  std::string text;
  for (int i = 0; i < 150; ++i) text += static_cast<char>('a' + i % 26);
  bill.SetCell(0, 0, 0, Utf8ToWide(text));
  EXPECT_EQ(bill.Table(0).Cell(0, 0), text);  // the store keeps it whole
  bill.BuildTables();
  EXPECT_EQ(Records(bill.TableDataSet(0)), (Rows{{text.substr(0, 100)}}));
}

TEST(ReportDatasetTest, ACellTheFieldRefusesLeavesItEmptyAndTheBuildGoesOn) {
  const struct {
    int Kind;
    std::u16string Text;
    std::string Stored;  // FieldAsString, "<null>" without a value
  } cases[] = {
      {3, u"Zm9v", "foo"},    // four characters without padding: three bytes
      {3, u"Zm9vYg==", "foob"},
      {3, u"Zm9", "<null>"},  // not a multiple of four
      {3, u"Zm9v\r\n", "<null>"},
      {3, u"Zm!v", "<null>"},
      {3, u"Zg=a", "<null>"},
      {2, u"2024-03-05 10:20", "2024-03-05 10:20:00"},
      {2, u"2024-13-45", "<null>"},
      {2, u"tomorrow", "<null>"},
      {1, u"plain", "plain"},
  };
  TReportDataset bill;
  bill.AddTable("t");
  int row = 0;
  bill.AddRow(0, row);
  for (size_t i = 0; i < std::size(cases); ++i) {
    ASSERT_EQ(bill.AddColumn(0, Utf8ToWide("C" + std::to_string(i)), cases[i].Kind), ReportDatasetOk);
    ASSERT_EQ(bill.SetCell(0, 0, static_cast<int>(i), cases[i].Text), ReportDatasetOk);
  }
  ASSERT_NO_THROW(bill.BuildTables());
  const Rows records = Records(bill.TableDataSet(0));
  ASSERT_EQ(records.size(), 1u);
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(records[0][i], cases[i].Stored) << "column " << i << " kind " << cases[i].Kind;
  bill.TableDataSet(0).First();
  EXPECT_EQ(bill.TableDataSet(0).FieldAsBytes(0), "foo");
}

TEST(ReportDatasetTest, ATableIsBuiltOnlyOnce) {
  TReportDataset bill;
  bill.AddTable("t");
  bill.AddColumn(0, u"A", 1);
  int row = 0;
  bill.AddRow(0, row);
  bill.SetCell(0, 0, 0, u"before");
  bill.BuildTables();

  bill.AddRow(0, row);
  bill.SetCell(0, 1, 0, u"after");
  bill.SetCell(0, 0, 0, u"changed");
  EXPECT_EQ(bill.AddColumn(0, u"B", 1), ReportDatasetOk);
  bill.BuildTables();
  TClientDataSet& data = bill.TableDataSet(0);
  EXPECT_EQ(data.FieldCount(), 1);
  EXPECT_EQ(Records(data), (Rows{{"before"}}));
}

TEST(ReportDatasetTest, ATableWithoutColumnsStopsTheBuildAtThatTable) {
  TReportDataset bill;
  bill.AddTable("head");
  bill.AddTable("empty");
  bill.AddTable("detail");
  bill.AddColumn(0, u"A", 1);
  bill.AddColumn(2, u"B", 1);
  ExpectError([&] { bill.BuildTables(); }, "No fields defined.  Cannot create dataset");
  EXPECT_TRUE(bill.TableDataSet(0).Active());
  EXPECT_FALSE(bill.TableDataSet(1).Active());
  EXPECT_FALSE(bill.TableDataSet(2).Active());
}

TEST(ReportDatasetTest, HostileIndexesCostNoMemoryOfTheirSize) {
  TReportDataset bill;
  bill.AddTable("t");
  bill.AddColumn(0, u"A", 1);
  int row = 0;
  bill.AddRow(0, row);
  bill.SetCell(0, 0, 0, u"real");
  const struct {
    int Row, Column;
  } cells[] = {{INT_MAX, 0}, {0, INT_MAX}, {INT_MAX, INT_MAX}, {-1, 0}, {0, -1}, {INT_MIN, INT_MIN}, {-65, 3}};
  for (const auto& cell : cells) {
    const std::u16string text = Utf8ToWide(std::to_string(cell.Row) + "," + std::to_string(cell.Column));
    EXPECT_EQ(bill.SetCell(0, cell.Row, cell.Column, text), ReportDatasetOk);
  }
  // Negative indexes are kept like any other and read back; none aliases another cell.
  for (const auto& cell : cells)
    EXPECT_EQ(bill.Table(0).Cell(cell.Column, cell.Row), std::to_string(cell.Row) + "," + std::to_string(cell.Column));
  EXPECT_EQ(bill.Table(0).Cell(0, 0), "real");
  EXPECT_LT(bill.CellStorageBytes(), 16u * 1024);
  bill.BuildTables();
  EXPECT_EQ(Records(bill.TableDataSet(0)), (Rows{{"real"}}));
}

// The cell store on its own: overwrites, compaction and long texts keep every value.
TEST(ReportDatasetTest, TheCellStoreKeepsTheLastValueOfEveryCellThroughCompaction) {
  TCellStore store;
  std::map<std::pair<int, int>, std::string> expected;
  for (int round = 0; round < 40; ++round) {
    for (int row = 0; row < 150; row += 1 + round % 3) {
      for (int column = 0; column < 4; ++column) {
        std::string text = "r" + std::to_string(round) + "/" + std::to_string(row) + "/" + std::to_string(column);
        if ((row + column) % 37 == 0) text.append(300 + static_cast<size_t>(round), 'x');  // multi-byte lengths
        if (row % 11 == 0) text.clear();
        store.Set(column, row, text);
        expected[{column, row}] = text;
      }
    }
  }
  EXPECT_EQ(store.CellCount(), expected.size());
  for (const auto& [cell, text] : expected) {
    EXPECT_TRUE(store.Has(cell.first, cell.second));
    ASSERT_EQ(store.Get(cell.first, cell.second), text) << cell.first << "," << cell.second;
  }
  EXPECT_FALSE(store.Has(0, 1000));
  EXPECT_FALSE(store.Has(5, 0));
  // Replaced texts do not pile up: the store stays near the live texts' size.
  size_t live = 0;
  for (const auto& [cell, text] : expected) live += text.size() + 2;
  EXPECT_LT(store.StorageBytes(), 3 * live + 64 * 1024);
}

TEST(ReportDatasetTest, TextsAroundAndBeyondAChunkKeepTheirBytes) {
  const size_t chunk = TCellStore::ChunkBytes;
  const size_t lengths[] = {0, 1, 127, 128, chunk - 3, chunk - 2, chunk - 1, chunk, chunk + 1, 3 * chunk + 5, 10, 200};
  TCellStore store;
  for (int round = 0; round < 3; ++round) {  // later rounds replace every cell, and compact
    for (size_t i = 0; i < std::size(lengths); ++i) {
      std::string text(lengths[i], static_cast<char>('a' + round));
      if (!text.empty()) text.back() = static_cast<char>('0' + i % 10);
      store.Set(static_cast<int>(i % 3), static_cast<int>(i), text);
    }
    for (size_t i = 0; i < std::size(lengths); ++i) {
      const std::string_view text = store.Get(static_cast<int>(i % 3), static_cast<int>(i));
      ASSERT_EQ(text.size(), lengths[i]) << round << " " << i;
      if (!text.empty()) {
        EXPECT_EQ(text.front(), lengths[i] == 1 ? '0' + static_cast<char>(i % 10) : 'a' + round);
        EXPECT_EQ(text.back(), '0' + static_cast<char>(i % 10));
      }
    }
  }
  size_t total = 0;
  for (size_t length : lengths) total += length;
  EXPECT_LT(store.StorageBytes(), 2 * total + 8 * chunk);
}

TEST(ReportDatasetTest, RewritingOneCellDoesNotGrowTheStore) {
  TCellStore store;
  const std::string text(1000, 'q');
  store.Set(0, 0, text);
  for (int i = 0; i < 10000; ++i) store.Set(0, 0, text);  // 10 MB of text written
  EXPECT_EQ(store.Get(0, 0), text);
  EXPECT_LT(store.StorageBytes(), 64u * 1024);
}

TEST(ReportDatasetTest, StagedCellsCostAtMostTwiceTheirText) {
  TReportDataset bill;
  size_t raw = 0;
  for (int t = 0; t < 4; ++t) {
    bill.AddTable("table_" + std::to_string(t));
    const int rows = t == 0 ? 1 : 1000;
    for (int c = 0; c < 10; ++c) bill.AddColumn(t, Utf8ToWide("C" + std::to_string(c)), 1);
    for (int r = 0; r < rows; ++r) {
      int row = 0;
      bill.AddRow(t, row);
      for (int c = 0; c < 10; ++c) {
        const std::string text = "v" + std::to_string(r * 10 + c) + std::string(static_cast<size_t>(4 + (r + c) % 5), '.');
        raw += text.size();
        bill.SetCell(t, row, c, Utf8ToWide(text));
      }
    }
  }
  EXPECT_LE(static_cast<double>(bill.CellStorageBytes()), 2.0 * static_cast<double>(raw));
}

// Bill files in a fresh staging directory per test.
class BillFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("trs-bill-" + std::to_string(::getpid()) + "-" +
                                       testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }

  // `count` built tables; table t has the one column "T<t>" and one row holding "t<t>".
  void Stage(TReportDataset& bill, int count) {
    bill.Directory = Dir.string() + "/";
    for (int t = 0; t < count; ++t) {
      bill.AddTable("table_" + std::to_string(t));
      bill.AddColumn(t, Utf8ToWide("T" + std::to_string(t)), 1);
      int row = 0;
      bill.AddRow(t, row);
      bill.SetCell(t, row, 0, Utf8ToWide("t" + std::to_string(t)));
    }
    bill.BuildTables();
  }

  // Every file in the directory and the table it holds (its column's name).
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(Dir)) {
      if (!entry.is_regular_file()) continue;
      TClientDataSet data;
      data.LoadFromFile(entry.path().string());
      std::string table = data.FieldInfo(0).Name;
      data.First();
      if (data.RecordCount() != 1 || data.FieldAsString(0) != "t" + table.substr(1)) table += " (wrong records)";
      files[entry.path().filename().string()] = table;
    }
    return files;
  }

  fs::path Dir;
};

TEST_F(BillFilesTest, WhichSetsAreWrittenDependsOnTheNumberOfTables) {
  using TFileTables = std::map<std::string, std::string>;
  const TFileTables first = {{"billhead.cds", "T0"}, {"billdetail.cds", "T1"}, {"billtail.cds", "T0"}};
  TFileTables second = first;
  second.insert({{"billhead2.cds", "T0"}, {"billdetail2.cds", "T2"}, {"billtail2.cds", "T0"}});
  TFileTables third = second;
  third.insert({{"billhead3.cds", "T0"}, {"billdetail3.cds", "T3"}, {"billtail3.cds", "T0"}});
  const struct {
    int Tables;
    TFileTables Written;
    std::string Error;
  } cases[] = {
      {0, {}, "List index out of bounds (0)"},
      {1, {{"billhead.cds", "T0"}}, "List index out of bounds (1)"},
      {2, first, ""},
      {3, second, ""},
      {4, third, ""},
      {5, first, ""},
      {6, first, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Tables);
    for (const auto& entry : fs::directory_iterator(Dir)) fs::remove_all(entry.path());
    TReportDataset bill;
    Stage(bill, c.Tables);
    if (c.Error.empty())
      EXPECT_NO_THROW(bill.SaveBillFiles());
    else
      ExpectError([&] { bill.SaveBillFiles(); }, c.Error);
    EXPECT_EQ(Files(), c.Written);
  }
}

TEST_F(BillFilesTest, AFileSetIsHeadDetailHeadFromItsPosition) {
  TReportDataset bill;
  Stage(bill, 4);
  bill.SaveBillFileSet(3, 4);
  EXPECT_EQ(Files(), (std::map<std::string, std::string>{
                         {"billhead2.cds", "T0"}, {"billdetail2.cds", "T3"}, {"billtail2.cds", "T0"}}));
  // Positions past the nine names are refused before anything is written.
  for (int first : {0, 8, -1, INT_MAX}) {
    ExpectError([&] { bill.SaveBillFileSet(1, first); }, Format("List index out of bounds (%d)", first));
  }
  EXPECT_EQ(Files().size(), 3u);
  // A missing detail table fails after the head file.
  fs::remove(Dir / "billhead2.cds");
  ExpectError([&] { bill.SaveBillFileSet(4, 4); }, "List index out of bounds (4)");
  EXPECT_TRUE(fs::exists(Dir / "billhead2.cds"));
}

TEST_F(BillFilesTest, FilesReplaceEarlierOnes) {
  std::ofstream(Dir / "billhead.cds") << "old";
  std::ofstream(Dir / "billdetail2.cds") << "old";
  TReportDataset bill;
  Stage(bill, 2);
  bill.SaveBillFiles();
  TClientDataSet data;
  data.LoadFromFile((Dir / "billhead.cds").string());
  EXPECT_EQ(data.FieldInfo(0).Name, "T0");
  // Only the sets for this number of tables are written; others are left alone.
  std::ifstream old(Dir / "billdetail2.cds");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(old), {}), "old");
}

TEST_F(BillFilesTest, AnUnwritableFileStopsTheSaveAndKeepsTheFilesBeforeIt) {
  TReportDataset bill;
  Stage(bill, 2);
  bill.Directory = (Dir / "missing").string() + "/";
  EXPECT_THROW(bill.SaveBillFiles(), EFCreateError);
  EXPECT_FALSE(fs::exists(Dir / "missing"));

  bill.Directory = Dir.string() + "/";
  fs::create_directory(Dir / "billdetail.cds");  // the detail file cannot be written
  EXPECT_THROW(bill.SaveBillFiles(), EFCreateError);
  EXPECT_TRUE(fs::is_regular_file(Dir / "billhead.cds"));
  EXPECT_FALSE(fs::exists(Dir / "billtail.cds"));
}

TEST_F(BillFilesTest, TablesNeverBuiltWriteNothing) {
  TReportDataset bill;
  bill.Directory = Dir.string() + "/";
  bill.AddTable("head");
  bill.AddTable("detail");
  EXPECT_NO_THROW(bill.SaveBillFiles());
  EXPECT_TRUE(fs::is_empty(Dir));
}

}  // namespace
}  // namespace trs
