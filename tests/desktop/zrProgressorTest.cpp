// The progress window's controller: the order of its steps and its counters.
#include "desktop/zrProgressor.h"

#include <gtest/gtest.h>

#include "desktop/DesktopUtils.h"
#include "platform/Text.h"
#include "support/RecordingDesktop.h"

namespace trs {
namespace {

using Calls = std::vector<std::string>;

// The calls without the cursor file's loading, with either busy cursor as "Busy": whether
// the animated cursor is loaded depends on what ran before in this process.
Calls WithoutCursorLoading(const Calls& calls) {
  Calls result;
  for (const std::string& call : calls) {
    if (call.rfind("LoadAnimatedCursor", 0) == 0) continue;
    bool busy = call == "SetScreenCursor(Hourglass)" || call == "SetScreenCursor(Animated)";
    result.push_back(busy ? "SetScreenCursor(Busy)" : call);
  }
  return result;
}

TEST(ProgressorTest, StartShowsTheMessageWithItsSuffixAndAnEmptyBar) {
  test::TRecordingDesktop desktop;
  TzrProgressor progressor;
  desktop.ClearCalls();
  progressor.Start(Utf8ToNarrow("正在初始化"), 3);
  EXPECT_EQ(WithoutCursorLoading(desktop.Calls()), (Calls{
                                 "SetScreenCursor(Busy)",
                                 "Progress.SetTopmost(1)",
                                 "Progress.BringToTop",
                                 "Progress.Show",
                                 "Progress.SetMessage(正在初始化，请稍候 ...)",
                                 "Progress.Paint",
                                 "Progress.SetPosition(0)",
                                 "Progress.Paint",
                             }));
  EXPECT_EQ(NarrowToUtf8(progressor.Message()), "正在初始化，请稍候 ...");
  EXPECT_EQ(progressor.Mode(), 3);
  progressor.Finish();
}

TEST(ProgressorTest, FinishFillsTheBarEndsTheCursorAndHides) {
  test::TRecordingDesktop desktop;
  TzrProgressor progressor;
  progressor.Start("x", 0);
  progressor.SetMax(4);
  progressor.Step();
  progressor.Step();
  EXPECT_EQ(progressor.Position(), 2);
  desktop.ClearCalls();
  progressor.Finish();
  EXPECT_EQ(desktop.Calls(), (Calls{
                                 "Progress.SetTopmost(0)",
                                 "Progress.SetPosition(4)",
                                 "Progress.Paint",
                                 "SetScreenCursor(Default)",
                                 "Progress.Hide",
                                 "Progress.Paint",
                             }));
  EXPECT_EQ(BusyCursorCount(), 0);
}

TEST(ProgressorTest, NegativeMaxBecomesZeroAndAHiddenFinishStillEndsOneCursorLevel) {
  test::TRecordingDesktop desktop;
  {
    TzrProgressor progressor;
    progressor.SetMax(-5);
    EXPECT_EQ(progressor.Max(), 0);
    progressor.Start("a", 0);
    progressor.Start("b", 0);  // only changes the message and empties the bar
    progressor.Finish();
    EXPECT_EQ(BusyCursorCount(), 1);  // two starts, one finish: still busy
    progressor.Finish();              // on a hidden window
    EXPECT_EQ(BusyCursorCount(), 0);
    desktop.ClearCalls();
  }  // the destructor finishes once more: one more end, nothing shown
  EXPECT_EQ(BusyCursorCount(), -1);
  EXPECT_EQ(desktop.CallsStartingWith("Progress.Hide"), Calls{});
  BeginBusyCursor();  // back to a clean count for the other tests
  EndBusyCursor();
}

}  // namespace
}  // namespace trs
