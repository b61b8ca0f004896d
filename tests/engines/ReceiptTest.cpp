// Receipts as ESC/POS bytes, read back through the decoder; the cash drawer pulse; the
// customer display's command sets; the settings file over its defaults.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "CustomerDisplay.h"
#include "EscPos.h"
#include "PrintSettings.h"
#include "PrintTarget.h"
#include "TextCodec.h"
#include "support/EscPosDecoder.h"

namespace {

using printkit::TAlign;
using testing::ElementsAre;
namespace fs = std::filesystem;

TEST(ReceiptTest, EscPosReceiptReadsBackLineByLineInGb18030) {
  printkit::TReceipt receipt;
  receipt.Columns = 32;
  receipt.Lines = {{"销售单", TAlign::Center, true, true},
                   {"品名 数量", TAlign::Left, true, false},
                   {"𠀋 Ü €", TAlign::Right, false, false}};  // 4-byte GB18030 codes, and a ? for none
  const std::string bytes = printkit::EscPosReceipt(receipt, "GB18030");
  const trs::test::TPrintedReceipt printed = trs::test::DecodeEscPos(bytes);
  ASSERT_EQ(printed.Error, "");
  EXPECT_TRUE(printed.Initialized);
  EXPECT_TRUE(printed.ChineseMode);
  EXPECT_THAT(printed.Texts(), ElementsAre("销售单", "品名 数量", "𠀋 Ü €"));
  EXPECT_TRUE(printed.Lines[0].Large && printed.Lines[0].Bold);
  EXPECT_EQ(printed.Lines[0].Align, 1);
  EXPECT_EQ(printed.Lines[0].Columns, 12);
  EXPECT_FALSE(printed.Lines[2].Bold || printed.Lines[2].Large);
  EXPECT_EQ(printed.Lines[2].Align, 2);
  EXPECT_EQ(printed.Cut, "partial");
}

TEST(ReceiptTest, GbkPrintersGetAQuestionMarkForWhatGbkLacks) {
  printkit::TReceipt receipt;
  receipt.Cut = printkit::TCut::None;
  receipt.Lines = {{"合计 𠀋", TAlign::Left, false, false}};
  const trs::test::TPrintedReceipt printed = trs::test::DecodeEscPos(printkit::EscPosReceipt(receipt, "GBK"), "GBK");
  EXPECT_THAT(printed.Texts(), ElementsAre("合计 ?"));
  EXPECT_EQ(printed.Cut, "");
}

TEST(ReceiptTest, DrawerPulseIsEscPWithTheManualsValues) {
  EXPECT_EQ(printkit::EscPosDrawerPulse(0, 25, 250), std::string("\x1bp\x00\x19\xfa", 5));
  EXPECT_EQ(printkit::EscPosDrawerPulse(1, 0, 999), std::string("\x1bp\x01\x01\xff", 5));
}

TEST(ReceiptTest, TextIsFittedAndWrappedByColumnsNeverSplittingACharacter) {
  EXPECT_EQ(printkit::TextCells("可乐 330ml"), 10);
  EXPECT_EQ(printkit::FitCells("可口可乐", 5), "可口");
  EXPECT_THAT(printkit::WrapCells("可口可乐x", 3), ElementsAre("可", "口", "可", "乐x"));
  EXPECT_EQ(printkit::PadCells("12.5", 8, TAlign::Right), "    12.5");
  EXPECT_EQ(printkit::PadCells("水", 5, TAlign::Center), " 水  ");
}

TEST(ReceiptTest, CustomerDisplayCommandSets) {
  printkit::TCustomerDisplay cd5220;
  struct TCase {
    std::string Protocol;
    int Number;
    std::string Text;
    std::string Bytes;
  };
  const std::vector<TCase> cases = {
      {"cd5220", 1, "TOTAL 12.50", "\x1bQATOTAL 12.50\r"},
      {"cd5220", 2, "THANK YOU, COME AGAIN SOON", "\x1bQBTHANK YOU, COME AGAI\r"},
      {"cd5220", 0, "WELCOME", "\x1b@\x0c\x1bQAWELCOME\r"},
      {"led8", 2, "￥1,234.50", "\x1bs2\x1bQA1234.50\r"},
      {"led8", 4, "-123456789.5", "\x1bs4\x1bQA-3456789.5\r"},
      {"led8", 0, "", "\x1bs0\x1bQA\r"},
  };
  for (const TCase& c : cases) {
    printkit::TCustomerDisplay display;
    display.Protocol = c.Protocol;
    EXPECT_EQ(printkit::DisplayCommands(display, c.Number, c.Text), c.Bytes) << c.Protocol << " " << c.Number;
  }
  cd5220.Protocol = "cd5220";
  EXPECT_THROW(printkit::DisplayCommands(cd5220, 3, "x"), printkit::TPrintError);
  cd5220.Protocol = "vfd";
  EXPECT_THROW(printkit::DisplayCommands(cd5220, 1, "x"), printkit::TPrintError);
}

TEST(ReceiptTest, UsersSettingsOverTheShippedDefaults) {
  const fs::path folder = fs::temp_directory_path() / ("trs-settings-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  std::ofstream(folder / "printing.ini") << "; mine\n[Receipt]\n target = tcp://127.0.0.1:9100 \npaper=58\n[display]\nbaud=9600\n";
  setenv("TALLYREPORTSRV_PRINTING_INI", (folder / "printing.ini").c_str(), 1);
  const printkit::TPrintSettings settings = printkit::TPrintSettings::Current();
  const printkit::TReceiptPrinter printer = printkit::ReceiptPrinterFrom(settings);
  EXPECT_EQ(printer.Target, "tcp://127.0.0.1:9100");
  EXPECT_EQ(printer.Columns, 32);  // 58 mm paper
  EXPECT_EQ(printer.Encoding, "GB18030");
  EXPECT_EQ(printkit::CustomerDisplayFrom(settings).Baud, 9600);
  EXPECT_EQ(printkit::ResolveConfigPath("bills.json"), (folder / "bills.json").string());
  EXPECT_EQ(printkit::ResolveConfigPath("/etc/bills.json"), "/etc/bills.json");

  printkit::TIniFile user = settings.User();
  user.Set("receipt", "cut", "full");
  user.Save(printkit::TPrintSettings::UserFile());
  EXPECT_EQ(printkit::TPrintSettings::Current().Text("RECEIPT", "CUT"), "full");
  EXPECT_EQ(printkit::TPrintSettings::Current().Text("receipt", "target"), "tcp://127.0.0.1:9100");
  unsetenv("TALLYREPORTSRV_PRINTING_INI");
  fs::remove_all(folder);
}

}  // namespace
