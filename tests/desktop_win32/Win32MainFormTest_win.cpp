// The Windows tray window on a real display: the tray icon, the menu, the port form and the
// port change with CONFIG.CFG.
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <vector>

#include "Win32TestDesktop_win.h"
#include "desktop/DesktopUtils.h"
#include "desktop/win32/Win32MainForm.h"
#include "desktop/win32/Win32Windows_win.h"
#include "platform/Socket.h"
#include "shell/ConfigFile.h"
#include "shell/ServiceShell.h"
// The shell's header needs the system's types first.
#include <shellapi.h>

namespace trs::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using win32::AsHwnd;

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

int FreePort() { return ListenTcp("127.0.0.1", 0, true).LocalPort(); }

std::string WindowText(HWND window) {
  wchar_t text[256] = {};
  ::GetWindowTextW(window, text, static_cast<int>(std::size(text)));
  return win32::NarrowUtf8(text);
}

// Types into a control as the keyboard would: one WM_CHAR per character.
void Type(HWND control, const std::string& keys) {
  for (char key : keys) ::SendMessageW(control, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(key)), 0);
}

// Whether the shell holds an icon with this window and number: only an existing icon can
// be changed.
bool TrayHoldsIcon(HWND window, unsigned id) {
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof(icon);
  icon.hWnd = window;
  icon.uID = id;
  icon.uFlags = NIF_TIP;
  return ::Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

// Each case writes the CONFIG.CFG beside this test program (the form reads no other) and
// removes it afterwards; ctest runs the cases of this program one at a time.
class Win32MainFormTest : public Win32DesktopTest {
 protected:
  void SetUp() override {
    Win32DesktopTest::SetUp();
    SetApplicationTitle("TallyReportSever");
  }
  void TearDown() override {
    fs::remove(ConfigFileName());
    Win32DesktopTest::TearDown();
  }
};

TEST_F(Win32MainFormTest, TheTrayIconComesWithTheFormCreationAndCanBeTakenOut) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TWin32MainForm form(*Desktop);
  const HWND window = AsHwnd(form.Window());
  EXPECT_FALSE(TrayHoldsIcon(window, TWin32MainForm::TrayIconId));
  ASSERT_TRUE(form.FormCreate(FreePort()));
  EXPECT_TRUE(form.TrayIconShown());
  EXPECT_TRUE(TrayHoldsIcon(window, TWin32MainForm::TrayIconId));
  EXPECT_FALSE(::IsWindowVisible(window)) << "the form is hidden at start";
  // Taken out while its window is still there: the shell would drop the icon of a
  // destroyed window by itself.
  form.RemoveTrayIcon();
  EXPECT_FALSE(form.TrayIconShown());
  EXPECT_FALSE(TrayHoldsIcon(window, TWin32MainForm::TrayIconId));
}

TEST_F(Win32MainFormTest, TheMenuAndTheCaptionCarryTheProgramsVersion) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TWin32MainForm form(*Desktop);
  ASSERT_TRUE(form.FormCreate(FreePort()));
  const auto menu = reinterpret_cast<HMENU>(form.TrayMenu());
  std::vector<std::string> items;
  for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), text, static_cast<int>(std::size(text)), MF_BYPOSITION);
    items.push_back(win32::NarrowUtf8(text));
  }
  const std::string version = TRS_EXPECTED_VERSION;
  EXPECT_EQ(items, (std::vector<std::string>{"修改端口", "版本号：" + version, "退出"}));
  EXPECT_EQ(WindowText(AsHwnd(form.Window())), "Orvane打印服务 " + version);
}

TEST_F(Win32MainFormTest, ThePortEditTakesDigitsOnlyAndAtMostFiveTypedButShowsALongerSavedPortWhole) {
  const int port = FreePort();
  // Leading zeros make a valid port longer than five characters.
  WriteFile(ConfigFileName(), "PORT=000" + std::to_string(port) + "\r\nEND\r\n");
  TWin32MainForm form(*Desktop);
  const HWND edit = AsHwnd(form.PortEdit());
  EXPECT_EQ(WindowText(edit), "29709");
  ASSERT_TRUE(form.FormCreate(FreePort()));
  EXPECT_EQ(WindowText(edit), "000" + std::to_string(port));
  EXPECT_EQ(form.Shell().ListeningPortsText(), std::to_string(port));

  ::SetWindowTextW(edit, L"");
  Type(edit, "8a0-8 x1");
  EXPECT_EQ(WindowText(edit), "8081");
  Type(edit, "\b");
  Type(edit, "234567");
  EXPECT_EQ(WindowText(edit), "80823");
}

// What the port button does with the edit's text.
struct TPortButtonCase {
  const char* Name;
  bool Valid;  // a free port is typed; else "0", which is no port
};

