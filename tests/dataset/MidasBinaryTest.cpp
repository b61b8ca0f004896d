// Binary packets byte for byte: what the writer produces, what the reader makes of change
// logs and properties it does not use, and how it refuses malformed input.
#include <gtest/gtest.h>

#include "DataSetTestSupport.h"
#include "dataset/ClientDataSet.h"
#include "platform/Exceptions.h"

namespace trs {
namespace {

using test::HexBytes;
using test::MessageOf;

// NAME text(20), QTY integer, WHEN date-time (required), PIC blob, NOTE text(300); two rows,
// the second with NAME and PIC NULL.
const char* const FiveColumnPacket = R"(
  96 19 E0 BD  01 00 00 00  18 00 00 00   # magic, version 1.0, header size 24
  05 00  02 00 00 00  03 00 00 00  86 00   # 5 fields, 2 rows, flags 3, rows at 134
  04 4E 41 4D 45  01 00  49 00  00 00  01 00         # NAME: 1-byte length, type 0x49, 1 property
     05 57 49 44 54 48  02 00  02 00  14 00          #   WIDTH (size 2, type 2) = 20
  03 51 54 59  04 00  01 00  00 00  00 00            # QTY: size 4, type 1
  04 57 48 45 4E  08 00  08 00  04 00  00 00         # WHEN: size 8, type 8, required
  03 50 49 43  04 00  4B 00  00 00  01 00            # PIC: 4-byte length, type 0x4B
     07 53 55 42 54 59 50 45  02 00  49 00           #   SUBTYPE (size 2, type 0x49)
     07 00  42 69 6E 61 72 79 00                     #   = "Binary" and its zero
  04 4E 4F 54 45  02 00  49 00  00 00  01 00         # NOTE: 2-byte length (width >= 255)
     05 57 49 44 54 48  02 00  02 00  2C 01          #   WIDTH = 300
  00 00                                              # no dataset properties
  00  00 00                       # row 1: status 0, every field present
     02 61 62                     #   NAME "ab"
     07 00 00 00                  #   QTY 7
     00 44 06 BA EF 07 CD 42      #   WHEN 2024-01-02 03:04:05 = 63839847845000 ms
     02 00 00 00  00 01           #   PIC 00 01
     00 00                        #   NOTE "" (present, empty)
  00  41 00                       # row 2: NAME (bits 0-1) and PIC (bits 6-7) NULL
     2C 01 00 00                  #   QTY 300
     00 00 C2 65 EF 07 CD 42      #   WHEN 2024-01-02 00:00:00
     01 00 78                     #   NOTE "x"
)";

TEST(MidasBinaryTest, WriterProducesTheExactBytes) {
  TClientDataSet ds;
  ds.AddFieldDef("NAME", TFieldType::ftString, 20);
  ds.AddFieldDef("QTY", TFieldType::ftInteger, 0);
  ds.AddFieldDef("WHEN", TFieldType::ftDateTime, 0, true);
  ds.AddFieldDef("PIC", TFieldType::ftBlob, 0);
  ds.AddFieldDef("NOTE", TFieldType::ftString, 300);
  ds.CreateDataSet();
  ds.Append();
  ds.SetFieldText(0, "ab");
  ds.SetFieldText(1, "7");
  ds.SetFieldText(2, "2024-01-02 03:04:05");
  ds.SetFieldBlob(3, std::string("\0\x01", 2));
  ds.SetFieldText(4, "");
  ds.Append();
  ds.SetFieldInteger(1, 300);
  ds.SetFieldText(2, "2024-01-02");
  ds.SetFieldText(4, "x");
  ds.Post();
  EXPECT_EQ(ds.Data(), HexBytes(FiveColumnPacket));
}

TEST(MidasBinaryTest, ReaderTakesTheExactBytes) {
  TClientDataSet ds;
  ds.SetData(HexBytes(FiveColumnPacket));
  ASSERT_EQ(ds.FieldCount(), 5);
  EXPECT_EQ(ds.FieldInfo(4).DataType, TFieldType::ftString);
  EXPECT_EQ(ds.FieldInfo(4).Size, 300);
  EXPECT_TRUE(ds.FieldInfo(2).Required);
  EXPECT_EQ(ds.FieldInfo(3).Subtype, "Binary");
  ASSERT_EQ(ds.RecordCount(), 2);
  ds.First();
  EXPECT_EQ(ds.FieldAsString(2), "2024-01-02 03:04:05");
  EXPECT_EQ(ds.FieldAsBytes(3), std::string("\0\x01", 2));
  EXPECT_FALSE(ds.FieldIsNull(4));
  ds.Next();
  EXPECT_TRUE(ds.FieldIsNull(0));
  EXPECT_EQ(ds.FieldAsInteger(1), 300);
  EXPECT_EQ(ds.FieldAsString(2), "2024-01-02");
  EXPECT_TRUE(ds.FieldIsNull(3));
  // Writing back gives the same bytes: rows are kept in packet form.
  EXPECT_EQ(ds.Data(), HexBytes(FiveColumnPacket));
}

TEST(MidasBinaryTest, ChangeLogLeavesOldAndDeletedRowsOutAndFillsUnchangedValues) {
  TClientDataSet ds;
  ds.SetData(HexBytes(test::ReadFile(test::FixturePath("change_log_not_changed_and_deleted.hex"))));
  ASSERT_EQ(ds.FieldCount(), 2);
  EXPECT_TRUE(ds.FieldInfo(0).Required);
  EXPECT_EQ(ds.FieldInfo(1).Size, 10);
  std::vector<std::string> rows;
  for (ds.First(); !ds.Eof(); ds.Next())
    rows.push_back(ds.FieldAsString(0) + "|" + (ds.FieldIsNull(1) ? "<null>" : ds.FieldAsString(1)));
  EXPECT_EQ(rows, (std::vector<std::string>{"4|<null>", "6|<null>", "1|eins"}));
  // Saved again, the table is its current view alone.
  TClientDataSet again;
  again.SetData(ds.Data());
  EXPECT_EQ(again.RecordCount(), 3);
}

// One field of each base type the writer never creates, one row.
const char* const EveryBaseTypePacket = R"(
  96 19 E0 BD  01 00 00 00  18 00 00 00  09 00  01 00 00 00  03 00 00 00  74 00
  01 55  02 00  02 00  00 00  00 00      # U: unsigned, size 2
  01 42  02 00  03 00  00 00  00 00      # B: boolean
  01 46  08 00  04 00  00 00  00 00      # F: double
  01 4E  04 00  05 00  00 00  00 00      # N: BCD, 4 bytes kept raw
  01 44  04 00  06 00  00 00  00 00      # D: date (day number)
  01 54  04 00  07 00  00 00  00 00      # T: time (milliseconds)
  01 57  01 00  4A 00  00 00  00 00      # W: UTF-16 text, 1-byte length in bytes
  01 58  03 00  0B 00  00 00  00 00      # X: bytes of a fixed size 3
  01 41  02 00  81 00  00 00  00 00      # A: array of 16-bit integers
  00 00
  00  00 00 00
     FF FF                      # U 65535
     01 00                      # B true
     00 00 00 00 00 00 F8 3F    # F 1.5
     12 34 56 78                # N
     47 46 0B 00                # D 738887 = 2024-01-02
     88 88 A8 00                # T 11045000 = 03:04:05
     02 2D 4E                   # W U+4E2D
     61 00 62                   # X
     02 00 00 00  07 00 F9 FF   # A [7, -7]
)";

