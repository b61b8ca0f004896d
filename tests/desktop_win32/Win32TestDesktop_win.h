// What the Win32 desktop tests share: a backend on the test's thread (the test fails when
// the session can show no windows), its message loop run with a time limit, and the boxes
// found by their caption and closed as a user would.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "desktop/win32/Win32Desktop.h"
#include "platform/Win32_win.h"

namespace trs::test {

class Win32DesktopTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the backend's message loop until something quits it; false when it had to be
  // ended after `limit`.
  bool RunLoopWithin(std::chrono::seconds limit);

  std::unique_ptr<TWin32Desktop> Desktop;

 private:
  IDesktopBackend* Previous = nullptr;
};

// A message box's window with this caption, waited for up to `limit`; null when none came.
HWND WaitForBox(const std::string& caption, std::chrono::milliseconds limit);
// The text of a message box.
std::string BoxText(HWND box);
// Waits for the box with `caption`, reads its text and presses its OK button from this
// thread; nullopt when no box came within `limit`.
std::optional<std::string> CloseBoxWhenShown(const std::string& caption, std::chrono::milliseconds limit);

// A visible top-level window of the calling thread, made the foreground window; destroyed
// with the object.
class TTestWindow {
 public:
  explicit TTestWindow(const std::string& title);
  ~TTestWindow();
  TTestWindow(const TTestWindow&) = delete;
  TTestWindow& operator=(const TTestWindow&) = delete;
  HWND Get() const { return Window; }

 private:
  HWND Window = nullptr;
};

}  // namespace trs::test
