// The three library drivers in the real program over HTTP, with the stand-in engines
// copied beside it: the flows a page runs (labels, bills, cash box and display), their
// errors, and polling while a library keeps its form up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "dataset/ClientDataSet.h"
#include "support/ProgramWithEngines.h"
#include "support/StandInEngines.h"
#include "support/TestOs.h"

namespace trs::test {
namespace {

namespace fs = std::filesystem;

// Stages a bill: a head table with the bill number and `details` detail tables of two rows.
void StageBill(TProgramWithEngines& program, int details) {
  EXPECT_EQ(program.Ok("BillPrint", "ClearBillDataset"), "-1");
  EXPECT_EQ(program.Ok("BillPrint", "AddBillDataTable:head"), "-1");
  EXPECT_EQ(program.Ok("BillPrint", "AddBillDataColumn:0,BillNo"), "-1");
  EXPECT_EQ(program.Ok("BillPrint", "AddBillDataRow:0"), "-1");
  EXPECT_EQ(program.Ok("BillPrint", "SetBillRowStr:0,0,0,NO.001"), "-1");
  for (int d = 1; d <= details; ++d) {
    const std::string table = std::to_string(d);
    EXPECT_EQ(program.Ok("BillPrint", "AddBillDataTable:" + table), "-1");
    EXPECT_EQ(program.Ok("BillPrint", "AddBillDataColumn:" + table + ",Item"), "-1");
    for (int row = 0; row < 2; ++row) {
      EXPECT_EQ(program.Ok("BillPrint", "AddBillDataRow:" + table), "-1");
      EXPECT_EQ(program.Ok("BillPrint", "SetBillRowStr:" + table + "," + std::to_string(row) + ",0,茶" + table +
                                            "-" + std::to_string(row)),
                "-1");
    }
  }
}

std::string RowsOf(const fs::path& file) {
  TClientDataSet table;
  table.LoadFromFile(file.string());
  std::string rows;
  for (table.First(); !table.Eof(); table.Next()) rows += table.FieldAsString(0) + ";";
  return rows;
}

TEST(LibraryDriversTest, PrintsLabelsFromAStagedTable) {
  TProgramWithEngines program({Engine("BarcodeKit.dll")});
  for (const char* method : {"AddDataTable", "AddDataColumn:Code,", "AddDataColumn:Name,", "AddDataRow",
                             "SetRowStr:0,6901234567892", "SetRowStr:1,绿茶", "SaveDataTable:labels.cds"})
    EXPECT_EQ(program.Ok("Barcode", method), "1") << method;
  EXPECT_EQ(program.Ok("Barcode", "BarConfigCds:labels.cds"), "-1");
  EXPECT_EQ(program.Ok("Barcode", "SetStyleName:40x30"), "-1");
  EXPECT_EQ(program.Ok("Barcode", "SetStartPrintPosition:2"), "-1");
  EXPECT_EQ(program.Ok("Barcode", "PrintBarOutEx:1"), "1");
  EXPECT_EQ(program.Ok("Barcode", "", "version"), "1.9.0.0");

  const std::vector<TEngineCall> calls = program.Journal.Calls("BarcodeKit");
  ASSERT_EQ(calls.size(), 3u);
  const std::string labels = "{\"fields\":[\"Code\",\"Name\"],\"rows\":[[\"6901234567892\",\"绿茶\"]]}";
  EXPECT_EQ(calls[0].Args, "[0," + labels + "]");
  EXPECT_EQ(calls[1].Args, "[2]");
  EXPECT_EQ(calls[2].Args, "[1,\"40x30\",{\"labels\":" + labels + "}]");

  const THttpAnswer bad = program.Call("Barcode", "PrintBarOutEx:many");
  EXPECT_EQ(bad.Status, 500);
  EXPECT_EQ(bad.Body, "'many' is not a valid integer value");
  EXPECT_EQ(program.Call("Barcode", "BarConfigCds:../../etc/passwd").Status, 500);
}

TEST(LibraryDriversTest, PrintsATwoTableBillFromTheFilesItStages) {
  TProgramWithEngines program({Engine("BillKit.dll")});
  StageBill(program, 1);
  EXPECT_EQ(program.Ok("BillPrint", "PosBillPrint:sale,true,2"), "-1");
  EXPECT_EQ(program.Ok("BillPrint", "GetBillPrintCount"), "1");

  EXPECT_EQ(RowsOf(program.DataFile("billhead.cds")), "NO.001;");
  EXPECT_EQ(RowsOf(program.DataFile("billdetail.cds")), ToProgramPage("茶1-0;茶1-1;"));
  EXPECT_EQ(RowsOf(program.DataFile("billtail.cds")), "NO.001;");
  EXPECT_FALSE(fs::exists(program.DataFile("billhead2.cds")));

  const std::vector<TEngineCall> calls = program.Journal.Calls("BillKit");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Call, "SetDesignTableCount");
  EXPECT_EQ(calls[0].Args, "[2]");
  EXPECT_EQ(calls[1].Call, "MultiTableBillPrint");
  // The library read the three files of the first set.
  EXPECT_EQ(calls[1].Args.rfind("[\"sale\",1,{\"billhead.cds\":", 0), 0u) << calls[1].Args;
  EXPECT_NE(calls[1].Args.find("\"billdetail.cds\":{\"fields\":[\"Item\"],\"rows\":[[\"茶1-0\"],[\"茶1-1\"]]}"),
            std::string::npos);
}

TEST(LibraryDriversTest, WritesOneFileSetPerDetailTableUpToThree) {
  TProgramWithEngines program({Engine("BillKit.dll")});
  StageBill(program, 3);
  EXPECT_EQ(program.Ok("BillPrint", "PosPreview:sale,4"), "-1");
  EXPECT_EQ(RowsOf(program.DataFile("billdetail2.cds")), ToProgramPage("茶2-0;茶2-1;"));
  EXPECT_EQ(RowsOf(program.DataFile("billdetail3.cds")), ToProgramPage("茶3-0;茶3-1;"));
  EXPECT_EQ(RowsOf(program.DataFile("billtail3.cds")), "NO.001;");
  const std::vector<TEngineCall> calls = program.Journal.Calls("BillKit");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].Call, "PosPreview");
}