TEST(MidasBinaryTest, ReaderUnderstandsEveryBaseType) {
  TClientDataSet ds;
  ds.SetData(HexBytes(EveryBaseTypePacket));
  const TFieldType types[] = {TFieldType::ftWord, TFieldType::ftBoolean, TFieldType::ftFloat,
                              TFieldType::ftBCD,  TFieldType::ftDate,    TFieldType::ftTime,
                              TFieldType::ftWideString, TFieldType::ftBlob, TFieldType::ftBlob};
  const std::string texts[] = {"65535",      "True",     "1.5", "\x12\x34\x56\x78",
                               "2024-01-02", "03:04:05", "\xE4\xB8\xAD", std::string("a\0b", 3),
                               HexBytes("02 00 00 00 07 00 F9 FF")};
  ASSERT_EQ(ds.FieldCount(), 9);
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(ds.FieldInfo(i).DataType, types[i]) << i;
    EXPECT_EQ(ds.FieldAsString(i), texts[i]) << i;
  }
  EXPECT_EQ(ds.Data(), HexBytes(EveryBaseTypePacket)) << "descriptors and values are written back as read";
  // The XML packet has a spelling for each; raw BCD and array values travel as base64.
  TClientDataSet fromXml;
  fromXml.SetXmlData(ds.XmlData());
  for (int i = 0; i < 9; ++i) EXPECT_EQ(fromXml.FieldAsString(i), texts[i]) << i;
}

