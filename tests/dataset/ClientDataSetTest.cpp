// The dataset's states, field conversions and error texts.
#include "dataset/ClientDataSet.h"

#include <gtest/gtest.h>

#include <functional>

#include "DataSetTestSupport.h"
#include "platform/Exceptions.h"
#include "support/TestOs.h"

namespace trs {
namespace {

using test::MessageOf;

// NAME text(5), QTY integer, WHEN date-time; open and empty.
void CreateSmallTable(TClientDataSet& ds) {
  ds.AddFieldDef("NAME", TFieldType::ftString, 5);
  ds.AddFieldDef("QTY", TFieldType::ftInteger, 0);
  ds.AddFieldDef("WHEN", TFieldType::ftDateTime, 0);
  ds.CreateDataSet();
}

TEST(ClientDataSetTest, ErrorTexts) {
  struct TCase {
    const char* Name;
    std::function<void(TClientDataSet&)> Action;
    std::string Expected;
  };
  const auto created = [](std::function<void(TClientDataSet&)> then) {
    return [then](TClientDataSet& ds) {
      CreateSmallTable(ds);
      then(ds);
    };
  };
  const TCase cases[] = {
      {"no fields", [](TClientDataSet& ds) { ds.CreateDataSet(); }, "No fields defined.  Cannot create dataset"},
      {"text wider than 8192 bytes",
       [](TClientDataSet& ds) {
         ds.AddFieldDef("T", TFieldType::ftString, 8193);
         ds.CreateDataSet();
       },
       "Invalid field size"},
      {"append while closed", [](TClientDataSet& ds) { ds.Append(); },
       "Cannot perform this operation on a closed dataset"},
      {"post without a row", created([](TClientDataSet& ds) { ds.Post(); }), "Dataset not in edit or insert mode"},
      {"set without a row", created([](TClientDataSet& ds) { ds.SetFieldText(0, "x"); }),
       "Dataset not in edit or insert mode"},
      {"field past the end", created([](TClientDataSet& ds) { ds.FieldInfo(3); }), "List index out of bounds (3)"},
      {"negative field", created([](TClientDataSet& ds) {
         ds.Append();
         ds.SetFieldText(-1, "x");
       }),
       "List index out of bounds (-1)"},
      {"field of a closed table", [](TClientDataSet& ds) { ds.FieldIsNull(0); }, "List index out of bounds (0)"},
      {"unknown name", created([](TClientDataSet& ds) { ds.FieldByName("PRICE"); }), "Field 'PRICE' not found"},
      {"bad date", created([](TClientDataSet& ds) {
         ds.Append();
         ds.SetFieldText(2, "2024-02-30");
       }),
       "'2024-02-30' is not a valid date and time"},
      {"bad integer", created([](TClientDataSet& ds) {
         ds.Append();
         ds.SetFieldText(1, "12x");
       }),
       "'12x' is not a valid integer value"},
      {"required field left empty",
       [](TClientDataSet& ds) {
         ds.AddFieldDef("ID", TFieldType::ftInteger, 0, true);
         ds.CreateDataSet();
         ds.Append();
         ds.Post();
       },
       "Field 'ID' must have a value"},
      {"file that does not exist", [](TClientDataSet& ds) { ds.LoadFromFile("/nonexistent-dir/t.cds"); },
       "Cannot open file \"/nonexistent-dir/t.cds\". " + test::SystemErrorText(test::TSystemError::NoSuchDirectory)},
  };
  for (const TCase& c : cases) {
    TClientDataSet ds;
    EXPECT_EQ(MessageOf<Exception>([&] { c.Action(ds); }), c.Expected) << c.Name;
  }
}

TEST(ClientDataSetTest, ErrorKinds) {
  TClientDataSet ds;
  EXPECT_THROW(ds.CreateDataSet(), EDatabaseError);
  CreateSmallTable(ds);
  EXPECT_THROW(ds.FieldInfo(9), EListError);
  EXPECT_THROW(ds.FieldByName("X"), EDatabaseError);
  ds.Append();
  EXPECT_THROW(ds.SetFieldText(2, "noon"), EConvertError);
  EXPECT_THROW(ds.LoadFromFile("/nonexistent-dir/t.cds"), EFOpenError);
}

TEST(ClientDataSetTest, WidestTextColumnIsAccepted) {
  TClientDataSet ds;
  ds.AddFieldDef("T", TFieldType::ftString, MaxTextFieldSize);
  ds.CreateDataSet();
  ds.Append();
  ds.SetFieldText(0, std::string(9000, 'x'));
  EXPECT_EQ(ds.FieldAsString(0).size(), 8192u);
}

TEST(ClientDataSetTest, TextIsCutAtZeroAndToTheColumnWithoutSplittingCharacters) {
  struct TCase {
    int Size;
    std::string Text;
    std::string Stored;
  };
  const TCase cases[] = {
      {5, "abcdefg", "abcde"},
      {5, std::string("ab\0cd", 5), "ab"},
      {5, "\xE4\xB8\xAD\xE6\x96\x87", "\xE4\xB8\xAD"},                  // "中文": 6 bytes, keeps "中"
      {6, "\xE4\xB8\xAD\xE6\x96\x87z", "\xE4\xB8\xAD\xE6\x96\x87"},
      {5, "", ""},
  };
  for (const TCase& c : cases) {
    TClientDataSet ds;
    ds.AddFieldDef("T", TFieldType::ftString, c.Size);
    ds.CreateDataSet();
    ds.Append();
    ds.SetFieldText(0, c.Text);
    ds.Post();
    EXPECT_EQ(ds.FieldAsString(0), c.Stored) << c.Text;
    EXPECT_FALSE(ds.FieldIsNull(0)) << "text, even empty, is a value";
  }
}

TEST(ClientDataSetTest, DateTimeTextInTheProcessFormat) {
  const std::pair<const char*, const char*> valid[] = {
      {"2024-01-02", "2024-01-02"},
      {"2024-01-02 03:04", "2024-01-02 03:04:00"},
      {"2024-1-2 3:04:05", "2024-01-02 03:04:05"},
      {" 2000-02-29 23:59:59 ", "2000-02-29 23:59:59"},
      {"0001-01-01", "0001-01-01"},
      {"9999-12-31 00:00:01", "9999-12-31 00:00:01"},
  };
  const char* const invalid[] = {"2023-02-29", "2024-13-01", "2024-01-02T03:04", "2024-01-02 24:00",
                                 "02/01/2024", "2024-01-02 03", "2024-01-02 03:04:60", "0000-01-01", "noon"};
  TClientDataSet ds;
  CreateSmallTable(ds);
  for (const auto& [text, shown] : valid) {
    ds.Append();
    ds.SetFieldText(2, text);
    EXPECT_EQ(ds.FieldAsString(2), shown) << text;
  }
  for (const char* text : invalid) {
    ds.Append();
    EXPECT_EQ(MessageOf<EConvertError>([&] { ds.SetFieldText(2, text); }),
              std::string("'") + text + "' is not a valid date and time");
  }
  ds.Append();
  ds.SetFieldText(2, "2024-01-02");
  ds.SetFieldText(2, "");
  EXPECT_TRUE(ds.FieldIsNull(2)) << "empty text clears a date-time";
  // 2024-01-02 03:04:05 as a TDateTime: 45293 days after 1899-12-30, plus the time.
  ds.SetFieldText(2, "2024-01-02 03:04:05");
  EXPECT_DOUBLE_EQ(ds.FieldAsDateTime(2), 45293 + (3 * 3600 + 4 * 60 + 5) / 86400.0);
}

TEST(ClientDataSetTest, IntegerColumnsTakeTheStandardConversion) {
  TClientDataSet ds;
  CreateSmallTable(ds);
  ds.Append();
  for (const auto& [text, value] : {std::pair{"42", 42}, {"-7", -7}, {"$1F", 31}, {"0x10", 16}, {"+3", 3}}) {
    ds.SetFieldText(1, text);
    EXPECT_EQ(ds.FieldAsInteger(1), value) << text;
  }
  ds.SetFieldText(1, "");
  EXPECT_TRUE(ds.FieldIsNull(1));
  EXPECT_EQ(ds.FieldAsInteger(1), 0);
  EXPECT_THROW(ds.SetFieldText(1, "2147483648"), EConvertError);
  ds.SetFieldText(0, "12");
  EXPECT_EQ(ds.FieldAsInteger(0), 12) << "text that is a number reads as one";
}

TEST(ClientDataSetTest, AppendPostsAnAssignedRowAndDropsAnUntouchedOne) {
  TClientDataSet ds;
  CreateSmallTable(ds);
  ds.Append();
  ds.SetFieldText(0, "one");
  ds.Append();  // posts "one"
  EXPECT_EQ(ds.RecordCount(), 1);
  ds.Append();  // drops the untouched row
  EXPECT_EQ(ds.RecordCount(), 1);
  ds.SetFieldNull(1);  // an explicit NULL is an assignment
  ds.Append();
  EXPECT_EQ(ds.RecordCount(), 2);
  ds.Post();  // an explicit Post stores even an untouched row
  EXPECT_EQ(ds.RecordCount(), 3);
  EXPECT_FALSE(ds.Editing());
  EXPECT_EQ(ds.RecNo(), 2) << "the posted row is the cursor row";

  ds.First();
  std::vector<std::string> names;
  for (; !ds.Eof(); ds.Next()) names.push_back(ds.FieldIsNull(0) ? "<null>" : ds.FieldAsString(0));
  EXPECT_EQ(names, (std::vector<std::string>{"one", "<null>", "<null>"}));
}

TEST(ClientDataSetTest, FieldsByNameIgnoreAsciiCase) {
  TClientDataSet ds;
  CreateSmallTable(ds);
  EXPECT_EQ(ds.FieldByName("qty"), 1);
  EXPECT_EQ(ds.FindField("When"), 2);
  EXPECT_EQ(ds.FindField("PRICE"), -1);
  EXPECT_EQ(ds.IndexOfFieldDef("name"), 0);
  EXPECT_EQ(ds.FieldInfo(0).Size, 5);
}

TEST(ClientDataSetTest, CloseDropsRowsAndKeepsDefinitions) {
  TClientDataSet ds;
  CreateSmallTable(ds);
  ds.Append();
  ds.SetFieldText(0, "a");
  ds.Post();
  ds.Close();
  EXPECT_FALSE(ds.Active());
  EXPECT_EQ(ds.FieldCount(), 0);
  EXPECT_EQ(ds.RecordCount(), 0);
  EXPECT_EQ(ds.FieldDefs().size(), 3u);
  EXPECT_EQ(ds.Data(), "");
  ds.CreateDataSet();
  EXPECT_EQ(ds.RecordCount(), 0);
}

TEST(ClientDataSetTest, DuplicateFieldNamesAreRefused) {
  TClientDataSet ds;
  ds.AddFieldDef("A", TFieldType::ftInteger, 0);
  ds.AddFieldDef("a", TFieldType::ftString, 3);
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.CreateDataSet(); }), "Duplicate field name 'a'");
  EXPECT_FALSE(ds.Active());
}

TEST(ClientDataSetTest, ValuesCostTheirRealLengthNotTheColumnWidth) {
  TClientDataSet ds;
  ds.AddFieldDef("T", TFieldType::ftString, 256);
  ds.CreateDataSet();
  for (int i = 0; i < 2000; ++i) {
    ds.Append();
    ds.SetFieldText(0, "abc");
  }
  ds.Post();
  // A row is 1 status byte + 1 field-status byte + a 2-byte length + 3 bytes, plus its index
  // entry; a fixed-width store would need 256 bytes a cell.
  EXPECT_LT(ds.StorageBytes(), 2000u * 32);
}

}  // namespace
}  // namespace trs
