// Save and load through both packet formats: every value comes back as it was stored.
#include <gtest/gtest.h>

#include "DataSetTestSupport.h"
#include "dataset/ClientDataSet.h"
#include "platform/Text.h"

namespace trs {
namespace {

struct TBinaryFormat {
  static constexpr const char* Extension = ".cds";
};
struct TXmlFormat {
  static constexpr const char* Extension = ".xml";
};

// Every cell of every row: "-" for NULL, else "=" and the stored bytes.
std::vector<std::string> Cells(TClientDataSet& ds) {
  std::vector<std::string> cells;
  for (ds.First(); !ds.Eof(); ds.Next())
    for (int i = 0; i < ds.FieldCount(); ++i)
      cells.push_back(ds.FieldIsNull(i) ? "-" : "=" + ds.FieldAsBytes(i));
  return cells;
}

template <typename Format>
class PacketRoundTripTest : public testing::Test {
 protected:
  // Saves `ds` in the format and loads the file into `loaded`; the loaded table must have
  // the same fields (name, type, size, flags) and the same cells.
  void RoundTrip(TClientDataSet& ds, TClientDataSet& loaded) {
    const std::string path = Dir / (std::string("table") + Format::Extension);
    ds.SaveToFile(path);
    loaded.LoadFromFile(path);
    ASSERT_EQ(loaded.FieldCount(), ds.FieldCount());
    for (int i = 0; i < ds.FieldCount(); ++i) {
      const TFieldDef& want = ds.FieldInfo(i);
      const TFieldDef& got = loaded.FieldInfo(i);
      EXPECT_EQ(got.Name, want.Name);
      EXPECT_EQ(got.DataType, want.DataType) << want.Name;
      EXPECT_EQ(got.Size, want.Size) << want.Name;
      EXPECT_EQ(got.Required, want.Required) << want.Name;
      EXPECT_EQ(got.Subtype, want.Subtype) << want.Name;
    }
    EXPECT_EQ(loaded.RecordCount(), ds.RecordCount());
    EXPECT_EQ(Cells(loaded), Cells(ds));
  }

