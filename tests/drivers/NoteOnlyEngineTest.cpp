// The drivers against engines written from the engine binary interface note alone: packets
// by pointer and by value, a BSTR the engine allocates and the program frees, and a version
// record the engine lays out itself.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "DriverCalls.h"
#include "dataset/ClientDataSet.h"
#include "drivers/fuBarcode.h"
#include "drivers/fuBillPrint.h"
#include "support/StandInEngines.h"
#include "support/TestOs.h"

namespace trs::test {
namespace {

class NoteOnlyEngineTest : public testing::Test {
 protected:
  void SetUp() override {
    LogPath = Product.Path() + "engine.log";
    test::SetVariable("NOTE_ENGINE_LOG", LogPath);
  }
  void TearDown() override { test::UnsetVariable("NOTE_ENGINE_LOG"); }
  std::string EngineLog() const {
    std::ifstream file(LogPath);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  void SaveTable(const std::string& name, const std::string& value) const {
    TClientDataSet table;
    table.AddFieldDef("Text", TFieldType::ftString, 20);
    table.CreateDataSet();
    table.Append();
    table.SetFieldText(0, value);
    table.SaveToFile(Product.DataFile(name).string());
  }

  TProductDirectory Product{"note-only"};
  std::string LogPath;
};

TEST_F(NoteOnlyEngineTest, BarcodeLibrary) {
  Product.Install(NOTE_ONLY_BARCODEKIT, "BarcodeKit.dll");
  TBarcode driver;
  Tag(driver, TProductDirectory::Tag);
  SaveTable("table_m.cds", "x");
  EXPECT_EQ(Property(driver, "version"), "4.2.0.7");
  EXPECT_EQ(Invoke(driver, "BarConfigCds", ""), "-1");
  EXPECT_EQ(Invoke(driver, "SetStyleName", "S1"), "-1");
  EXPECT_EQ(Invoke(driver, "PrintBarOutEx", "3"), "1");
  EXPECT_EQ(Invoke(driver, "GetStyleNames"), "Note A|Note B");
  EXPECT_EQ(Property(driver, "IsPrinting"), "0");
  const std::string log = EngineLog();
  EXPECT_NE(log.find("BarConfigCds 0 bytes="), std::string::npos) << log;
  EXPECT_NE(log.find("magic=BDE01996"), std::string::npos) << log;  // a binary packet
  EXPECT_NE(log.find("PrintBarOutEx 3 S1\n"), std::string::npos) << log;
  EXPECT_NE(log.find("GetStyleNames entry=null\n"), std::string::npos) << log;
}

TEST_F(NoteOnlyEngineTest, BillLibraryWithTheSingleTablePrintOnly) {
  Product.Install(NOTE_ONLY_BILLKIT, "BillKit.dll");
  TBillPrint driver;
  Tag(driver, TProductDirectory::Tag);
  for (const char* name : {"billhead.cds", "billdetail.cds", "billtail.cds"}) SaveTable(name, name);
  EXPECT_EQ(Invoke(driver, "PosBillPrint", "Sale,False,2"), "-1");
  EXPECT_EQ(Invoke(driver, "GetBillPrintCount"), "5");
  EXPECT_EQ(Property(driver, "version"), "65535.65535.65535.65535");
  EXPECT_EQ(EngineLog(),
            "PosBillPrint 0 Sale part=1 flag=0 magic=BDE01996\n"
            "PosBillPrint 0 Sale part=2 flag=0 magic=BDE01996\n"
            "PosBillPrint 0 Sale part=3 flag=0 magic=BDE01996\n");
}

}  // namespace
}  // namespace trs::test
