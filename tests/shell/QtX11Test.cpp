// The Qt desktop backend on a real X desktop (Xvfb with openbox): a message box is owned by
// the browser's window, and a dialog run disables the browser's window and gives it back.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <thread>

#include "desktop/ktShowDialog.h"
#include "shell/QtDesktop.h"
#include "shell/XcbWindows.h"
#include "support/XvfbSession.h"

namespace trs {
namespace {

// The "browser": another program's top-level window on its own connection.
class TBrowserWindow {
 public:
  explicit TBrowserWindow(const std::string& display) {
    Connection = xcb_connect(display.c_str(), nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(Connection)).data;
    Window = xcb_generate_id(Connection);
    xcb_create_window(Connection, XCB_COPY_FROM_PARENT, Window, screen->root, 100, 100, 400, 300, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const char title[] = "browser";
    xcb_change_property(Connection, XCB_PROP_MODE_REPLACE, Window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, sizeof title - 1, title);
    xcb_map_window(Connection, Window);
    xcb_flush(Connection);
  }
  ~TBrowserWindow() { xcb_disconnect(Connection); }
  TBrowserWindow(const TBrowserWindow&) = delete;
  TBrowserWindow& operator=(const TBrowserWindow&) = delete;

  xcb_window_t Id() const { return Window; }

  // WM_TRANSIENT_FOR of `window`, or 0.
  xcb_window_t TransientForOf(xcb_window_t window) const {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        Connection,
        xcb_get_property(Connection, 0, window, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 0, 1),
        nullptr);
    xcb_window_t owner = 0;
    if (reply != nullptr && xcb_get_property_value_length(reply) == 4)
      owner = *static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
    std::free(reply);
    return owner;
  }

 private:
  xcb_connection_t* Connection = nullptr;
  xcb_window_t Window = 0;
};

class QtX11Test : public ::testing::Test {
 protected:
  QtX11Test() : browser(std::getenv("DISPLAY")) { previous = SetDesktop(&desktop); }
  ~QtX11Test() override {
    QCoreApplication::sendPostedEvents();
    SetDesktop(previous);
  }

  // Makes the browser the active window, as the user's click on it would.
  void ActivateBrowser() {
    auto windows = TXcbWindows::Open(std::getenv("DISPLAY"));
    ASSERT_NE(windows, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] {
      windows->SetForeground(browser.Id());
      return desktop.ForegroundWindow() == browser.Id();
    }, 5000));
  }

  TQtDesktop desktop;
  IDesktopBackend* previous = nullptr;
  TBrowserWindow browser;
};

QMessageBox* OpenBox() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) return box;
  return nullptr;
}

TEST_F(QtX11Test, AMessageBoxIsOwnedByTheForegroundWindow) {
  ActivateBrowser();
  std::future<int> answer = std::async(std::launch::async, [&] {
    return desktop.MessageBox("Printer offline", "TallyReportSever", MessageBoxIconError);
  });
  QMessageBox* box = nullptr;
  ASSERT_TRUE(QTest::qWaitFor([&] { return (box = OpenBox()) != nullptr; }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return browser.TransientForOf(static_cast<xcb_window_t>(box->winId())) == browser.Id();
  }, 5000));
  QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] {
    return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }, 5000));
  EXPECT_EQ(answer.get(), MessageBoxResultOk);
}

// A dialog whose "engine window" stays open until the test closes it.
class TGatedDialog : public TktIEShowDialog {
 public:
  std::promise<void> Close;
  std::atomic<bool> Showing{false};
  std::atomic<int> AfterShows{0};

 protected:
  void DoShow() override {
    RunEngineAction([this] {
      Showing = true;
      Close.get_future().wait();
    });
  }
  void DoAfterShow() override { ++AfterShows; }
};

TEST_F(QtX11Test, ADialogRunDisablesTheBrowserWindowAndGivesItBackActive) {
  ActivateBrowser();
  auto windows = TXcbWindows::Open(std::getenv("DISPLAY"));
  auto dialog = std::make_shared<TGatedDialog>();
  std::thread([&] { dialog->Show(); }).join();  // as a request's connection thread does
  ASSERT_TRUE(dialog->IsShowing());
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->Showing.load(); }, 5000));
  EXPECT_FALSE(windows->IsInputEnabled(browser.Id()));
  EXPECT_TRUE(EngineDialogActive);

  dialog->Close.set_value();
  // The worker gives the window back, then the main thread gets the last notice.
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->AfterShows == 2; }, 5000));
  EXPECT_FALSE(EngineDialogActive);
  EXPECT_TRUE(windows->IsInputEnabled(browser.Id()));
  EXPECT_TRUE(QTest::qWaitFor([&] { return desktop.ForegroundWindow() == browser.Id(); }, 5000));
  EXPECT_TRUE(WaitForDialogWorkers(std::chrono::seconds(5)));
}

}  // namespace
}  // namespace trs

// The X desktop comes first: the application connects to it when it is created. Listing
// the tests (as the build does) needs neither.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  trs::TXvfbSession session;
  setenv("DISPLAY", session.DisplayName().c_str(), 1);
  setenv("QT_QPA_PLATFORM", "xcb", 1);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
