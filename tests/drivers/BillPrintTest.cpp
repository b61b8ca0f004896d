// The bill print driver's commands that stay in memory, against the stand-in bill
// libraries loaded for real. Printing staged bills writes files beside the program, so
// those flows run against a copy of the program (tests/http/LibraryDriversTest.cpp).
#include <gtest/gtest.h>

#include "DriverCalls.h"
#include "drivers/fuBillPrint.h"
#include "support/StandInEngines.h"

namespace trs::test {
namespace {

class BillPrintTest : public testing::Test {
 protected:
  void UseLibrary(const std::string& variant) {
    if (variant != "none") Product.Install(StandInEngine("BillKit.dll", variant), "BillKit.dll");
    Tag(Driver, TProductDirectory::Tag);
  }

  TProductDirectory Product{"bill"};
  TEngineJournal Journal;
  TBillPrint Driver;
};

TEST_F(BillPrintTest, PassesThePrintLimitAndCountThrough) {
  UseLibrary("");
  EXPECT_EQ(Invoke(Driver, "SetIsPrintLimit", "True"), "-1");
  EXPECT_EQ(Invoke(Driver, "SetIsPrintLimit", "0"), "-1");
  EXPECT_EQ(Invoke(Driver, "SetPrintBillLimitTimes", "$3"), "");  // always the empty text
  Journal.Control("GetBillPrintCount.result=42\n");
  EXPECT_EQ(Invoke(Driver, "GetBillPrintCount"), "42");
  const std::vector<TEngineCall> calls = Journal.Calls("BillKit");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].Args, "[1]");
  EXPECT_EQ(calls[1].Args, "[0]");
  EXPECT_EQ(calls[2].Args, "[3]");
  EXPECT_EQ(Property(Driver, "version"), "3.2.0.15");
  EXPECT_EQ(Property(Driver, "other"), "-1");
}

TEST_F(BillPrintTest, ConvertsArgumentsOnlyForALibraryThatTakesThem) {
  UseLibrary("");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "SetIsPrintLimit", "yes"); }), "'yes' is not a valid boolean value");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "SetPrintBillLimitTimes", "3x"); }), "'3x' is not a valid integer value");
}

TEST_F(BillPrintTest, StagingErrorsCarryTheSystemsTextForAFailedStatus) {
  UseLibrary("");
  EXPECT_EQ(Invoke(Driver, "AddBillDataTable", "1"), "-1");  // table 0, named table_1
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "AddBillDataColumn", "0"); }), "List index out of bounds (1)");
  EXPECT_EQ(Invoke(Driver, "AddBillDataColumn", "0,Amount"), "-1");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "AddBillDataColumn", "0,amount"); }), "Catastrophic failure");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "AddBillDataColumn", "1,Other"); }), "Catastrophic failure");
  EXPECT_EQ(Invoke(Driver, "AddBillDataRow", "0"), "-1");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "AddBillDataRow", "1"); }), "Catastrophic failure");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "SetBillRowStr", "0,0,0"); }), "List index out of bounds (3)");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "SetBillRowStr", "x,0,0,v"); }), "'x' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "SetBillRowStr", "5,0,0,v"); }), "Catastrophic failure");
  EXPECT_EQ(Invoke(Driver, "SetBillRowStr", "0,0,0,12.50,more"), "-1");
  EXPECT_EQ(Invoke(Driver, "ClearBillDataset"), "-1");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "SetBillRowStr", "0,0,0,v"); }), "Catastrophic failure");
}

TEST_F(BillPrintTest, WithoutTheLibraryNothingRunsButIsPrintingStillAnswers) {
  UseLibrary("none");
  EXPECT_EQ(Invoke(Driver, "PosBillPrint", "bill,1,2"), "");
  EXPECT_EQ(Invoke(Driver, "BeginPrint"), "");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  EXPECT_EQ(Property(Driver, "version"), "");
}

TEST_F(BillPrintTest, PrintingWithoutAnyEntryLeftNamesTheMissingExport) {
  UseLibrary("");
  std::filesystem::remove(Product.Path() + "BillKit.dll");
  // A library with only the single-table print available would fall back to it; the bare
  // POS library stands in for a bill library that has nothing at all.
  Product.Install(StandInEngine("PosKit.dll", "pos-bare"), "BillKit.dll");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "PosPreview", "bill,1"); }),
            "The library \"" + Product.Path() + "BillKit.dll\" has no export \"PosBillPrint\"");
  EXPECT_EQ(Invoke(Driver, "GetBillPrintCount"), "");
  EXPECT_EQ(Invoke(Driver, "SetIsPrintLimit", "not a boolean"), "-1");  // no export: not converted
}

}  // namespace
}  // namespace trs::test
