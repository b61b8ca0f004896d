// The headless backend's event loop: posted work runs on the loop's thread, waiting callers
// get their work run there, and nothing waits forever once the loop has ended.
#include "desktop/HeadlessDesktop.h"

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

namespace trs {
namespace {

TEST(HeadlessDesktopTest, WorkRunsOnTheLoopThreadAndWaitersGetItsOutcome) {
  THeadlessDesktop desktop;
  std::thread::id loopThread;
  std::promise<void> loopStarted;
  std::thread loop([&] {
    loopThread = std::this_thread::get_id();
    desktop.PostToMainThread([&] { loopStarted.set_value(); });
    desktop.RunEventLoop();
  });
  loopStarted.get_future().wait();

  std::thread::id ranOn;
  desktop.RunOnMainThread([&] { ranOn = std::this_thread::get_id(); });
  EXPECT_EQ(ranOn, loopThread);
  EXPECT_FALSE(desktop.IsMainThread());
  EXPECT_THROW(desktop.RunOnMainThread([] { throw std::runtime_error("engine failed"); }),
               std::runtime_error);

  desktop.Quit();
  loop.join();
  // After the end: posted work is dropped, and a waiter runs its work itself.
  bool posted = false;
  desktop.PostToMainThread([&] { posted = true; });
  bool ranHere = false;
  desktop.RunOnMainThread([&] { ranHere = true; });
  EXPECT_FALSE(posted);
  EXPECT_TRUE(ranHere);
  EXPECT_EQ(desktop.MessageBox("text", "caption", MessageBoxIconError), MessageBoxResultOk);
}

}  // namespace
}  // namespace trs