class Win32PortButtonTest : public Win32MainFormTest, public ::testing::WithParamInterface<TPortButtonCase> {};

TEST_P(Win32PortButtonTest, TheButtonMovesTheServerAndSavesPortOrShowsTheErrorAndKeepsTheForm) {
  // With the LISTEN line that the server's creation would otherwise add.
  const std::string before = "# settings\r\nPORT=\r\nLISTEN=\r\nEND\r\n";
  WriteFile(ConfigFileName(), before);
  const int initial = FreePort();
  TWin32MainForm form(*Desktop);
  ASSERT_TRUE(form.FormCreate(initial));
  form.nModifyPortClick();
  const HWND window = AsHwnd(form.Window());
  ASSERT_TRUE(::IsWindowVisible(window));

  const std::string typed = GetParam().Valid ? std::to_string(FreePort()) : "0";
  const HWND edit = AsHwnd(form.PortEdit());
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  Type(edit, typed);
  ASSERT_EQ(WindowText(edit), typed);

  // The error box comes at once, on this thread, before the click returns; the wait is
  // long only where a box is expected.
  const auto boxLimit = GetParam().Valid ? 1s : 10s;
  auto closer = std::async(std::launch::async, [boxLimit] { return CloseBoxWhenShown("TallyReportSever", boxLimit); });
  ::SendMessageW(AsHwnd(form.ApplyButton()), BM_CLICK, 0, 0);
  const std::optional<std::string> error = closer.get();
  if (GetParam().Valid) {
    EXPECT_FALSE(error.has_value()) << *error;
    EXPECT_EQ(form.Shell().ListeningPortsText(), typed);
    EXPECT_EQ(ReadFile(ConfigFileName()), "# settings\r\nPORT=" + typed + "\r\nLISTEN=\r\nEND\r\n");
    EXPECT_FALSE(::IsWindowVisible(window));
  } else {
    ASSERT_TRUE(error.has_value()) << "no error box";
    EXPECT_EQ(*error, "Port 0 is out of range (1 to 65535)");
    EXPECT_EQ(form.Shell().ListeningPortsText(), std::to_string(initial));
    EXPECT_EQ(ReadFile(ConfigFileName()), before);
    EXPECT_TRUE(::IsWindowVisible(window)) << "the form stays up for another try";
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, Win32PortButtonTest,
                         ::testing::Values(TPortButtonCase{"FreePort", true}, TPortButtonCase{"NoPort", false}),
                         [](const ::testing::TestParamInfo<TPortButtonCase>& testCase) { return std::string(testCase.param.Name); });

TEST_F(Win32MainFormTest, ClosingTheFormOnlyHidesIt) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TWin32MainForm form(*Desktop);
  ASSERT_TRUE(form.FormCreate(FreePort()));
  form.MenuCommand(TWin32MainForm::ModifyPortCommand);
  const HWND window = AsHwnd(form.Window());
  EXPECT_TRUE(::IsWindowVisible(window));
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(::IsWindow(window));
  EXPECT_FALSE(::IsWindowVisible(window));
  EXPECT_FALSE(form.Shell().ListeningPortsText().empty());
}

// The ways the tray program ends: the menu's exit item, and the end of the session (the
// service must have stopped by the time the message returns).
struct TEndCase {
  const char* Name;
  void (*End)(TWin32MainForm& form);
};

class Win32ProgramEndTest : public Win32MainFormTest, public ::testing::WithParamInterface<TEndCase> {};

TEST_P(Win32ProgramEndTest, TheServiceStopsAndTheMessageLoopEnds) {
  WriteFile(ConfigFileName(), "PORT=\r\nEND\r\n");
  TWin32MainForm form(*Desktop);
  ASSERT_TRUE(form.FormCreate(FreePort()));
  std::string portsAfterEnd = "not ended";
  Desktop->PostToMainThread([&form, &portsAfterEnd] {
    GetParam().End(form);
    portsAfterEnd = form.Shell().ListeningPortsText();
  });
  EXPECT_TRUE(RunLoopWithin(10s));
  EXPECT_EQ(portsAfterEnd, "");
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Win32ProgramEndTest,
    ::testing::Values(
        TEndCase{"ExitItem", [](TWin32MainForm& form) { form.MenuCommand(TWin32MainForm::ExitCommand); }},
        TEndCase{"SessionEnd",
                 [](TWin32MainForm& form) {
                   const HWND window = AsHwnd(form.Window());
                   if (::SendMessageW(window, WM_QUERYENDSESSION, 0, 0) != FALSE)
                     ::SendMessageW(window, WM_ENDSESSION, TRUE, 0);
                 }}),
    [](const ::testing::TestParamInfo<TEndCase>& testCase) { return std::string(testCase.param.Name); });

}  // namespace
}  // namespace trs::test