TEST(LibraryDriversTest, ALibraryWithoutMultiTablePrintGetsThePartsOneByOne) {
  TProgramWithEngines program({Engine("BillKit.dll", "bill-single-table")});
  StageBill(program, 1);
  EXPECT_EQ(program.Ok("BillPrint", "PosBillPrint:sale,0,2"), "-1");
  std::vector<TEngineCall> calls = program.Journal.Calls("BillKit");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].Args, "[0,\"sale\",{\"fields\":[\"BillNo\"],\"rows\":[[\"NO.001\"]]},1,0]");
  EXPECT_EQ(calls[1].Args, "[0,\"sale\",{\"fields\":[\"Item\"],\"rows\":[[\"茶1-0\"],[\"茶1-1\"]]},2,0]");
  EXPECT_EQ(calls[2].Args, "[0,\"sale\",{\"fields\":[\"BillNo\"],\"rows\":[[\"NO.001\"]]},3,0]");

  // The library refuses the head: the rest is not sent. Preview prints with the flag set.
  program.Journal.Clear();
  program.Journal.Control("PosBillPrint.result=0\n");
  EXPECT_EQ(program.Ok("BillPrint", "PosPreview:sale,2"), "-1");
  calls = program.Journal.Calls("BillKit");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_NE(calls[0].Args.find(",1,1]"), std::string::npos) << calls[0].Args;
}

TEST(LibraryDriversTest, ALibraryWithoutTheTableCountGetsOnlyThePrint) {
  TProgramWithEngines program({Engine("BillKit.dll", "bill-no-design-count")});
  StageBill(program, 1);
  EXPECT_EQ(program.Ok("BillPrint", "PosBillPrint:sale,1,2"), "-1");
  const std::vector<TEngineCall> calls = program.Journal.Calls("BillKit");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].Call, "MultiTableBillPrint");
}

TEST(LibraryDriversTest, BillErrorsComeAfterTheFilesAndBeforeTheLibrary) {
  TProgramWithEngines program({Engine("BillKit.dll")});
  StageBill(program, 1);
  const THttpAnswer badCount = program.Call("BillPrint", "PosBillPrint:sale,1,two");
  EXPECT_EQ(badCount.Status, 500);
  EXPECT_EQ(badCount.Body, "'two' is not a valid integer value");
  EXPECT_TRUE(fs::exists(program.DataFile("billdetail.cds")));

  // One table only: the head file is written, then the missing detail table fails.
  fs::remove(program.DataFile("billhead.cds"));
  fs::remove(program.DataFile("billdetail.cds"));
  EXPECT_EQ(program.Ok("BillPrint", "ClearBillDataset"), "-1");
  EXPECT_EQ(program.Ok("BillPrint", "AddBillDataTable:head"), "-1");
  EXPECT_EQ(program.Ok("BillPrint", "AddBillDataColumn:0,BillNo"), "-1");
  const THttpAnswer single = program.Call("BillPrint", "PosBillPrint:sale,1,1");
  EXPECT_EQ(single.Status, 500);
  EXPECT_EQ(single.Body, "List index out of bounds (1)");
  EXPECT_TRUE(fs::exists(program.DataFile("billhead.cds")));
  EXPECT_FALSE(fs::exists(program.DataFile("billdetail.cds")));
  EXPECT_TRUE(program.Journal.Calls("BillKit").empty());
}

