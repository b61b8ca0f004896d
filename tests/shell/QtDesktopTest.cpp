// The Qt desktop backend on the offscreen platform: the progress window, boxes asked for by
// other threads, and the end of the program while one is open.
#include "shell/QtDesktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "desktop/zrProgressor.h"
#include "platform/Text.h"
#include "shell/fuProgressor.h"

namespace trs {
namespace {

class QtDesktopTest : public ::testing::Test {
 protected:
  QtDesktopTest() { previous = SetDesktop(&desktop); }
  ~QtDesktopTest() override {
    QCoreApplication::sendPostedEvents();
    SetDesktop(previous);
  }

  // Runs the event loop until `done` holds or two seconds pass.
  template <typename Predicate>
  bool ProcessEventsUntil(Predicate done) {
    return QTest::qWaitFor(done, 2000);
  }

  TQtDesktop desktop;
  IDesktopBackend* previous = nullptr;
};

TfmProgressor* ProgressWindow() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* form = dynamic_cast<TfmProgressor*>(widget)) return form;
  return nullptr;
}

TEST_F(QtDesktopTest, TheProgressWindowShowsTheMessageAndBarAndHidesWhenFinished) {
  TzrProgressor progressor;
  TfmProgressor* form = ProgressWindow();
  ASSERT_NE(form, nullptr);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->size(), QSize(295, 65));
  EXPECT_NEAR(form->windowOpacity(), 200 / 255.0, 0.01);
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::FramelessWindowHint));

  progressor.Start(Utf8ToNarrow("正在创建模板"), 0);
  progressor.SetMax(3);
  progressor.Step();
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(form->findChild<QLabel*>("lbMain")->text(), QString::fromUtf8("正在创建模板，请稍候 ..."));
  auto* bar = form->findChild<QProgressBar*>("pbMain");
  EXPECT_EQ(bar->maximum(), 3);
  EXPECT_EQ(bar->value(), 1);

  progressor.Finish();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(bar->value(), 3);
  EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(QtDesktopTest, CallsFromAnotherThreadReachTheWindowThroughTheEventLoop) {
  TzrProgressor progressor;
  TfmProgressor* form = ProgressWindow();
  ASSERT_NE(form, nullptr);
  std::thread([&] { progressor.Start("from a connection thread", 0); }).join();
  EXPECT_FALSE(form->isVisible());  // nothing has run on the main thread yet
  EXPECT_TRUE(ProcessEventsUntil([&] { return form->isVisible(); }));
  EXPECT_EQ(form->findChild<QLabel*>("lbMain")->text(),
            QString::fromUtf8("from a connection thread，请稍候 ..."));
  std::thread([&] { progressor.Finish(); }).join();
  EXPECT_TRUE(ProcessEventsUntil([&] { return !form->isVisible(); }));
}

QMessageBox* OpenBox() {
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) return box;
  return nullptr;
}

TEST_F(QtDesktopTest, ABoxForAnotherThreadWaitsForTheUserWithoutBlockingTheMainThread) {
  std::future<int> answer = std::async(std::launch::async, [&] {
    return desktop.MessageBox("Printer offline", "TallyReportSever", MessageBoxIconError);
  });
  QMessageBox* box = nullptr;
  ASSERT_TRUE(ProcessEventsUntil([&] { return (box = OpenBox()) != nullptr; }));
  EXPECT_EQ(box->text(), "Printer offline");
  EXPECT_EQ(box->windowTitle(), "TallyReportSever");
  EXPECT_EQ(box->icon(), QMessageBox::Critical);
  EXPECT_EQ(answer.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  ASSERT_TRUE(ProcessEventsUntil([&] {
    return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }));
  EXPECT_EQ(answer.get(), MessageBoxResultOk);
}

TEST_F(QtDesktopTest, ShuttingDownClosesOpenBoxesAndAnswersLaterOnesAtOnce) {
  std::future<int> waiting = std::async(std::launch::async, [&] {
    return desktop.MessageBox("still open", "TallyReportSever", MessageBoxIconInformation);
  });
  ASSERT_TRUE(ProcessEventsUntil([] { return OpenBox() != nullptr; }));
  desktop.BeginShutdown();
  ASSERT_TRUE(ProcessEventsUntil([&] {
    return waiting.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }));
  EXPECT_EQ(waiting.get(), MessageBoxResultOk);
  // After the loop has ended, another thread's box is only logged.
  int later = std::async(std::launch::async, [&] {
                return desktop.MessageBox("after the end", "TallyReportSever", 0);
              }).get();
  EXPECT_EQ(later, MessageBoxResultOk);
}

// A box asked for on the main thread belongs to the program's active window: modal to that
// window only, so that the tray icon and its menu (other windows) stay live; and its title
// bar offers only the close button.
// A click on `widget` as it comes from the window system to the widget's window.
void ClickThroughWindow(QWidget* widget) {
  QTest::mouseClick(widget->window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                    widget->mapTo(widget->window(), widget->rect().center()));
}

TEST_F(QtDesktopTest, AMainThreadBoxIsModalToTheActiveWindowOnly) {
  QWidget form;
  auto* formButton = new QPushButton("form", &form);
  form.show();
  QApplication::setActiveWindow(&form);
  ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::activeWindow() == &form; }));
  QWidget otherWindow;  // as the tray icon's window and its menu
  auto* otherButton = new QPushButton("other", &otherWindow);
  otherWindow.show();
  int formClicks = 0;
  int otherClicks = 0;
  QObject::connect(formButton, &QPushButton::clicked, [&] { ++formClicks; });
  QObject::connect(otherButton, &QPushButton::clicked, [&] { ++otherClicks; });
  bool checked = false;
  QTimer::singleShot(0, [&] {
    QMessageBox* box = OpenBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->parentWidget(), &form);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(box->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    // As the window system delivers them, where modality applies.
    ClickThroughWindow(formButton);   // blocked by the box
    ClickThroughWindow(otherButton);  // not blocked
    checked = true;
    box->done(QMessageBox::Ok);
  });
  EXPECT_EQ(desktop.MessageBox("'' is not a valid integer value", "TallyReportSever", MessageBoxIconError),
            MessageBoxResultOk);
  EXPECT_TRUE(checked);
  EXPECT_EQ(formClicks, 0);
  EXPECT_EQ(otherClicks, 1);
}

// A stop request ends the event loops of the program, the one a main-thread box waits in
// included: the box closes and its caller goes on.
TEST_F(QtDesktopTest, AMainThreadBoxReturnsWhenTheProgramStops) {
  QTimer::singleShot(0, [&] {
    ASSERT_NE(OpenBox(), nullptr);
    desktop.BeginShutdown();
  });
  EXPECT_EQ(desktop.MessageBox("打开错误", "TallyReportSever", MessageBoxIconInformation),
            MessageBoxResultOk);
  EXPECT_EQ(OpenBox(), nullptr);
  // Once stopping, a further box is only logged.
  QTimer::singleShot(2000, [] { QCoreApplication::exit(99); });  // fails the case if shown
  EXPECT_EQ(desktop.MessageBox("later", "TallyReportSever", 0), MessageBoxResultOk);
}

}  // namespace
}  // namespace trs
