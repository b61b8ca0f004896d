// The Win32 desktop tests' shared parts.
#include "Win32TestDesktop_win.h"

#include <atomic>
#include <future>
#include <thread>

namespace trs::test {

void Win32DesktopTest::SetUp() {
  std::string problem;
  // Without a display there is nothing to test: that is a failure, never a pass.
  ASSERT_TRUE(Win32DesktopAvailable(problem))
      << problem << " (run the tests on a display, e.g. xvfb-run -a wine <test program>)";
  Desktop = std::make_unique<TWin32Desktop>();
  Previous = SetDesktop(Desktop.get());
}

void Win32DesktopTest::TearDown() {
  if (!Desktop) return;
  SetDesktop(Previous);
  Desktop.reset();
}

bool Win32DesktopTest::RunLoopWithin(std::chrono::seconds limit) {
  std::promise<void> ended;
  std::future<void> endedSignal = ended.get_future();
  std::atomic<bool> timedOut{false};
  std::thread watchdog([&] {
    if (endedSignal.wait_for(limit) == std::future_status::timeout) {
      timedOut = true;
      Desktop->Quit();
    }
  });
  Desktop->RunEventLoop();
  ended.set_value();
  watchdog.join();
  return !timedOut;
}

HWND WaitForBox(const std::string& caption, std::chrono::milliseconds limit) {
  const std::wstring wideCaption = win32::WidenUtf8(caption);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    // "#32770" is the class of dialog boxes, message boxes included.
    if (HWND box = ::FindWindowW(L"#32770", wideCaption.c_str())) return box;
    if (std::chrono::steady_clock::now() > deadline) return nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string BoxText(HWND box) {
  // The message's label in a message box has the number 0xFFFF.
  wchar_t text[512] = {};
  ::GetDlgItemTextW(box, 0xFFFF, text, static_cast<int>(std::size(text)));
  return win32::NarrowUtf8(text);
}

std::optional<std::string> CloseBoxWhenShown(const std::string& caption, std::chrono::milliseconds limit) {
  HWND box = WaitForBox(caption, limit);
  if (box == nullptr) return std::nullopt;
  std::string text = BoxText(box);
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  return text;
}

TTestWindow::TTestWindow(const std::string& title) {
  Window = ::CreateWindowExW(0, L"STATIC", win32::WidenUtf8(title).c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             100, 100, 300, 200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (Window != nullptr) ::SetForegroundWindow(Window);
}

TTestWindow::~TTestWindow() {
  if (Window != nullptr) ::DestroyWindow(Window);
}

}  // namespace trs::test