  test::TTempDir Dir;
};

class FormatNames {
 public:
  template <typename T>
  static std::string GetName(int) {
    return std::is_same_v<T, TBinaryFormat> ? "Binary" : "Xml";
  }
};
using Formats = testing::Types<TBinaryFormat, TXmlFormat>;
TYPED_TEST_SUITE(PacketRoundTripTest, Formats, FormatNames);

TYPED_TEST(PacketRoundTripTest, TextEmptyAndNull) {
  TClientDataSet ds;
  ds.AddFieldDef("Text (narrow)", TFieldType::ftString, 40);
  ds.AddFieldDef("WIDE", TFieldType::ftWideString, 10);
  ds.AddFieldDef("ID", TFieldType::ftInteger, 0, true);
  ds.CreateDataSet();
  const char* const texts[] = {"plain", "", nullptr, "\xE4\xB8\xAD\xE6\x96\x87 UTF-8 \xE6\x96\x87\xE6\x9C\xAC",
                               "  a&b<c>\"d'e\r\nf\tg  "};
  const std::u16string wides[] = {u"\u4E2D\u6587\U0001F600", u"", u"", u"x", u"\r\n"};
  for (int i = 0; i < 5; ++i) {
    ds.Append();
    if (texts[i]) ds.SetFieldText(0, texts[i]);
    else ds.SetFieldNull(0);
    if (i != 2) ds.SetFieldWideText(1, wides[i]);
    ds.SetFieldInteger(2, i);
  }
  ds.Post();
  TClientDataSet loaded;
  this->RoundTrip(ds, loaded);
  loaded.First();
  EXPECT_EQ(loaded.FieldAsWideText(1), u"\u4E2D\u6587\U0001F600");
  loaded.Next();
  EXPECT_FALSE(loaded.FieldIsNull(0)) << "empty text stays a value";
  EXPECT_EQ(loaded.FieldAsString(0), "");
  loaded.Next();
  EXPECT_TRUE(loaded.FieldIsNull(0));
  EXPECT_TRUE(loaded.FieldIsNull(1));
  loaded.Next();
  EXPECT_EQ(loaded.FieldAsString(0), "\xE4\xB8\xAD\xE6\x96\x87 UTF-8 \xE6\x96\x87\xE6\x9C\xAC");
}

TYPED_TEST(PacketRoundTripTest, NumbersDatesAndTimes) {
  TClientDataSet ds;
  const std::pair<const char*, TFieldType> columns[] = {
      {"I", TFieldType::ftInteger}, {"S", TFieldType::ftSmallint}, {"L", TFieldType::ftLargeint},
      {"W", TFieldType::ftWord},    {"B", TFieldType::ftBoolean},  {"F", TFieldType::ftFloat},
      {"D", TFieldType::ftDate},    {"T", TFieldType::ftTime},     {"DT", TFieldType::ftDateTime},
  };
  for (const auto& [name, type] : columns) ds.AddFieldDef(name, type, 0);
  ds.CreateDataSet();
  const std::vector<std::vector<const char*>> rows = {
      {"-2147483648", "-32768", "-9223372036854775808", "0", "False", "-0.1", "0001-01-01", "00:00", "0001-01-01"},
      {"2147483647", "32767", "9223372036854775807", "65535", "True", "1234.5625", "9999-12-31", "23:59:59",
       "9999-12-31 23:59:59"},
      {"0", "", "", "", "", "", "", "", "2024-02-29 12:00"},
  };
  for (const auto& row : rows) {
    ds.Append();
    for (int i = 0; i < static_cast<int>(row.size()); ++i) ds.SetFieldText(i, row[static_cast<size_t>(i)]);
  }
  ds.Post();
  TClientDataSet loaded;
  this->RoundTrip(ds, loaded);
  loaded.First();
  EXPECT_EQ(loaded.FieldAsString(2), "-9223372036854775808");
  EXPECT_EQ(loaded.FieldAsString(8), "0001-01-01");
  loaded.Next();
  EXPECT_EQ(loaded.FieldAsString(4), "True");
  EXPECT_EQ(loaded.FieldAsString(5), "1234.5625");
  EXPECT_EQ(loaded.FieldAsString(7), "23:59:59");
  EXPECT_EQ(loaded.FieldAsString(8), "9999-12-31 23:59:59");
  loaded.Next();
  EXPECT_TRUE(loaded.FieldIsNull(1));
  EXPECT_EQ(loaded.FieldAsString(8), "2024-02-29 12:00:00");
}

TYPED_TEST(PacketRoundTripTest, BlobsWithZeroBytesAndMemos) {
  TClientDataSet ds;
  ds.AddFieldDef("PIC", TFieldType::ftBlob, 0);
  ds.AddFieldDef("MEMO", TFieldType::ftBlob, 0);
  ds.FieldDefs().back().Subtype = "Text";
  ds.CreateDataSet();
  std::string everyByte;
  for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
  ds.Append();
  ds.SetFieldBlob(0, everyByte + std::string(3, '\0'));
  ds.SetFieldBlob(1, "first line\r\nsecond & last");
  ds.Append();
  ds.SetFieldBlob(0, "");  // an empty blob is still a value
  ds.Append();
  ds.SetFieldNull(0);
  ds.Post();
  TClientDataSet loaded;
  this->RoundTrip(ds, loaded);
  loaded.First();
  EXPECT_EQ(loaded.FieldAsBytes(0), everyByte + std::string(3, '\0'));
  loaded.Next();
  EXPECT_FALSE(loaded.FieldIsNull(0));
  EXPECT_TRUE(loaded.FieldIsNull(1));
}

TYPED_TEST(PacketRoundTripTest, WideTableWithLongText) {
  TClientDataSet ds;
  for (int i = 0; i < 200; ++i) ds.AddFieldDef("C" + std::to_string(i), TFieldType::ftString, 300);
  ds.CreateDataSet();
  // 299 ASCII bytes and a 3-byte character: only the ASCII part fits in 300 bytes.
  const std::string longText = std::string(299, 'x') + "\xE4\xB8\xAD";
  for (int row = 0; row < 20; ++row) {
    ds.Append();
    for (int i = 0; i < 200; ++i)
      ds.SetFieldText(i, (i + row) % 7 == 0 ? longText : "r" + std::to_string(row) + "c" + std::to_string(i));
  }
  ds.Post();
  TClientDataSet loaded;
  this->RoundTrip(ds, loaded);
  loaded.First();
  EXPECT_EQ(loaded.FieldAsString(0), std::string(299, 'x'));
  EXPECT_EQ(loaded.FieldAsString(199), "r0c199");
}

}  // namespace
}  // namespace trs
