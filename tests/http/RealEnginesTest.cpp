// The real engines beside the real program, driven over HTTP as a page drives them: a
// label staged and printed ends as a readable barcode in the PDF folder, a two-table bill
// as receipt bytes on the printer's port, the drawer pulse and the display text on their
// lines, and a print limit holds across a restart of the program.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

#include <functional>
#include <thread>

#include "ProgramWithEngines.h"
#include "support/XvfbSession.h"
#include "support/EscPosDecoder.h"
#include "support/PrinterDoubles.h"

namespace trs::test {
namespace {

namespace fs = std::filesystem;
using testing::ElementsAre;

std::pair<std::string, std::string> RealEngine(const std::string& fileName) {
  return {std::string(TRS_REAL_ENGINE_DIR) + "/" + fileName, fileName};
}

// The printing settings and the user's data folder of the programs a test starts.
class TPrintingHome {
 public:
  explicit TPrintingHome(const std::string& settings)
      : Root(fs::temp_directory_path() / ("trs-printing-" + std::to_string(::getpid()) + "-" + std::to_string(++Count))) {
    fs::create_directories(Root);
    std::ofstream(Root / "printing.ini") << settings;
  }
  ~TPrintingHome() {
    std::error_code ignored;
    fs::remove_all(Root, ignored);
  }
  std::vector<std::pair<std::string, std::string>> Environment() const {
    return {{"TALLYREPORTSRV_PRINTING_INI", (Root / "printing.ini").string()}, {"XDG_DATA_HOME", (Root / "share").string()}};
  }
  fs::path Printouts() const { return Root / "share/Tally/Quill/Printouts"; }

