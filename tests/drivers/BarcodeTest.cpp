// The barcode driver against the stand-in label libraries, loaded for real.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "DriverCalls.h"
#include "drivers/fuBarcode.h"
#include "support/StandInEngines.h"

namespace trs::test {
namespace {

class BarcodeTest : public testing::Test {
 protected:
  // A driver whose product directory holds `variant` of the library (none: no library).
  void UseLibrary(const std::string& variant, const std::string& fileName = "BarcodeKit.dll") {
    if (variant != "none") Product.Install(StandInEngine("BarcodeKit.dll", variant == "main" ? "" : variant), fileName);
    Tag(Driver, TProductDirectory::Tag);
  }
  // Stages a one-column table and saves it under `name` in the product's data directory.
  void StageTable(const std::string& name, const std::string& value) {
    ASSERT_EQ(Invoke(Driver, "AddDataTable"), "1");
    ASSERT_EQ(Invoke(Driver, "AddDataColumn", "Code,"), "1");
    ASSERT_EQ(Invoke(Driver, "AddDataRow"), "1");
    ASSERT_EQ(Invoke(Driver, "SetRowStr", "0," + value), "1");
    ASSERT_EQ(Invoke(Driver, "SaveDataTable", name), "1");
  }

  TProductDirectory Product{"barcode"};
  TEngineJournal Journal;
  TBarcode Driver;
};

TEST_F(BarcodeTest, WithoutTheLibraryEveryMethodAnswersEmptyAndDoesNothing) {
  UseLibrary("none");
  EXPECT_EQ(Invoke(Driver, "PrintBarOutEx", "1"), "");
  EXPECT_EQ(Invoke(Driver, "AddDataColumn", "A,"), "");
  EXPECT_EQ(Invoke(Driver, "AddDataRow"), "");
  EXPECT_EQ(Invoke(Driver, "SaveDataTable", "t.cds"), "");
  EXPECT_FALSE(std::filesystem::exists(Product.DataFile("t.cds")));
  EXPECT_EQ(Property(Driver, "version"), "");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  EXPECT_EQ(Property(Driver, "Other"), "-1");

  // A failed load is retried: the library dropped in later is found by the next request,
  // whatever the letter case of its file name.
  Product.Install(StandInEngine("BarcodeKit.dll"), "barcodekit.DLL");
  EXPECT_EQ(Invoke(Driver, "PrintBarOutEx", "1"), "1");
  EXPECT_EQ(Property(Driver, "version"), "1.9.0.0");
}

TEST(BarcodeVersionTest, StyleNameGoesToLibrariesFrom1_8_8_1009On) {
  const std::pair<const char*, bool> cases[] = {
      {"1.8.8.1009", true},  {"1.8.7.2000", false}, {"1.9.0.0", true},  {"2.0.0.0", true},
      {"1.8.8.1008", false}, {"1.8.8.1010", true},  {"1.8.8", false},   {"1.8.8.1009.0", false},
      {"65535.65535.65535.65535", true},  // no version record at all
  };
  for (const auto& [version, takesStyle] : cases) EXPECT_EQ(TakesStyleName(version), takesStyle) << version;
}

TEST_F(BarcodeTest, PrintsWithTheFormThatFitsTheLibrarysVersion) {
  // variant, version text, what the library receives with a style name set, and without.
  struct TCase {
    const char* Variant;
    const char* Version;
    const char* WithStyle;
    const char* WithoutStyle;
  };
  const TCase cases[] = {
      {"barcode-1.8.8.1009", "1.8.8.1009", "[7,\"大标签\",", "[7,null,"},
      {"barcode-2.0.0.0", "2.0.0.0", "[7,\"大标签\",", "[7,null,"},
      {"barcode-unversioned", "65535.65535.65535.65535", "[7,\"大标签\",", "[7,null,"},
      {"barcode-1.8.7.2000", "1.8.7.2000", "[7,{", "[7,{"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Variant);
    TProductDirectory product(c.Variant);
    product.Install(StandInEngine("BarcodeKit.dll", c.Variant), "BarcodeKit.dll");
    TBarcode driver;
    Tag(driver, TProductDirectory::Tag);
    Journal.Clear();
    EXPECT_EQ(Property(driver, "version"), c.Version);
    EXPECT_EQ(Invoke(driver, "PrintBarOutEx", "7"), "1");  // no style name yet: null
    EXPECT_EQ(Invoke(driver, "SetStyleName", "大标签"), "-1");
    EXPECT_EQ(Invoke(driver, "PrintBarOutEx", "0x7"), "1");
    EXPECT_EQ(Invoke(driver, "SetStyleName", ""), "-1");   // cleared again
    EXPECT_EQ(Invoke(driver, "PrintBarOutEx", "$7"), "1");
    const std::vector<TEngineCall> calls = Journal.Calls("BarcodeKit");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].Args.rfind(c.WithoutStyle, 0), 0u) << calls[0].Args;
    EXPECT_EQ(calls[1].Args.rfind(c.WithStyle, 0), 0u) << calls[1].Args;
    EXPECT_EQ(calls[2].Args.rfind(c.WithoutStyle, 0), 0u) << calls[2].Args;
  }
}

