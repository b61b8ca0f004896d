// The Win32 desktop backend on a real display: the main thread's queue, message boxes and
// their shutdown, a dialog run against a window, the progress window and the busy cursor.
#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>
#include <vector>

#include "Win32TestDesktop_win.h"
#include "desktop/ktShowDialog.h"
#include "desktop/win32/Win32ProgressView.h"
// The common controls' header needs the system's types first.
#include <commctrl.h>

namespace trs::test {
namespace {

using namespace std::chrono_literals;

TEST_F(Win32DesktopTest, WorkFromOtherThreadsRunsOnTheMainThreadInOrderAndIsDroppedOnceTheLoopEnded) {
  std::vector<int> order;              // main thread only
  std::atomic<int> offMainThread{0};
  int answer = 0;
  std::thread poster([&] {
    for (int i = 0; i < 50; ++i)
      Desktop->PostToMainThread([&, i] {
        if (!Desktop->IsMainThread()) ++offMainThread;
        order.push_back(i);
      });
    // Waits for the main thread, behind the work posted before it.
    Desktop->RunOnMainThread([&] { answer = static_cast<int>(order.size()); });
    Desktop->Quit();
  });
  ASSERT_TRUE(RunLoopWithin(10s));
  poster.join();
  std::vector<int> expected(50);
  for (int i = 0; i < 50; ++i) expected[static_cast<size_t>(i)] = i;
  EXPECT_EQ(order, expected);
  EXPECT_EQ(offMainThread, 0);
  EXPECT_EQ(answer, 50);

  auto owned = std::make_shared<int>(0);
  std::weak_ptr<int> watch = owned;
  bool ran = false;
  Desktop->PostToMainThread([owned = std::move(owned), &ran] { ran = true; });
  EXPECT_TRUE(watch.expired()) << "work posted after the loop must be destroyed at once";
  EXPECT_FALSE(ran);
}

// Where the box is asked for: on the main thread (its own modal loop runs the queue), or
// on a worker thread while the main thread runs its loop.
struct TBoxCase {
  const char* Name;
  bool FromWorker;
};

class Win32MessageBoxTest : public Win32DesktopTest, public ::testing::WithParamInterface<TBoxCase> {};

TEST_P(Win32MessageBoxTest, TheBoxIsOwnedByTheForegroundWindowAndClosedFromAnotherThread) {
  const std::string caption = std::string("Win32 box ") + GetParam().Name;
  const std::string text = "端口 8086 已被占用";
  TTestWindow browser("browser");
  ASSERT_EQ(::GetForegroundWindow(), browser.Get());

  std::atomic<HWND> owner{nullptr};
  auto closer = std::async(std::launch::async, [&] {
    HWND box = WaitForBox(caption, 10s);
    if (box != nullptr) owner = ::GetWindow(box, GW_OWNER);
    return CloseBoxWhenShown(caption, 1s);
  });
  int result = 0;
  if (GetParam().FromWorker) {
    std::thread asker([&] {
      result = Desktop->MessageBox(text, caption, MessageBoxOk | MessageBoxIconError);
      Desktop->Quit();
    });
    EXPECT_TRUE(RunLoopWithin(20s));
    asker.join();
  } else {
    result = Desktop->MessageBox(text, caption, MessageBoxOk | MessageBoxIconInformation);
  }
  const std::optional<std::string> shown = closer.get();
  ASSERT_TRUE(shown.has_value()) << "no box with the caption " << caption;
  EXPECT_EQ(*shown, text);
  EXPECT_EQ(owner.load(), browser.Get());
  EXPECT_EQ(result, MessageBoxResultOk);
  // The owner was disabled while the box was up, and is given back.
  EXPECT_TRUE(::IsWindowEnabled(browser.Get()));
}

INSTANTIATE_TEST_SUITE_P(Askers, Win32MessageBoxTest,
                         ::testing::Values(TBoxCase{"MainThread", false}, TBoxCase{"WorkerThread", true}),
                         [](const ::testing::TestParamInfo<TBoxCase>& testCase) { return std::string(testCase.param.Name); });

TEST_F(Win32DesktopTest, AfterTheShutdownBeganTheOpenBoxIsClosedAndLaterOnesAreNotShown) {
  std::promise<int> answered;
  std::future<int> answer = answered.get_future();
  std::thread asker([&] { answered.set_value(Desktop->MessageBox("open", "Win32 box open", MessageBoxOk)); });
  ASSERT_NE(WaitForBox("Win32 box open", 10s), nullptr);
  Desktop->BeginShutdown();
  const bool closed = answer.wait_for(10s) == std::future_status::ready;
  if (!closed) {
    // Let the thread go, or the test would hang instead of failing.
    if (HWND box = WaitForBox("Win32 box open", 0ms)) ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  asker.join();
  EXPECT_TRUE(closed) << "the shutdown left the box open";
  EXPECT_EQ(answer.get(), MessageBoxResultOk);

  // A box asked for now must not come up; should one come, it is closed and reported.
  auto watcher = std::async(std::launch::async, [] { return CloseBoxWhenShown("Win32 box later", 1s); });
  EXPECT_EQ(Desktop->MessageBox("later", "Win32 box later", MessageBoxOk), MessageBoxResultOk);
  EXPECT_FALSE(watcher.get().has_value());
}

// A dialog whose "engine window" only notes the state of the browser's window.
class TNotingDialog : public TktIEShowDialog {
 public:
  explicit TNotingDialog(TWin32Desktop& desktop) : Desktop(desktop) {}
  std::atomic<int> HostEnabledDuringShow{-1};
  std::atomic<int> AfterShowCalls{0};
  HWND Host = nullptr;

 protected:
  void DoShow() override { HostEnabledDuringShow = ::IsWindowEnabled(Host) ? 1 : 0; }
  void DoAfterShow() override {
    ++AfterShowCalls;
    // The second call, on the main thread, ends the run.
    if (Desktop.IsMainThread()) Desktop.Quit();
  }

 private:
  TWin32Desktop& Desktop;
};

TEST_F(Win32DesktopTest, ADialogRunDisablesTheForegroundWindowAndGivesItBackAfterwards) {
  TTestWindow browser("browser");
  ASSERT_EQ(::GetForegroundWindow(), browser.Get());
  auto dialog = std::make_shared<TNotingDialog>(*Desktop);
  dialog->Host = browser.Get();
  // A connection thread asks for the dialog: it owns no window of its own.
  std::thread connection([dialog] { dialog->Show(); });
  ASSERT_TRUE(RunLoopWithin(20s));
  connection.join();
  EXPECT_TRUE(dialog->IsShowing());
  EXPECT_EQ(dialog->HostEnabledDuringShow, 0) << "the browser's window stayed enabled during the dialog";
  EXPECT_EQ(dialog->AfterShowCalls, 2);
  EXPECT_TRUE(::IsWindowEnabled(browser.Get()));
  EXPECT_EQ(::GetForegroundWindow(), browser.Get());
  ASSERT_TRUE(WaitForDialogWorkers(10s));
}

HWND FindProgressWindow() {
  return ::FindWindowW(win32::WidenUtf8(ProgressWindowClassName).c_str(), nullptr);
}

std::string ChildTextWithClass(HWND parent, const wchar_t* className, const std::string& prefix) {
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[64] = {};
    ::GetClassNameW(child, name, static_cast<int>(std::size(name)));
    if (::lstrcmpiW(name, className) != 0) continue;
    wchar_t text[256] = {};
    ::GetWindowTextW(child, text, static_cast<int>(std::size(text)));
    const std::string value = win32::NarrowUtf8(text);
    if (value.rfind(prefix, 0) == 0) return value;
  }
  return {};
}

HWND ChildWithClass(HWND parent, const wchar_t* className) {
  return ::FindWindowExW(parent, nullptr, className, nullptr);
}

TEST_F(Win32DesktopTest, TheProgressWindowTakesChangesFromAWorkerThread) {
  std::unique_ptr<IProgressView> view = Desktop->CreateProgressView();
  HWND window = FindProgressWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(::IsWindowVisible(window));
  // The window's state, read on the main thread between the worker's steps.
  struct TSeen {
    bool Visible = false;
    bool Topmost = false;
    std::string Message;
    int Max = 0;
    int Position = 0;
  };
  std::vector<TSeen> seen;
  auto look = [&] {
    HWND bar = ChildWithClass(window, PROGRESS_CLASSW);
    seen.push_back({::IsWindowVisible(window) != FALSE,
                    (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0,
                    ChildTextWithClass(window, L"STATIC", "正在"),
                    static_cast<int>(::SendMessageW(bar, PBM_GETRANGE, FALSE, 0)),
                    static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0))});
  };
  std::thread driver([&] {
    view->SetMessage("正在打印第 3 页");
    view->SetMax(10);
    view->SetPosition(3);
    view->Show();
    view->ProcessPaintMessages();
    Desktop->RunOnMainThread(look);
    view->SetTopmost(false);
    view->Hide();
    Desktop->RunOnMainThread(look);
    Desktop->Quit();
  });
  ASSERT_TRUE(RunLoopWithin(10s));
  driver.join();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_TRUE(seen[0].Visible);
  EXPECT_TRUE(seen[0].Topmost);
  EXPECT_EQ(seen[0].Message, "正在打印第 3 页");
  EXPECT_EQ(seen[0].Max, 10);
  EXPECT_EQ(seen[0].Position, 3);
  EXPECT_FALSE(seen[1].Visible);
  EXPECT_FALSE(seen[1].Topmost);
  EXPECT_FALSE(view->IsVisible());
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// The busy cursor over the program's windows, for each cursor the screen can show.
TEST_F(Win32DesktopTest, TheBusyCursorIsShownOverTheProgramsWindowsUntilItEnds) {
  const std::filesystem::path good = std::filesystem::path(TRS_ANI_CORPUS_DIR) / "two_cursor_frames_seq_rate.ani";
  const std::filesystem::path broken = std::filesystem::path(testing::TempDir()) / "Win32DesktopTest_broken.ani";
  const std::string bytes = ReadBytes(good);
  ASSERT_GT(bytes.size(), 64u);
  std::ofstream(broken, std::ios::binary) << bytes.substr(0, bytes.size() / 2);

  EXPECT_FALSE(Desktop->LoadAnimatedCursor(broken.string()));
  EXPECT_FALSE(Desktop->LoadAnimatedCursor((std::filesystem::path(testing::TempDir()) / "missing.ani").string()));
  ASSERT_TRUE(Desktop->LoadAnimatedCursor(good.string()));

  HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT);
  Desktop->SetScreenCursor(TScreenCursor::Hourglass);
  EXPECT_TRUE(Desktop->ShowBusyCursorOverWindow());
  EXPECT_EQ(::GetCursor(), wait);

  Desktop->SetScreenCursor(TScreenCursor::Animated);
  EXPECT_TRUE(Desktop->ShowBusyCursorOverWindow());
  EXPECT_NE(::GetCursor(), nullptr);
  EXPECT_NE(::GetCursor(), wait);
  EXPECT_NE(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));

  Desktop->SetScreenCursor(TScreenCursor::Default);
  EXPECT_FALSE(Desktop->ShowBusyCursorOverWindow());
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
  std::filesystem::remove(broken);
}

}  // namespace
}  // namespace trs::test