TEST(LibraryDriversTest, BillFilesStayInTheProgramsDataDirectoryAfterAProductTag) {
  // The staging directory is fixed when the driver is made; a tag moves only the library.
  const fs::path other = fs::temp_directory_path() / ("trs-bill-other-" + std::to_string(::getpid()));
  fs::create_directories(other / "product/data");
  fs::copy_file(StandInEngine("BillKit.dll"), other / "product/BillKit.dll", fs::copy_options::overwrite_existing);
  {
    const TTestProductRegistry registry(other);
    registry.Register("Shop", (other / "product").string() + PathSeparator);
    TProgramWithEngines program({});
    const std::string post = "POST /?type=BillPrint&Method=setproducttag HTTP/1.1\r\nContent-Length: 4\r\n\r\nShop";
    EXPECT_EQ(BodyOf(Exchange(program.Program.Port(), post)), "");
    StageBill(program, 1);
    EXPECT_EQ(program.Ok("BillPrint", "PosBillPrint:sale,1,2"), "-1");
    EXPECT_TRUE(fs::exists(program.DataFile("billdetail.cds")));
    EXPECT_FALSE(fs::exists(other / "product/data/billdetail.cds"));
    EXPECT_EQ(program.Journal.Calls("BillKit").size(), 2u);
  }
  fs::remove_all(other);
}

TEST(LibraryDriversTest, OpensTheCashBoxAndWritesToTheCustomerDisplay) {
  TProgramWithEngines program({Engine("PosKit.dll")});
  EXPECT_EQ(program.Ok("PosDriver", "PosOpenCashBox"), "-1");
  EXPECT_EQ(program.Ok("PosDriver", "PosScreenOut:2,找零 5.00"), "-1");
  const THttpAnswer missing = program.Call("PosDriver", "PosScreenOut:2");
  EXPECT_EQ(missing.Status, 500);
  EXPECT_EQ(missing.Body, "List index out of bounds (1)");
  const std::vector<TEngineCall> calls = program.Journal.Calls("PosKit");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].Call, "PosOpenCashBox");
  EXPECT_EQ(calls[1].Args, "[2,\"找零 5.00\",{\"previous\":\"\"}]");
}

TEST(LibraryDriversTest, WithoutTheirLibrariesTheDriversAnswerEmptyText) {
  TProgramWithEngines program({});
  for (const char* type : {"Barcode", "BillPrint", "PosDriver"}) {
    EXPECT_EQ(program.Ok(type, "BeginPrint"), "") << type;
    EXPECT_EQ(program.Ok(type, "", "version"), "") << type;
    EXPECT_EQ(program.Ok(type, "", "IsPrinting"), "0") << type;
  }
  // A library dropped in later is loaded by the next request.
  fs::copy_file(StandInEngine("PosKit.dll"), program.Program.Directory() / "PosKit.dll");
  EXPECT_EQ(program.Ok("PosDriver", "BeginPrint"), "1");
  EXPECT_EQ(program.Ok("Barcode", "", "IsPrinting"), "1");  // the bracket is process-wide
  EXPECT_EQ(program.Ok("PosDriver", "EndPrint"), "1");
}

TEST(LibraryDriversTest, IsPrintingIsAnsweredWhileALibraryKeepsItsFormUp) {
  TProgramWithEngines program({Engine("BillKit.dll")});
  StageBill(program, 1);
  program.Journal.Control("MultiTableBillPrint.delay_ms=2000\nMultiTableBillPrint.shows_form=1\n");
  std::future<std::string> print = std::async(std::launch::async, [&] {
    return program.Ok("BillPrint", "PosBillPrint:sale,1,2");
  });
  while (program.Journal.Calls("BillKit").size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(program.Ok("BillPrint", "", "IsPrinting"), "1");
  EXPECT_EQ(program.Ok("BillPrint", "", "version"), "3.2.0.15");
  EXPECT_EQ(print.get(), "-1");
  EXPECT_EQ(program.Ok("BillPrint", "", "IsPrinting"), "0");
}

}  // namespace
}  // namespace trs::test