TEST_F(BarcodeTest, PrintAnswersWhatTheLibraryReturnsAndConvertsItsNumber) {
  UseLibrary("main");
  Journal.Control("PrintBarOutEx.result=0\n");
  EXPECT_EQ(Invoke(Driver, "PrintBarOutEx", "-3"), "0");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "PrintBarOutEx", "3 labels"); }), "'3 labels' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "SetStartPrintPosition", "x"); }), "'x' is not a valid integer value");
  EXPECT_EQ(Invoke(Driver, "SetStartPrintPosition", "$10"), "-1");
  const std::vector<TEngineCall> calls = Journal.Calls("BarcodeKit");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].Call, "SetStartPrintPosition");
  EXPECT_EQ(calls[1].Args, "[16]");
}

TEST_F(BarcodeTest, HandsTheLibraryASavedTableOrTheDefaultOne) {
  UseLibrary("main");
  StageTable("goods.cds", "6901234567892");
  StageTable("table_m.cds", "default");
  const std::pair<const char*, const char*> cases[] = {
      {"goods.cds", "6901234567892"}, {"missing.cds", "default"}, {"", "default"}};
  for (const auto& [name, value] : cases) {
    Journal.Clear();
    EXPECT_EQ(Invoke(Driver, "BarConfigCds", name), "-1");
    const std::vector<TEngineCall> calls = Journal.Calls("BarcodeKit");
    ASSERT_EQ(calls.size(), 1u) << name;
    EXPECT_EQ(calls[0].Args, std::string("[0,{\"fields\":[\"Code\"],\"rows\":[[\"") + value + "\"]]}]");
  }
}

TEST_F(BarcodeTest, RefusesTableNamesOutsideTheDataDirectoryAndMissingTables) {
  UseLibrary("main");
  for (const char* name : {"../goods.cds", "/etc/passwd", "sub/goods.cds", "a\\b.cds"})
    EXPECT_NE(ErrorOf([&] { Invoke(Driver, "BarConfigCds", name); }).find("Invalid file name"), std::string::npos) << name;
  // Neither the named table nor the default one: the dataset's error, and no call.
  EXPECT_NE(ErrorOf([&] { Invoke(Driver, "BarConfigCds", "missing.cds"); }).find("table_m.cds"), std::string::npos);
  EXPECT_TRUE(Journal.Calls("BarcodeKit").empty());
}

TEST_F(BarcodeTest, ListsStyleNamesInTheNarrowPage) {
  UseLibrary("main");
  EXPECT_EQ(Invoke(Driver, "GetStyleNames"), "标准标签\r\n小标签40x30");
  Journal.Control("GetStyleNames.result=\n");
  EXPECT_EQ(Invoke(Driver, "GetStyleNames"), "");
}

TEST_F(BarcodeTest, CommandsWithoutTheirExportFailNamingIt) {
  UseLibrary("barcode-bare");
  EXPECT_EQ(Invoke(Driver, "GetStyleNames"), "");  // this one has always answered empty text
  EXPECT_EQ(Invoke(Driver, "SetStartPrintPosition", "2"), "-1");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "SetStartPrintPosition", "two"); }), "'two' is not a valid integer value");
  const std::string library = Product.Path() + "BarcodeKit.dll";
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "PrintBarOutEx", "1"); }),
            "The library \"" + library + "\" has no export \"PrintBarOutEx\"");
  StageTable("table_m.cds", "x");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "BarConfigCds", ""); }),
            "The library \"" + library + "\" has no export \"BarConfigCds\"");
}

TEST_F(BarcodeTest, IsPrintingAndVersionAreAnsweredWhileAPrintKeepsTheLibraryBusy) {
  UseLibrary("main");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  Journal.Control("PrintBarOutEx.delay_ms=1500\nPrintBarOutEx.shows_form=1\n");
  std::promise<void> started;
  std::thread print([&] {
    TLockGuard guard(Driver.CallLock);
    started.set_value();
    Driver.InvokeMethod("printbaroutex", "1");
  });
  started.get_future().wait();
  // Wait until the library has the call (its journal line comes first), then poll.
  while (Journal.Calls("BarcodeKit").empty()) std::this_thread::yield();
  EXPECT_EQ(Property(Driver, "IsPrinting"), "1");
  EXPECT_EQ(Property(Driver, "version"), "1.9.0.0");
  print.join();
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
}

}  // namespace
}  // namespace trs::test
