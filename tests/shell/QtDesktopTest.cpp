// The Qt desktop backend on the offscreen platform: the progress window, boxes asked for by
// other threads, and the end of the program while one is open.
#include "shell/QtDesktop.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTest>
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

}  // namespace
}  // namespace trs
