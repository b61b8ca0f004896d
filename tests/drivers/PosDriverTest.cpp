// The POS device driver against the stand-in device libraries, loaded for real.
#include <gtest/gtest.h>

#include "DriverCalls.h"
#include "drivers/fuPosDriver.h"
#include "support/StandInEngines.h"

namespace trs::test {
namespace {

class PosDriverTest : public testing::Test {
 protected:
  void UseLibrary(const std::string& variant) {
    if (variant != "none") Product.Install(StandInEngine("PosKit.dll", variant), "PosKit.dll");
    Tag(Driver, TProductDirectory::Tag);
  }

  TProductDirectory Product{"pos"};
  TEngineJournal Journal;
  TPosDriver Driver;
};

TEST_F(PosDriverTest, PassesEachCommandToItsExport) {
  UseLibrary("");
  const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
      // command, argument text, the export called, its arguments
      {"ShowPosCfg", "", "ShowPosCfg", "[0]"},
      {"HidePage", "0x2", "HidePage", "[2]"},
      {"ShowAllPages", "whatever", "ShowAllPages", "[]"},
      {"PosOpenCashBox", "", "PosOpenCashBox", "[]"},
      {"PosScreenOut", " 1 , 合计 12.50 ", "PosScreenOut", "[1,\"合计 12.50\",{\"previous\":\"\"}]"},
      {"PosScreenOut", "2,a,b", "PosScreenOut", "[2,\"a\",{\"previous\":\"合计 12.50\"}]"},
  };
  for (const auto& [command, args, call, callArgs] : cases) {
    Journal.Clear();
    EXPECT_EQ(Invoke(Driver, command, args), "-1") << command;
    const std::vector<TEngineCall> calls = Journal.Calls("PosKit");
    ASSERT_EQ(calls.size(), 1u) << command;
    EXPECT_EQ(calls[0].Call, call);
    EXPECT_EQ(calls[0].Args, callArgs);
  }
  EXPECT_EQ(Invoke(Driver, "Unknown"), "-1");
  EXPECT_EQ(Property(Driver, "version"), "2.1.4.7");
  EXPECT_EQ(Property(Driver, "Anything"), "-1");
}

TEST_F(PosDriverTest, BadArgumentsFailBeforeTheLibraryIsCalled) {
  UseLibrary("");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "HidePage", "first"); }), "'first' is not a valid integer value");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "PosScreenOut", "1"); }), "List index out of bounds (1)");
  EXPECT_EQ(ErrorOf([&] { Invoke(Driver, "PosScreenOut", "one,text"); }), "'one' is not a valid integer value");
  EXPECT_TRUE(Journal.Calls("PosKit").empty());
}

TEST_F(PosDriverTest, WithoutTheLibraryNotEvenTheBaseCommandsRun) {
  UseLibrary("none");
  EXPECT_EQ(Invoke(Driver, "BeginPrint"), "");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  EXPECT_EQ(Property(Driver, "version"), "");
}

TEST_F(PosDriverTest, IsPrintingFollowsTheBracketAndTheLibrarysForm) {
  UseLibrary("");
  EXPECT_EQ(Invoke(Driver, "BeginPrint"), "1");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "1");
  EXPECT_EQ(Invoke(Driver, "EndPrint"), "1");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "0");
  Journal.Control("PosKit.GetIsShowedForm.result=1\n");
  EXPECT_EQ(Property(Driver, "IsPrinting"), "1");
}

TEST_F(PosDriverTest, CommandsWithoutTheirExportFailNamingIt) {
  UseLibrary("pos-bare");
  for (const char* command : {"ShowPosCfg", "HidePage", "ShowAllPages", "PosOpenCashBox", "PosScreenOut"}) {
    const std::string args = std::string(command) == "PosScreenOut" ? "1,x" : "1";
    EXPECT_EQ(ErrorOf([&] { Invoke(Driver, command, args); }),
              "The library \"" + Product.Path() + "PosKit.dll\" has no export \"" + command + "\"");
  }
  EXPECT_EQ(Invoke(Driver, "BeginPrint"), "1");  // the base commands still run
  EXPECT_EQ(Invoke(Driver, "EndPrint"), "1");
}

}  // namespace
}  // namespace trs::test
