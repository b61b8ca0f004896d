// The real program on a desktop, from outside: it comes up as the tray program, and its port
// form, driven through its window as a user's clicks reach it, moves the running server.
#include <gtest/gtest.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "desktop/win32/Win32Windows_win.h"
#include "platform/Socket.h"
#include "support/ProgramUnderTest.h"

namespace trs::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The program's form class and its controls' ids (src/desktop/win32/Win32MainForm_win.cpp):
// what a user's clicks reach, and all this test may know of the program.
constexpr wchar_t FormClass[] = L"TallyReportSrvMainForm";
constexpr int PortEditId = 10;
constexpr int ApplyButtonId = IDOK;

struct TSearch {
  DWORD ProcessId;
  HWND Found = nullptr;
};

// The port form of the process `processId`, waiting up to `limit` for it to be made.
HWND FormOfProcess(long processId, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  for (;;) {
    TSearch search{static_cast<DWORD>(processId)};
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
          auto* wanted = reinterpret_cast<TSearch*>(context);
          DWORD owner = 0;
          ::GetWindowThreadProcessId(window, &owner);
          wchar_t className[64] = {};
          ::GetClassNameW(window, className, static_cast<int>(std::size(className)));
          if (owner != wanted->ProcessId || std::wstring(className) != FormClass) return TRUE;
          wanted->Found = window;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.Found != nullptr || Clock::now() > deadline) return search.Found;
    std::this_thread::sleep_for(50ms);
  }
}

// Whether a request on `port` is answered (the IsPrinting poll answers "0"), asking until
// `limit` has passed; until the program listens there, connecting fails.
bool AnswersWithin(int port, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  do {
    try {
      if (BodyOf(Get(port, "Get=IsPrinting")) == "0") return true;
    } catch (const std::exception&) {
      // not listening there yet
    }
    std::this_thread::sleep_for(50ms);
  } while (Clock::now() < deadline);
  return false;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(Win32TrayProgramTest, ThePortFormOfTheRunningProgramMovesItsServerAndSavesThePort) {
  TProgramOptions options;
  options.ConfigFile = "PORT=\r\nEND\r\n";
  TProgramUnderTest program(options);
  const int initial = program.Port();
  const HWND form = FormOfProcess(program.ProcessId(), 10s);
  ASSERT_NE(form, nullptr) << "no tray program came up on the display";
  const HWND edit = ::GetDlgItem(form, PortEditId);
  ASSERT_NE(edit, nullptr);

  const int moved = ListenTcp("127.0.0.1", 0, true).LocalPort();  // free once the socket goes
  const std::wstring typed = std::to_wstring(moved);
  ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));
  // The button's click as the form receives it; posted, so that an error box the program
  // might show cannot hold this test.
  ::PostMessageW(form, WM_COMMAND, MAKEWPARAM(ApplyButtonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(form, ApplyButtonId)));

  EXPECT_TRUE(AnswersWithin(moved, 10s)) << "the new port is not served";
  EXPECT_FALSE(ConnectTcp("127.0.0.1", initial).Valid()) << "the old port still accepts";
  EXPECT_NE(ReadFile(program.Directory() / "CONFIG.CFG").find("PORT=" + std::to_string(moved) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(program.Terminate(), 0) << program.ErrorOutput();
}

}  // namespace
}  // namespace trs::test
