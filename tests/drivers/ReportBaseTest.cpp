// The driver base: staging commands, their errors, IsPrinting, SplitArgs, column names.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>


#include "DriverCalls.h"
#include "support/TestOs.h"
#include "dataset/ClientDataSet.h"
#include "drivers/fuReportBase.h"
#include "platform/Exceptions.h"

namespace trs {
namespace {

namespace fs = std::filesystem;

// A driver with no commands of its own: exactly the base behaviour.
class TBareDriver : public TReportBase {
 public:
  void SetProperty(const std::string&, const std::string&) override {}
  // Runs a command the way the endpoint does: under the driver's lock.
  std::string Run(const std::string& name, const std::string& args = "") {
    TLockGuard guard(CallLock);
    const WideString answer = InvokeMethod(LowerAscii(name), args);
    return std::string(answer.begin(), answer.end());
  }
  std::string Get(const std::string& name) {
    TLockGuard guard(CallLock);
    const WideString answer = GetProperty(name);
    return std::string(answer.begin(), answer.end());
  }
  std::string ProductDir() {
    TLockGuard guard(CallLock);
    return GetProductPath();
  }
  void Tag(const std::string& tag) {
    TLockGuard guard(CallLock);
    SetProductTag(tag);
  }
};

using test::ExpectError;

// Each test stages into its own product directory, found through the product registry.
class ReportBaseTest : public testing::Test {
 protected:
  void SetUp() override {
    Root = fs::temp_directory_path() / ("trs-base-" + std::to_string(test::CurrentProcessNumber()) + "-" +
                                        testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(Root / "product/data");
    Registry.emplace(Root);
    Registry->Register("Test", ProductPath());
    Driver.Tag("Test");
  }
  void TearDown() override {
    Registry.reset();
    fs::remove_all(Root);
  }
  // The product folder as the registry holds it: with the separator at its end.
  std::string ProductPath() const { return (Root / "product").string() + test::PathSeparator; }
  fs::path DataFile(const std::string& name) const { return Root / "product/data" / name; }

  fs::path Root;
  std::optional<test::TTestProductRegistry> Registry;
  TBareDriver Driver;
};

TEST_F(ReportBaseTest, StagesATableAndSavesItWhereTheEnginesReadIt) {
  EXPECT_EQ(Driver.Run("AddDataTable"), "1");
  EXPECT_EQ(Driver.Run("AddDataColumn", "Name,"), "1");
  EXPECT_EQ(Driver.Run("AddDataColumn", "Qty,40"), "1");
  EXPECT_EQ(Driver.Run("AddDataColumn", "Note,1000"), "1");
  EXPECT_EQ(Driver.Run("AddDataColumn", "Qty,"), "1");
  for (int row = 0; row < 2; ++row) {
    EXPECT_EQ(Driver.Run("AddDataRow"), "1");
    EXPECT_EQ(Driver.Run("SetRowStr", "1,a,b"), "1");  // further commas belong to the value
    EXPECT_EQ(Driver.Run("SetRowStr", "0, 苹果 "), "1");  // the value is not trimmed
    EXPECT_EQ(Driver.Run("SetRowStr", "3,last"), "1");   // the last column posts the row
  }
  EXPECT_EQ(Driver.Run("SaveDataTable", "goods.cds"), "1");

  TClientDataSet saved;
  saved.LoadFromFile(DataFile("goods.cds").string());
  ASSERT_EQ(saved.FieldCount(), 4);
  const std::pair<const char*, int> columns[] = {{"Name", 256}, {"Qty", 256}, {"Note", 1000}, {"Qty2", 256}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(saved.FieldInfo(i).Name, columns[i].first);
    EXPECT_EQ(saved.FieldInfo(i).Size, columns[i].second);
  }
  EXPECT_EQ(saved.RecordCount(), 2);
  saved.First();
  EXPECT_EQ(saved.FieldAsString(0), " 苹果 ");
  EXPECT_EQ(saved.FieldAsString(1), "a,b");
  EXPECT_TRUE(saved.FieldIsNull(2));
  EXPECT_EQ(saved.FieldAsString(3), "last");
}

TEST_F(ReportBaseTest, XmlNameSavesAnXmlPacket) {
  Driver.Run("AddDataColumn", "A,");
  Driver.Run("AddDataRow");
  Driver.Run("SetRowStr", "0,x");
  Driver.Run("SaveDataTable", "t.XML");
  std::ifstream file(DataFile("t.XML"));
  std::string head(5, '\0');
  file.read(head.data(), 5);
  EXPECT_EQ(head, "<?xml");
}

TEST_F(ReportBaseTest, PendingRowIsSavedOnlyWhenAFieldWasSet) {
  Driver.Run("AddDataColumn", "A,");
  Driver.Run("AddDataColumn", "B,");
  Driver.Run("AddDataRow");
  Driver.Run("SetRowStr", "0,set");  // not the last column: the row stays pending
  Driver.Run("SaveDataTable", "one.cds");
  Driver.Run("AddDataRow");           // the pending row was posted by the save; this one stays empty
  Driver.Run("SaveDataTable", "still-one.cds");
  for (const char* name : {"one.cds", "still-one.cds"}) {
    TClientDataSet saved;
    saved.LoadFromFile(DataFile(name).string());
    EXPECT_EQ(saved.RecordCount(), 1) << name;
  }
}

TEST_F(ReportBaseTest, SavingATableNeverOpenedWritesNothing) {
  EXPECT_EQ(Driver.Run("SaveDataTable", "none.cds"), "1");
  Driver.Run("AddDataColumn", "A,");
  EXPECT_EQ(Driver.Run("SaveDataTable", "none.cds"), "1");
  Driver.Run("AddDataRow");
  Driver.Run("AddDataTable");  // back to no columns: the open table is dropped
  EXPECT_EQ(Driver.Run("SaveDataTable", "none.cds"), "1");
  EXPECT_FALSE(fs::exists(DataFile("none.cds")));
}

TEST_F(ReportBaseTest, ColumnsAddedToAnOpenTableWaitForTheNextTable) {
  Driver.Run("AddDataColumn", "A,");
  Driver.Run("AddDataRow");
  Driver.Run("AddDataColumn", "B,");
  EXPECT_EQ(Driver.Run("SetRowStr", "0,x"), "1");  // A is still the last column: posts
  ExpectError([&] { Driver.Run("SetRowStr", "1,y"); }, "List index out of bounds (1)");
}

TEST_F(ReportBaseTest, CommandErrorsCarryTheRuntimeTexts) {
  ExpectError([&] { Driver.Run("AddDataColumn", "Name"); }, "List index out of bounds (1)");
  ExpectError([&] { Driver.Run("AddDataRow"); }, "No fields defined.  Cannot create dataset");
  Driver.Run("AddDataColumn", "A,");
  Driver.Run("AddDataColumn", "B,");
  ExpectError([&] { Driver.Run("SetRowStr", "0,x"); }, "List index out of bounds (0)");  // no table yet
  Driver.Run("AddDataRow");
  ExpectError([&] { Driver.Run("SetRowStr", "x"); }, "'' is not a valid integer value");
  ExpectError([&] { Driver.Run("SetRowStr", "one,x"); }, "'one' is not a valid integer value");
  ExpectError([&] { Driver.Run("SetRowStr", "2,x"); }, "List index out of bounds (2)");
  ExpectError([&] { Driver.Run("SetRowStr", "-1,x"); }, "List index out of bounds (-1)");
  Driver.Run("SetRowStr", "1,posted");
  ExpectError([&] { Driver.Run("SetRowStr", "1,again"); }, "Dataset not in edit or insert mode");
}

TEST_F(ReportBaseTest, SaveIntoAMissingDirectoryReportsTheSystemError) {
  fs::remove_all(Root / "product/data");
  Driver.Run("AddDataColumn", "A,");
  Driver.Run("AddDataRow");
  const std::string target = ProductPath() + "data" + test::PathSeparator + "t.cds";
  ExpectError([&] { Driver.Run("SaveDataTable", "t.cds"); },
              "Cannot create file \"" + target + "\". " + test::SystemErrorText(test::TSystemError::NoSuchDirectory));
}

TEST_F(ReportBaseTest, FileNamesThatLeaveTheDataDirectoryAreRefused) {
  Driver.Run("AddDataColumn", "A,");
  Driver.Run("AddDataRow");
  for (const char* name : {"../escape.cds", "sub/x.cds", "sub\\x.cds", "/tmp/x.cds", "..", "a..b.cds", "C:x.cds"}) {
    try {
      Driver.Run("SaveDataTable", name);
      ADD_FAILURE() << name;
    } catch (const EInvalidFileName& error) {
      EXPECT_NE(std::string(error.what()).find(name), std::string::npos);
    }
  }
  EXPECT_FALSE(fs::exists(Root / "product/escape.cds"));
}

TEST_F(ReportBaseTest, FileNamesWithControlCharactersAreRefused) {
  Driver.Run("AddDataColumn", "A,");
  Driver.Run("AddDataRow");
  struct TCase {
    std::string Name;
    std::string Shown;  // how the error shows the name
  };
  const TCase cases[] = {
      {std::string("a.cds\0.xml", 10), "a.cds\\x00.xml"},  // the file system would stop at the NUL
      {"b\r\n.cds", "b\\x0D\\x0A.cds"},
      {"c\t.cds", "c\\x09.cds"},
      {"d\x1F.cds", "d\\x1F.cds"},
  };
  for (const TCase& c : cases) {
    try {
      Driver.Run("SaveDataTable", c.Name);
      ADD_FAILURE() << c.Shown;
    } catch (const EInvalidFileName& error) {
      EXPECT_EQ(std::string(error.what()),
                "Invalid file name '" + c.Shown + "': a file name may not contain control characters");
    }
  }
  EXPECT_TRUE(fs::is_empty(Root / "product/data"));
  // Bytes from 0x20 up, non-ASCII ones included, are ordinary name characters.
  Driver.Run("SaveDataTable", "\x7F \xE4\xB8\xAD.cds");
  EXPECT_TRUE(fs::exists(Root / "product/data" / u8"\x7F \u4E2D.cds"));  // the name as UTF-8 on every system
}

TEST_F(ReportBaseTest, UnknownTagFallsBackToTheProgramDirectory) {
  EXPECT_EQ(Driver.ProductDir(), ProductPath());
  Driver.Tag("NoSuchProduct");
  const std::string programDir = Driver.ProductDir();
  EXPECT_EQ(programDir, test::TestProgramFile().parent_path().string() + test::PathSeparator);
}

TEST(IsPrinting, BracketAndDialogFlagsAreSharedByAllDrivers) {
  TBareDriver first, second;
  EXPECT_EQ(first.Get("isprinting"), "0");
  EXPECT_EQ(first.Get("IsPrinting"), "-1");  // the base expects lower case
  EXPECT_EQ(first.Get("other"), "-1");
  first.Run("BeginPrint");
  EXPECT_EQ(second.Get("isprinting"), "1");
  EngineDialogActive = true;
  second.Run("EndPrint");
  EXPECT_EQ(first.Get("isprinting"), "1");  // the dialog still runs
  EngineDialogActive = false;
  EXPECT_EQ(first.Get("isprinting"), "0");
  EXPECT_EQ(first.Run("NoSuchCommand"), "-1");
}

TEST(SplitArgs, Items) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"", {}},
      {"  \t ", {}},
      {"a", {"a"}},
      {"a b ,c", {"a b", "c"}},
      {" a , b , c ", {"a", "b", "c"}},
      {",", {"", ""}},
      {"a,", {"a", ""}},
      {"a,,b", {"a", "", "b"}},
      {",a", {"", "a"}},
  };
  for (const auto& [text, items] : cases) {
    std::vector<std::string> list = {"stale"};
    TReportBase::SplitArgs(text, &list, ',');
    EXPECT_EQ(list, items) << "'" << text << "'";
  }
  ExpectError([] { TReportBase::SplitArgs("a", nullptr, ','); }, "Assertion failure (fuReportBase, line 75)");
}

TEST(UniqueColumnName, KeepsNamesDistinct) {
  TClientDataSet table;
  EXPECT_EQ(TReportBase::UniqueColumnName(table, "Price"), "Price");
  table.AddFieldDef("Price", TFieldType::ftString, 256);
  // Found without regard to case, but counted with it: no name contains "price".
  EXPECT_EQ(TReportBase::UniqueColumnName(table, "price"), "price1");
  table.AddFieldDef("Price2", TFieldType::ftString, 256);
  EXPECT_EQ(TReportBase::UniqueColumnName(table, "Price"), "Price3");
  const std::string name31(31, 'n');
  EXPECT_EQ(TReportBase::UniqueColumnName(table, name31), name31);
  EXPECT_EQ(TReportBase::UniqueColumnName(table, std::string(40, 'n')), std::string(30, 'n'));
  table.AddFieldDef(std::string(30, 'n'), TFieldType::ftString, 256);
  EXPECT_EQ(TReportBase::UniqueColumnName(table, std::string(32, 'n')), std::string(30, 'n') + "2");
}

}  // namespace
}  // namespace trs