 private:
  static inline int Count = 0;
  fs::path Root;
};

void StageTwoTableBill(TProgramWithEngines& program) {
  for (const char* method : {"ClearBillDataset", "AddBillDataTable:head", "AddBillDataColumn:0,单号", "AddBillDataRow:0",
                             "SetBillRowStr:0,0,0,NO.001", "AddBillDataTable:1", "AddBillDataColumn:1,品名",
                             "AddBillDataColumn:1,金额", "AddBillDataRow:1", "SetBillRowStr:1,0,0,绿茶",
                             "SetBillRowStr:1,0,1,3.50", "AddBillDataRow:1", "SetBillRowStr:1,1,0,面包",
                             "SetBillRowStr:1,1,1,12.00"})
    EXPECT_EQ(program.Ok("BillPrint", method), "-1") << method;
}

TEST(RealEnginesTest, StagedLabelEndsAsADecodableBarcodeInThePdfFolder) {
  const TPrintingHome home("");
  TProgramWithEngines program({RealEngine("BarcodeKit.dll")}, home.Environment());
  for (const char* method : {"AddDataTable", "AddDataColumn:Code,", "AddDataColumn:Name,", "AddDataRow",
                             "SetRowStr:0,6901234567892", "SetRowStr:1,绿茶", "SaveDataTable:labels.cds"})
    EXPECT_EQ(program.Ok("Barcode", method), "1") << method;
  EXPECT_EQ(program.Ok("Barcode", "BarConfigCds:labels.cds"), "-1");
  EXPECT_EQ(program.Ok("Barcode", "PrintBarOutEx:1"), "1");

  ASSERT_TRUE(fs::exists(home.Printouts())) << program.Program.ErrorOutput();
  const fs::path pdf = fs::directory_iterator(home.Printouts())->path();
  const fs::path image = home.Printouts().parent_path() / "label";
  RunForOutput("pdftoppm -r 600 -gray -singlefile '" + pdf.string() + "' '" + image.string() + "'");
  EXPECT_EQ(RunForOutput("zbarimg --quiet '" + image.string() + ".pgm' 2>/dev/null"), "CODE-128:6901234567892\n");
  EXPECT_THAT(RunForOutput("pdftotext '" + pdf.string() + "' -"), testing::HasSubstr("绿茶"));
}

TEST(RealEnginesTest, TwoTableBillEndsAsReceiptBytesOnThePrintersPort) {
  const TRawPortListener printer;
  const TPrintingHome home("[receipt]\ntarget=tcp://127.0.0.1:" + std::to_string(printer.Port()) + "\npaper=58\n");
  TProgramWithEngines program({RealEngine("BillKit.dll")}, home.Environment());
  StageTwoTableBill(program);
  EXPECT_EQ(program.Ok("BillPrint", "PosBillPrint:零售单,0,2"), "-1");
  const std::string bytes = printer.Receive();
  const TPrintedReceipt receipt = DecodeEscPos(bytes);
  ASSERT_EQ(receipt.Error, "");
  // Two columns of 15 on 32: the name on the left, the amount right-aligned.
  EXPECT_THAT(receipt.Texts(), ElementsAre("零售单", "单号：NO.001", std::string(32, '-'), "品名                       金额",
                                           std::string(32, '-'), "绿茶                       3.50",
                                           "面包                      12.00"));
  EXPECT_EQ(bytes.substr(0, 4), "\x1b@\x1c&");
  EXPECT_EQ(bytes.substr(bytes.size() - 7), std::string("\x1b" "d\x04\x1dV\x42\x03", 7));
  EXPECT_EQ(program.Ok("BillPrint", "GetBillPrintCount"), "1");
}

TEST(RealEnginesTest, DrawerPulseAndDisplayTextArriveOnTheirLines) {
  const TPtyPair receiptPrinter, display;
  const TPrintingHome home("[receipt]\ntarget=" + receiptPrinter.DevicePath() + "\n[display]\ndevice=" +
                           display.DevicePath() + "\nprotocol=led8\n");
  TProgramWithEngines program({RealEngine("PosKit.dll")}, home.Environment());
  EXPECT_EQ(program.Ok("PosDriver", "PosOpenCashBox"), "-1");
  EXPECT_EQ(receiptPrinter.Read(5), std::string("\x1bp\x00\x19\xfa", 5));
  EXPECT_EQ(program.Ok("PosDriver", "PosScreenOut:2,128.50"), "-1");
  EXPECT_EQ(display.Read(12), "\x1bs2\x1bQA128.50\r");
  EXPECT_EQ(program.Ok("PosDriver", "", "IsPrinting"), "0");
}

TEST(RealEnginesTest, PrintLimitHoldsAcrossARestartOfTheProgram) {
  const TRawPortListener printer;
  const TPrintingHome home("[receipt]\ntarget=tcp://127.0.0.1:" + std::to_string(printer.Port()) + "\n");
  {
    TProgramWithEngines program({RealEngine("BillKit.dll")}, home.Environment());
    EXPECT_EQ(program.Ok("BillPrint", "SetIsPrintLimit:1"), "-1");
    EXPECT_EQ(program.Ok("BillPrint", "SetPrintBillLimitTimes:1"), "");
    StageTwoTableBill(program);
    EXPECT_EQ(program.Ok("BillPrint", "PosBillPrint:零售单,0,2"), "-1");
    EXPECT_NE(printer.Receive(), "");
  }
  TProgramWithEngines restarted({RealEngine("BillKit.dll")}, home.Environment());
  StageTwoTableBill(restarted);
  EXPECT_EQ(restarted.Ok("BillPrint", "PosBillPrint:零售单,0,2"), "-1");
  EXPECT_EQ(printer.Receive(500ms), "");
  EXPECT_EQ(restarted.Ok("BillPrint", "GetBillPrintCount"), "1");
  EXPECT_THAT(restarted.Program.ErrorOutput(), testing::HasSubstr("its print limit is reached"));
}

// Polls `condition` every 50 ms for up to 5 s.
bool Eventually(const std::function<bool()>& condition) {
  for (int tries = 0; tries < 100; ++tries) {
    if (condition()) return true;
    std::this_thread::sleep_for(50ms);
  }
  return false;
}

// The engines' windows on a private desktop: shown on the program's main thread while the
// request returns at once, counted as a shown form until the user closes them.
TEST(RealEnginesTest, WindowsOpenOnTheDesktopAndCountAsShownUntilClosed) {
  TXvfbSession desktop;
  const std::string display = "DISPLAY=" + desktop.DisplayName() + " ";
  // A tray for the program's icon, up before the program looks for one.
  desktop.StartProgram({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24"});
  ASSERT_TRUE(Eventually([&] {
    return RunForOutput(display + "xwininfo -root -tree 2>/dev/null").find("(\"panel\" \"trayer\")") != std::string::npos;
  }));
  const TPrintingHome home("");
  auto environment = home.Environment();
  environment.emplace_back("DISPLAY", desktop.DisplayName());
  // The tray program with its desktop module, so the program's application is a desktop
  // one; with a settings file, whose absence the tray program would report in a dialog.
  const fs::path config = home.Printouts().parent_path().parent_path().parent_path() / "CONFIG.CFG";
  fs::create_directories(config.parent_path());
  std::ofstream(config) << "PORT=\r\nLISTEN=\r\nEND\r\n";
  TProgramWithEngines program({RealEngine("PosKit.dll"), RealEngine("BillKit.dll"),
                               {std::string(TRS_REAL_ENGINE_DIR) + "/TallyReportSrv-desktop.so", "TallyReportSrv-desktop.so"},
                               {config.string(), "CONFIG.CFG"}},
                              environment);
  const auto windowOf = [&](const std::string& title) {
    return RunForOutput(display + "xdotool search --name '^" + title + "$' 2>/dev/null");
  };
  const auto close = [&](const std::string& window) {
    RunForOutput(display + "xdotool windowactivate --sync " + window + " key --clearmodifiers alt+F4 2>&1");
  };

  EXPECT_EQ(program.Ok("PosDriver", "ShowPosCfg"), "-1");
  std::string settings;
  ASSERT_TRUE(Eventually([&] { return !(settings = windowOf("打印设置")).empty(); })) << program.Program.ErrorOutput();
  EXPECT_EQ(program.Ok("PosDriver", "", "IsPrinting"), "1");
  close(settings.substr(0, settings.find('\n')));
  EXPECT_TRUE(Eventually([&] { return program.Ok("PosDriver", "", "IsPrinting") == "0"; }));

  StageTwoTableBill(program);
  EXPECT_EQ(program.Ok("BillPrint", "PosPreview:零售单,2"), "-1");
  std::string preview;
  ASSERT_TRUE(Eventually([&] { return !(preview = windowOf("零售单")).empty(); })) << program.Program.ErrorOutput();
  EXPECT_EQ(program.Ok("BillPrint", "", "IsPrinting"), "1");
  close(preview.substr(0, preview.find('\n')));
  EXPECT_TRUE(Eventually([&] { return program.Ok("BillPrint", "", "IsPrinting") == "0"; }));
  EXPECT_FALSE(fs::exists(home.Printouts()));  // a preview prints nothing
}

}  // namespace
}  // namespace trs::test
