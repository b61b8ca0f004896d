// Message boxes and the counted busy cursor, against the recording desktop.
#include "desktop/DesktopUtils.h"

#include <gtest/gtest.h>

#include "platform/ProgramFile.h"
#include "support/RecordingDesktop.h"

namespace trs {
namespace {

using test::TRecordingDesktop;

class DesktopUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override { SetApplicationTitle("TallyReportSever"); }
  void TearDown() override {
    while (BusyCursorCount() > 0) EndBusyCursor();
    if (BusyCursorCount() < 0) BeginBusyCursor(), EndBusyCursor();
    SetApplicationTitle("");
  }
  TRecordingDesktop desktop;
};

TEST_F(DesktopUtilsTest, BoxesCarryTheirCaptionAndIcon) {
  EXPECT_EQ(ShowInfoBox("saved"), 1);
  ShowErrorBox("failed", false);
  ErrorBox("broken");
  SetApplicationTitle("");
  ShowInfoBox("untitled");
  ShowErrorBox("untitled", true);
  EXPECT_EQ(desktop.Calls(), (std::vector<std::string>{
                                 "MessageBox(saved|TallyReportSever|64)",
                                 "MessageBox(failed|TallyReportSever|16)",
                                 "MessageBox(broken|错误|16)",
                                 "MessageBox(untitled|系统提示|64)",
                                 "MessageBox(untitled|系统提示|16)",
                             }));
}

TEST_F(DesktopUtilsTest, NestedBeginsKeepTheCursorUntilTheLastEnd) {
  BeginBusyCursor();
  BeginBusyCursor();
  EndBusyCursor();
  EXPECT_EQ(desktop.CallsStartingWith("SetScreenCursor"),
            std::vector<std::string>{"SetScreenCursor(Hourglass)"});
  EndBusyCursor();
  EXPECT_EQ(desktop.CallsStartingWith("SetScreenCursor"),
            (std::vector<std::string>{"SetScreenCursor(Hourglass)", "SetScreenCursor(Default)"}));
}

TEST_F(DesktopUtilsTest, AnEndWithoutABeginIsForgottenByTheNextBegin) {
  EndBusyCursor();
  EXPECT_EQ(BusyCursorCount(), -1);
  BeginBusyCursor();
  EXPECT_EQ(BusyCursorCount(), 1);
  EXPECT_EQ(desktop.CallsStartingWith("SetScreenCursor").back(), "SetScreenCursor(Hourglass)");
}

TEST_F(DesktopUtilsTest, TheAnimatedCursorComesFromTheProgramDirectoryWhenItLoads) {
  desktop.SetAnimatedCursorLoads(true);
  BeginBusyCursor();
  EndBusyCursor();
  BeginBusyCursor();  // once loaded, it is not loaded again
  EXPECT_EQ(desktop.CallsStartingWith("LoadAnimatedCursor"),
            std::vector<std::string>{"LoadAnimatedCursor(" + ProgramDirectory() + "vxBusy.ani)"});
  EXPECT_EQ(desktop.CallsStartingWith("SetScreenCursor").back(), "SetScreenCursor(Animated)");
}

}  // namespace
}  // namespace trs
