// The tray window's form on the offscreen platform: the port edit, hiding, the tray
// actions, the port change with CONFIG.CFG, and the version in caption and menu.
#include "shell/fuMain.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "desktop/DesktopUtils.h"
#include "endpoint/fuReportServer.h"
#include "platform/Socket.h"
#include "shell/ConfigFile.h"
#include "support/RecordingDesktop.h"

namespace trs {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

int FreePort() { return ListenTcp("127.0.0.1", 0, true).LocalPort(); }

// Each case writes the CONFIG.CFG beside this test program (the form reads no other) and
// removes it afterwards; ctest runs the cases of this program one at a time.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override { SetApplicationTitle("TallyReportSever"); }
  void TearDown() override { fs::remove(ConfigFileName()); }

  template <typename T>
  T* Child(TfmMain& form, const char* name) {
    T* child = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  test::TRecordingDesktop desktop;
};

TEST_F(MainFormTest, ThePortEditTakesDigitsAndBackspaceOnlyAndAtMostFive) {
  TfmMain form;
  QLineEdit* edit = Child<QLineEdit>(form, "edtPort");
  EXPECT_EQ(edit->text(), "29709");
  edit->clear();
  QTest::keyClicks(edit, "8a0-8 x1");
  EXPECT_EQ(edit->text(), "8081");
  QTest::keyClick(edit, Qt::Key_Backspace);
  QTest::keyClicks(edit, "234567");
  EXPECT_EQ(edit->text(), "80823");
}

TEST_F(MainFormTest, WithoutAPortLineTheServerStaysAndTheFileGainsOne) {
  WriteFile(ConfigFileName(), "# settings\r\nEND\r\n");
  const int initial = FreePort();
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(initial));
  EXPECT_EQ(form.Shell().ListeningPortsText(), std::to_string(initial));
  EXPECT_EQ(Child<QLineEdit>(form, "edtPort")->text(), "29709");
  EXPECT_EQ(ReadFile(ConfigFileName()), "# settings\r\nLISTEN=\r\nPORT=\r\nEND\r\n");
  EXPECT_FALSE(form.isVisible());
}

TEST_F(MainFormTest, APortFromTheFileMovesTheServerAndFillsTheEdit) {
  const int configured = FreePort();
  WriteFile(ConfigFileName(), "PORT=" + std::to_string(configured) + "\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  EXPECT_EQ(form.Shell().ListeningPortsText().substr(0, std::to_string(configured).size()),
            std::to_string(configured));
  EXPECT_EQ(Child<QLineEdit>(form, "edtPort")->text(), QString::number(configured));
}

TEST_F(MainFormTest, ThePortButtonMovesTheServerRewritesTheFileAndHides) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  form.nModifyPortClick();
  EXPECT_TRUE(form.isVisible());
  const int next = FreePort();
  QLineEdit* edit = Child<QLineEdit>(form, "edtPort");
  edit->clear();
  QTest::keyClicks(edit, QString::number(next));
  QTest::mouseClick(Child<QPushButton>(form, "btnApp"), Qt::LeftButton);
  EXPECT_EQ(form.Shell().ListeningPortsText().substr(0, std::to_string(next).size()),
            std::to_string(next));
  EXPECT_TRUE(ConnectTcp("127.0.0.1", next).Valid());
  EXPECT_EQ(ReadFile(ConfigFileName()), "PORT=" + std::to_string(next) + "\r\nLISTEN=\r\nEND\r\n");
  EXPECT_FALSE(form.isVisible());
}

