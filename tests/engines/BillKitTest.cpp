// BillKit.dll, the real one: bills from packets and from staged bill files, laid out by
// name, printed as ESC/POS (read back through the decoder) or as PDF, counted per document
// with a print limit that survives a restart.
#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include "RealEngine.h"
#include "dataset/ClientDataSet.h"
#include "engineabi/BillKit.h"
#include "support/EscPosDecoder.h"
#include "support/PrinterDoubles.h"
#include "support/TablePacket.h"

namespace trs::test {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;

const std::string Head = TablePacket({"单号", "日期"}, {{"NO.0001", "2026-12-10"}});
const std::string Detail = TablePacket({"品名", "数量", "金额"}, {{"可口可乐 330ml 罐装冰镇", "2", "7.00"}, {"面包", "1", "12.50"}});
const std::string Detail2 = TablePacket({"支付", "金额"}, {{"现金", "19.50"}});

class BillKitTest : public testing::Test {
 protected:
  std::string PrinterSettings(const std::string& more = "") const {
    return "[receipt]\ntarget=tcp://127.0.0.1:" + std::to_string(Printer.Port()) + "\npaper=58\n" + more;
  }
  // Prints head, detail and tail through PosBillPrint; the head's answer.
  static bool PrintParts(const TRealEngine& engine, const char* name, const std::string& head = Head) {
    const auto print = engine.Export<BillKit::PosBillPrintFn>("PosBillPrint");
    const TPacketVariant h(head), d(Detail), t(head);
    if (!print(0, name, h.Variant(), 1, 0)) return false;
    print(0, name, d.Variant(), 2, 0);
    return print(0, name, t.Variant(), 3, 0) != 0;
  }
  TRawPortListener Printer;
};

TEST_F(BillKitTest, PartsPrintAsAPlainReceiptWithinThePapersColumns) {
  const TRealEngine engine("BillKit.dll", PrinterSettings());
  ASSERT_TRUE(PrintParts(engine, "销售单"));
  const TPrintedReceipt printed = DecodeEscPos(Printer.Receive());
  ASSERT_EQ(printed.Error, "");
  EXPECT_THAT(printed.Texts(), ElementsAre("销售单", "单号：NO.0001", "日期：2026-12-10", std::string(32, '-'),
                                           // three columns of 10 and two blanks; numbers right
                                           "品名             数量       金额", std::string(32, '-'),
                                           "可口可乐 3          2       7.00", "30ml 罐装", "冰镇",
                                           "面包                1      12.50"));
  EXPECT_LE(printed.WidestLine(), 32);
  EXPECT_EQ(printed.Cut, "partial");
  EXPECT_EQ(engine.Export<BillKit::GetBillPrintCountFn>("GetBillPrintCount")(), 1);
}

TEST_F(BillKitTest, NamedLayoutPicksColumnsTitleTailAndFooter) {
  const TRealEngine engine("BillKit.dll", PrinterSettings("columns=40\n"));
  std::ofstream(engine.Product.Path() + "bills.json") << R"({"小票": {"title": "欢迎光临", "head": ["单号"],
      "columns": [{"field": "品名", "title": "商品", "width": 20}, {"field": "金额", "width": 8, "align": "right"}],
      "tail": ["日期"], "footer": ["谢谢惠顾"]}})";
  ASSERT_TRUE(PrintParts(engine, "小票"));
  EXPECT_THAT(DecodeEscPos(Printer.Receive()).Texts(),
              ElementsAre("欢迎光临", "单号：NO.0001", std::string(40, '-'), "商品                     金额",
                          std::string(40, '-'), "可口可乐 330ml 罐装      7.00", "冰镇", "面包                    12.50",
                          std::string(40, '-'), "日期                          2026-12-10", "谢谢惠顾"));
}

TEST_F(BillKitTest, StagedBillFilesPrintEverySetTheTableCountNames) {
  const TRealEngine engine("BillKit.dll", PrinterSettings());
  const auto save = [&](const std::string& name, const std::string& packet) {
    TClientDataSet table;
    table.SetData(packet);
    table.SaveToFile(engine.Product.DataFile(name).string());
  };
  for (const char* name : {"billhead.cds", "billtail.cds", "billhead2.cds", "billtail2.cds"}) save(name, Head);
  save("billdetail.cds", Detail);
  save("billdetail2.cds", Detail2);
  engine.Export<BillKit::SetDesignTableCountFn>("SetDesignTableCount")(3);
  engine.Export<BillKit::MultiTableBillPrintFn>("MultiTableBillPrint")("销售单", 1);  // no display: at once
  const std::vector<std::string> lines = DecodeEscPos(Printer.Receive()).Texts();
  EXPECT_THAT(lines, testing::Contains("面包                1      12.50"));
  EXPECT_THAT(lines, testing::Contains("现金                      19.50"));
}

TEST_F(BillKitTest, PrintLimitRefusesTheThirdPrintOfADocumentAlsoAfterARestart) {
  const std::filesystem::path dataHome =
      std::filesystem::temp_directory_path() / ("trs-bill-counts-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dataHome);
  {
    const TRealEngine engine("BillKit.dll", PrinterSettings(), dataHome.string());
    engine.Export<BillKit::SetIsPrintLimitFn>("SetIsPrintLimit")(1);
    engine.Export<BillKit::SetPrintBillLimitTimesFn>("SetPrintBillLimitTimes")(2);
    for (int print = 0; print < 2; ++print) {
      EXPECT_TRUE(PrintParts(engine, "销售单"));
      EXPECT_NE(Printer.Receive(), "");
    }
    EXPECT_FALSE(PrintParts(engine, "销售单"));
    EXPECT_EQ(engine.Export<BillKit::GetBillPrintCountFn>("GetBillPrintCount")(), 2);
    // Another document under the same layout has its own count.
    EXPECT_TRUE(PrintParts(engine, "销售单", TablePacket({"单号"}, {{"NO.0002"}})));
    EXPECT_NE(Printer.Receive(), "");
  }
  // A fresh copy of the engine (nothing of the first one's memory) over the same data folder.
  const TRealEngine restarted("BillKit.dll", PrinterSettings(), dataHome.string());
  EXPECT_EQ(restarted.Export<BillKit::GetBillPrintCountFn>("GetBillPrintCount")(), 0);
  EXPECT_FALSE(PrintParts(restarted, "销售单"));
  EXPECT_EQ(restarted.Export<BillKit::GetBillPrintCountFn>("GetBillPrintCount")(), 2);
  EXPECT_EQ(Printer.Receive(300ms), "");
  std::filesystem::remove_all(dataHome);
}

TEST_F(BillKitTest, WithoutSettingsABillBecomesAPdfInTheUsersPrintouts) {
  const TRealEngine engine("BillKit.dll", "");
  ASSERT_TRUE(PrintParts(engine, "销售单"));
  const std::filesystem::path folder = engine.DataFolder() / "Printouts";
  ASSERT_TRUE(std::filesystem::exists(folder));
  const std::filesystem::path pdf = std::filesystem::directory_iterator(folder)->path();
  EXPECT_THAT(pdf.filename().string(), testing::StartsWith("销售单-"));
  const std::string text = RunForOutput("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null");
  EXPECT_THAT(text, HasSubstr("单号：NO.0001"));
  EXPECT_THAT(text, HasSubstr("面包"));
  EXPECT_THAT(text, HasSubstr("12.50"));
}

}  // namespace
}  // namespace trs::test
