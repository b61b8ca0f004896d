// XML packets: the exact text the writer produces, what the reader takes from real-world
// packets (fieldname, RowState, PARAMS), and how it refuses malformed ones.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "DataSetTestSupport.h"
#include "dataset/ClientDataSet.h"
#include "platform/Exceptions.h"

namespace trs {
namespace {

using test::MessageOf;

TEST(MidasXmlTest, WriterProducesTheExactText) {
  TClientDataSet ds;
  ds.AddFieldDef("Length (cm)", TFieldType::ftInteger, 0);
  ds.AddFieldDef("NAME", TFieldType::ftString, 20);
  ds.AddFieldDef("WHEN", TFieldType::ftDateTime, 0);
  ds.AddFieldDef("PIC", TFieldType::ftBlob, 0);
  ds.AddFieldDef("MEMO", TFieldType::ftBlob, 0);
  ds.FieldDefs().back().Subtype = "Text";
  ds.CreateDataSet();
  ds.Append();
  ds.SetFieldText(0, "12");
  ds.SetFieldText(1, "a&b'c\"d<e>f\r\ng\t");
  ds.SetFieldText(2, "2024-01-02 03:04:05");
  ds.SetFieldBlob(3, std::string("\0\x01\xFF", 3));
  ds.SetFieldText(4, "line1\r\nline2");
  ds.Append();
  ds.SetFieldText(1, "\xE4\xB8\xAD\xE6\x96\x87");  // 中文
  ds.SetFieldText(2, "2024-01-02");
  ds.Post();
  EXPECT_EQ(ds.XmlData(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\">"
            "<METADATA><FIELDS>"
            "<FIELD fieldname=\"Length (cm)\" attrname=\"Length__cm_\" fieldtype=\"i4\"/>"
            "<FIELD attrname=\"NAME\" fieldtype=\"string\" WIDTH=\"20\"/>"
            "<FIELD attrname=\"WHEN\" fieldtype=\"dateTime\"/>"
            "<FIELD attrname=\"PIC\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/>"
            "<FIELD attrname=\"MEMO\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/>"
            "</FIELDS><PARAMS/></METADATA><ROWDATA>"
            "<ROW Length__cm_=\"12\" NAME=\"a&amp;b&apos;c&quot;d&lt;e&gt;f&#013;&#010;g&#009;\" "
            "WHEN=\"20240102T03:04:05000\" PIC=\"AAH/\" MEMO=\"line1&#013;&#010;line2\"/>"
            "<ROW NAME=\"\xE4\xB8\xAD\xE6\x96\x87\" WHEN=\"20240102\"/>"
            "</ROWDATA></DATAPACKET>");
}

TEST(MidasXmlTest, ReaderKeepsCurrentRowsAndOriginalNames) {
  TClientDataSet ds;
  ds.LoadFromFile(test::FixturePath("row_state_fieldname_and_params.xml").string());
  ASSERT_EQ(ds.FieldCount(), 6);
  EXPECT_EQ(ds.FieldInfo(0).Name, "Length (cm)");
  EXPECT_EQ(ds.FieldInfo(0).DataType, TFieldType::ftFloat);
  EXPECT_EQ(ds.FieldInfo(1).Size, 30);
  EXPECT_EQ(ds.FieldInfo(3).Subtype, "Graphics");
  EXPECT_TRUE(ds.FieldInfo(5).ReadOnly);
  EXPECT_EQ(ds.FieldInfo(5).Subtype, "Autoinc");
  ASSERT_EQ(ds.RecordCount(), 2) << "the old version and the deleted row are left out";

  ds.First();
  EXPECT_EQ(ds.FieldAsFloat(0), 30.5);
  EXPECT_EQ(ds.FieldAsString(1), "Red Emperor");
  EXPECT_EQ(ds.FieldAsString(2), "1999-03-01 10:20:30");
  EXPECT_NEAR(std::fmod(ds.FieldAsDateTime(2), 1.0) * 86400, 10 * 3600 + 20 * 60 + 30.5, 1e-4);
  EXPECT_TRUE(ds.FieldIsNull(3));
  EXPECT_EQ(ds.FieldAsString(4), "big\r\nfish");
  EXPECT_EQ(ds.FieldAsInteger(5), 1);
  ds.Next();
  EXPECT_EQ(ds.FieldAsString(0), "45");
  EXPECT_EQ(ds.FieldAsString(1), "\xE9\xB2\xB7\xE9\xB1\xBC & co");  // 鲷鱼 & co
  EXPECT_EQ(ds.FieldAsString(2), "2000-01-01");
  EXPECT_EQ(ds.FieldAsBytes(3), "\x01\x02\x03");
  EXPECT_TRUE(ds.FieldIsNull(4));
  EXPECT_EQ(ds.FieldAsInteger(5), 2);
}

std::string Packet(const std::string& fields, const std::string& rows) {
  return "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>" + fields +
         "</FIELDS><PARAMS/></METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

TEST(MidasXmlTest, MalformedPacketsFailWithAClearMessage) {
  const std::string intField = "<FIELD attrname=\"A\" fieldtype=\"i2\"/>";
  struct TCase {
    const char* Name;
    std::string Xml;
    const char* Message;
  };
  const TCase cases[] = {
      {"no FIELDS", "<?xml version=\"1.0\"?><DATAPACKET/>",
       "Invalid data packet: the XML has no DATAPACKET/METADATA/FIELDS element"},
      {"no fields", Packet("", ""), "Invalid data packet: the packet has no fields"},
      {"no attrname", Packet("<FIELD fieldtype=\"i4\"/>", ""), "Invalid data packet: FIELD 1 has no attrname"},
      {"nested table", Packet("<FIELD attrname=\"A\" fieldtype=\"nested\"/>", ""),
       "Invalid data packet: field 'A' has the unsupported fieldtype 'nested'"},
      {"width out of range", Packet("<FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"70000\"/>", ""),
       "Invalid data packet: field 'S' has the WIDTH '70000'"},
      {"not a number", Packet(intField, "<ROW A=\"x1\"/>"),
       "Invalid data packet: record 1, field 'A': 'x1' is not a valid integer value"},
      {"out of range", Packet(intField, "<ROW A=\"1\"/><ROW A=\"40000\"/>"),
       "Invalid data packet: record 2, field 'A': 40000 is not a valid value for field 'A'. "
       "The allowed range is -32768 to 32767"},
      {"process-format date", Packet("<FIELD attrname=\"D\" fieldtype=\"dateTime\"/>", "<ROW D=\"2024-01-02\"/>"),
       "Invalid data packet: record 1, field 'D': '2024-01-02' is not a valid date and time"},
      {"bad base64", Packet("<FIELD attrname=\"B\" fieldtype=\"bin.hex\"/>", "<ROW B=\"**\"/>"),
       "Invalid data packet: record 1, field 'B': '**' is not a valid base64 value"},
      {"bad RowState", Packet(intField, "<ROW RowState=\"x\" A=\"1\"/>"),
       "Invalid data packet: record 1 has the RowState 'x'"},
  };
  for (const TCase& c : cases) {
    TClientDataSet ds;
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.SetXmlData(c.Xml); }), c.Message) << c.Name;
    EXPECT_FALSE(ds.Active()) << c.Name;
  }
  TClientDataSet ds;
  EXPECT_THAT(MessageOf<EDatabaseError>([&] { ds.SetXmlData(Packet(intField, "<ROW A=\"1\">")); }),
              testing::StartsWith("Invalid data packet: the XML is not well formed ("));
}

TEST(MidasXmlTest, ClashingAttributeNamesStayDistinct) {
  TClientDataSet ds;
  ds.AddFieldDef("a b", TFieldType::ftInteger, 0);
  ds.AddFieldDef("a_b", TFieldType::ftInteger, 0);
  ds.AddFieldDef("RowState", TFieldType::ftInteger, 0);
  ds.CreateDataSet();
  ds.Append();
  for (int i = 0; i < 3; ++i) ds.SetFieldInteger(i, i + 1);
  ds.Post();
  TClientDataSet again;
  again.SetXmlData(ds.XmlData());
  ASSERT_EQ(again.RecordCount(), 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(again.FieldInfo(i).Name, ds.FieldInfo(i).Name);
    EXPECT_EQ(again.FieldAsInteger(i), i + 1);
  }
}

}  // namespace
}  // namespace trs