TEST_F(MainFormTest, AFailedPortChangeIsShownAndLeavesFileAndFormAsTheyWere) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  const std::string before = ReadFile(ConfigFileName());
  form.nModifyPortClick();
  QLineEdit* edit = Child<QLineEdit>(form, "edtPort");
  edit->clear();
  form.btnAppClick();  // empty text
  const TSocket taken = ListenTcp("127.0.0.1", 0, true);
  edit->setText(QString::number(taken.LocalPort()));
  form.btnAppClick();  // a port another socket holds
  EXPECT_EQ(desktop.CallsStartingWith("MessageBox"),
            (std::vector<std::string>{
                "MessageBox('' is not a valid integer value|TallyReportSever|16)",
                "MessageBox(Could not bind socket. Address and port are already in use.|TallyReportSever|16)"}));
  EXPECT_EQ(ReadFile(ConfigFileName()), before);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.Shell().ListeningPortsText(), "");  // stopped until the next good change
}

TEST_F(MainFormTest, ClosingHidesAndOnlyExitStopsTheServer) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  form.show();
  EXPECT_FALSE(form.close());  // refused
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(form.Shell().Server()->Listening());
  form.nExitClick();
  EXPECT_FALSE(form.Shell().Server()->Listening());
}

TEST_F(MainFormTest, TheTrayIconTogglesTheFormAndOpensItsMenu) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  QSystemTrayIcon* tray = form.TrayIcon();
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(tray->toolTip(), "TallyReportSever");
  emit tray->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(form.isVisible());
  emit tray->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_FALSE(form.isVisible());
  emit tray->activated(QSystemTrayIcon::Trigger);  // a single click does nothing
  EXPECT_FALSE(form.isVisible());
  QMenu* menu = form.TrayMenu();
  EXPECT_FALSE(menu->isVisible());
  emit tray->activated(QSystemTrayIcon::Context);
  EXPECT_TRUE(menu->isVisible());
  menu->close();
}

TEST_F(MainFormTest, CaptionAndMenuCarryTheProgramVersion) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  EXPECT_EQ(getVersion(), TRS_EXPECTED_VERSION);
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Orvane打印服务 " TRS_EXPECTED_VERSION));
  EXPECT_EQ(form.TrayMenu()->findChild<QAction*>("nVersion")->text(),
            QString::fromUtf8("版本号：" TRS_EXPECTED_VERSION));
  const QStringList items = {"nModifyPort", "nVersion", "nExit"};
  QStringList captions;
  for (const QString& name : items)
    captions << form.TrayMenu()->findChild<QAction*>(name)->text();
  EXPECT_EQ(captions[0], QString::fromUtf8("修改端口"));
  EXPECT_EQ(captions[2], QString::fromUtf8("退出"));
}

// A PORT that is no port is shown, and the service goes on on its start port with the tray
// icon; only the steps after LoadPort are left out.
TEST_F(MainFormTest, ABadPortAtStartIsShownAndTheServiceStaysOnItsStartPort) {
  const struct {
    const char* Value;
    const char* Message;
  } cases[] = {
      {"http", "'http' is not a valid integer value"},
      {"70000", "Port 70000 is out of range (1 to 65535)"},
      {"0", "Port 0 is out of range (1 to 65535)"},
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.Value);
    desktop.ClearCalls();
    WriteFile(ConfigFileName(), std::string("PORT=") + bad.Value + "\r\nEND\r\n");
    const int initial = FreePort();
    TfmMain form;
    EXPECT_TRUE(form.FormCreate(initial));
    EXPECT_EQ(desktop.CallsStartingWith("MessageBox"),
              std::vector<std::string>{std::string("MessageBox(") + bad.Message + "|TallyReportSever|16)"});
    EXPECT_EQ(form.Shell().ListeningPortsText().substr(0, std::to_string(initial).size()),
              std::to_string(initial));
    EXPECT_NE(form.TrayIcon(), nullptr);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8(TfmMain::CaptionBase));  // later steps skipped
  }
}