TEST(MidasBinaryTest, EveryTruncationIsRefused) {
  const std::string packet = HexBytes(FiveColumnPacket);
  for (size_t length = 0; length < packet.size(); ++length) {
    TClientDataSet ds;
    EXPECT_THROW(ds.SetData(packet.substr(0, std::max<size_t>(length, 1))), EDatabaseError) << length;
    EXPECT_FALSE(ds.Active());
  }
}

TEST(MidasBinaryTest, MalformedPacketsFailWithAClearMessage) {
  const std::string good = HexBytes(FiveColumnPacket);
  struct TCase {
    const char* Name;
    size_t Offset;
    std::string Bytes;  // written over the good packet at Offset
    const char* Message;
  };
  const TCase cases[] = {
      {"wrong magic", 0, "\x97", "Invalid data packet: not a binary data packet"},
      {"absurd row count", 14, "\xFF\xFF\xFF\xFF", "Invalid data packet: 4294967295 records cannot fit in 44 bytes"},
      {"absurd field count", 12, "\xFF\xFF", "Invalid data packet: 65535 fields cannot fit in 154 bytes"},
      {"no metadata flag", 18, std::string("\x02\0", 2), "Invalid data packet: the packet carries no field descriptions"},
      {"data offset elsewhere", 22, "\x87", "Invalid data packet: the data offset 135 does not match the end of the field descriptions (134)"},
      {"text longer than the packet", 137, "\x7F", "Invalid data packet: row 1, field 'NAME' runs past the end of the data"},
      {"field status 3", 135, "\x03", "Invalid data packet: row 1 gives field 'NAME' the status 3"},
      {"unsupported type (ADT)", 31, "\x0C", "Invalid data packet: field 'NAME' (size 1, type 0x000C) has a type the engine does not support"},
      {"integer of size 3", 53, "\x03", "Invalid data packet: field 'QTY' (size 3, type 0x0001) has a size its type does not allow"},
      {"property past the end", 43, "\xFF", "Invalid data packet: a property value runs past the end of the data (offset 47)"},
  };
  for (const TCase& c : cases) {
    std::string bytes = good;
    bytes.replace(c.Offset, c.Bytes.size(), c.Bytes);
    TClientDataSet ds;
    EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.SetData(bytes); }), c.Message) << c.Name;
  }
  TClientDataSet ds;
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.SetData(good + "x"); }),
            "Invalid data packet: 1 bytes follow the last record");
}

// Two rows that replace each other, both with "not changed" values.
TEST(MidasBinaryTest, CircularChangeLogIsRefused) {
  const std::string packet = HexBytes(R"(
    96 19 E0 BD 01 00 00 00 18 00 00 00  01 00  02 00 00 00  03 00 00 00  50 00
    02 49 44  04 00  01 00  00 00  00 00        # ID integer
    01 00                                       # one dataset property
    0A 43 48 41 4E 47 45 5F 4C 4F 47  04 00 82 00  06 00 00 00   # CHANGE_LOG, 6 numbers
       01 00 00 00  02 00 00 00  08 00 00 00    # row 1 replaces row 2
       02 00 00 00  01 00 00 00  08 00 00 00    # row 2 replaces row 1
    08 02                                       # row 1: ID not changed
    08 02                                       # row 2: ID not changed
  )");
  TClientDataSet ds;
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.SetData(packet); }),
            "Invalid data packet: CHANGE_LOG links rows in branches or circles");
}

TEST(MidasBinaryTest, HugeArrayPropertyCountIsRefusedBeforeAllocating) {
  const std::string packet = HexBytes(R"(
    96 19 E0 BD 01 00 00 00 18 00 00 00  01 00  00 00 00 00  03 00 00 00  00 00
    02 49 44  04 00  01 00  00 00  00 00
    01 00
    0D 44 45 46 41 55 4C 54 5F 4F 52 44 45 52  02 00 82 00  FF FF FF FF   # DEFAULT_ORDER of 4G entries
  )");
  TClientDataSet ds;
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { ds.SetData(packet); }),
            "Invalid data packet: an array property runs past the end of the data (offset 59)");
}

TEST(MidasBinaryTest, MetadataBeyondTheSixteenBitOffsetIsRefused) {
  TClientDataSet ds;
  for (int i = 0; i < 3000; ++i) ds.AddFieldDef("FIELD_NUMBER_" + std::to_string(i), TFieldType::ftString, 10);
  ds.CreateDataSet();
  EXPECT_EQ(MessageOf<EDatabaseError>([&] { (void)ds.Data(); }),
            "The field descriptions take 112916 bytes, more than a binary data packet can hold (65535)");
}

}  // namespace
}  // namespace trs