// The limit of five is for typing: a longer PORT is shown whole (and trimmed), and the
// button moves nothing when it is pressed unchanged.
TEST_F(MainFormTest, ALoadedPortIsShownWholeAndTrimmedAndKeptByAnUnchangedButton) {
  const std::string port = std::to_string(FreePort());
  const struct {
    std::string Value;
    std::string Shown;
  } cases[] = {{"0" + port, "0" + port}, {" " + port, port}};
  for (const auto& loaded : cases) {
    SCOPED_TRACE(loaded.Value);
    WriteFile(ConfigFileName(), "PORT=" + loaded.Value + "\r\nEND\r\n");
    TfmMain form;
    ASSERT_TRUE(form.FormCreate(FreePort()));
    QLineEdit* edit = Child<QLineEdit>(form, "edtPort");
    EXPECT_EQ(edit->text().toStdString(), loaded.Shown);
    form.nModifyPortClick();
    form.btnAppClick();
    EXPECT_EQ(desktop.CallsStartingWith("MessageBox"), std::vector<std::string>{});
    EXPECT_EQ(form.Shell().ListeningPortsText().substr(0, port.size()), port);
    EXPECT_EQ(ReadFile(ConfigFileName()), "PORT=" + loaded.Shown + "\r\nLISTEN=\r\nEND\r\n");
  }
}

TEST_F(MainFormTest, ALongerLoadedPortCanBeShortenedButNotLengthened) {
  WriteFile(ConfigFileName(), "PORT=0" + std::to_string(FreePort()) + "\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  QLineEdit* edit = Child<QLineEdit>(form, "edtPort");
  const QString loaded = edit->text();
  edit->end(false);
  QTest::keyClicks(edit, "7");
  EXPECT_EQ(edit->text(), loaded);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), loaded.left(5));
  QTest::keyClicks(edit, "7");
  EXPECT_EQ(edit->text(), loaded.left(5));
}

TEST_F(MainFormTest, TheFormOpensWithTheEditFocusedAndItsTextSelectedSoTypingReplacesIt) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  QLineEdit* edit = Child<QLineEdit>(form, "edtPort");
  form.nModifyPortClick();
  EXPECT_EQ(form.focusWidget(), edit);
  EXPECT_EQ(edit->selectedText(), "29709");
  QTest::keyClicks(edit, "9100");
  EXPECT_EQ(edit->text(), "9100");
  // Again when the icon's double-click shows it.
  form.hide();
  emit form.TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_EQ(form.focusWidget(), edit);
  EXPECT_EQ(edit->selectedText(), "9100");
}

TEST_F(MainFormTest, AnOutOfRangePortInTheFormIsShownAndTheServiceStays) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  const int initial = FreePort();
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(initial));
  const std::string before = ReadFile(ConfigFileName());
  form.nModifyPortClick();
  Child<QLineEdit>(form, "edtPort")->setText("65536");
  form.btnAppClick();
  EXPECT_EQ(desktop.CallsStartingWith("MessageBox"),
            std::vector<std::string>{"MessageBox(Port 65536 is out of range (1 to 65535)|TallyReportSever|16)"});
  EXPECT_EQ(ReadFile(ConfigFileName()), before);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.Shell().ListeningPortsText().substr(0, std::to_string(initial).size()),
            std::to_string(initial));
}

// Exit from the tray menu ends the event loop also while the form is open (the form refuses
// to close, which must not hold the exit up).
TEST_F(MainFormTest, ExitEndsTheEventLoopWhileTheFormIsOpen) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  form.nModifyPortClick();
  ASSERT_TRUE(form.isVisible());
  QTimer::singleShot(0, &form, [&form] { form.nExitClick(); });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  watchdog.start(5000);
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_FALSE(form.Shell().Server()->Listening());
}

TEST_F(MainFormTest, WithoutANotificationAreaItSaysSo) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TfmMain form;
  ASSERT_TRUE(form.FormCreate(FreePort()));
  // No notification service either: the notice is the log line alone.
  qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
  // The offscreen platform has no notification area.
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(form.CheckNotificationArea());
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("this desktop has no notification area"), std::string::npos) << log;
  EXPECT_NE(log.find("kill " + std::to_string(QCoreApplication::applicationPid())), std::string::npos) << log;
}

}  // namespace
}  // namespace trs
