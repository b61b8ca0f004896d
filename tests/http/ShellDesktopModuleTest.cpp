// The program and its Linux desktop module: displays it cannot reach, a module that is
// missing, and the tray program's failure.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/ProgramUnderTest.h"
#include "support/XvfbSession.h"

namespace trs::test {
namespace {

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::filesystem::path BuildDirectory() { return std::filesystem::path(TRS_PROGRAM_PATH).parent_path(); }

// A display variable that names no display (a stale one over ssh, a service's environment)
// is said once, and the program serves without a desktop instead of dying in the toolkit.
TEST(ShellProgram, AnUnreachableDisplayIsSaidOnceAndTheServiceRunsWithoutADesktop) {
  const struct {
    const char* Variable;
    const char* Value;
    const char* Said;
  } cases[] = {
      {"DISPLAY", ":9873", "the X display :9873 cannot be opened"},
      {"WAYLAND_DISPLAY", "no-such-compositor", "the Wayland display "},
  };
  for (const auto& display : cases) {
    SCOPED_TRACE(display.Variable);
    TProgramOptions options;
    options.ConfigFile = "PORT=\r\nLISTEN=\r\nEND\r\n";
    options.Files = {{(BuildDirectory() / "TallyReportSrv-desktop.so").string(), "TallyReportSrv-desktop.so"}};
    options.Environment = {{display.Variable, display.Value}};
    TProgramUnderTest program(options);
    EXPECT_EQ(BodyOf(Get(program.Port(), "Get=IsPrinting")), "0");
    const std::string log = program.ErrorOutput();
    EXPECT_EQ(Occurrences(log, display.Said), 1u) << log;
    EXPECT_EQ(Occurrences(log, "serving without a desktop"), 1u) << log;
    EXPECT_EQ(program.Terminate(), 0);
  }
}

TEST(ShellProgram, AMissingDesktopModuleIsSaidOnceAndTheServiceRunsWithoutADesktop) {
  TProgramOptions options;
  options.ConfigFile = "PORT=\r\nLISTEN=\r\nEND\r\n";
  options.Environment = {{"DISPLAY", ":9873"}};
  TProgramUnderTest program(options);
  EXPECT_EQ(BodyOf(Get(program.Port(), "Get=IsPrinting")), "0");
  const std::string log = program.ErrorOutput();
  EXPECT_EQ(Occurrences(log, "the desktop module TallyReportSrv-desktop.so beside the program cannot be loaded"), 1u)
      << log;
  EXPECT_EQ(program.Terminate(), 0);
}

// Once the tray program has started, its failure ends the program: it is not started again
// as a headless service (which would hide the failure and run a different program).
TEST(ShellProgram, AnErrorInTheTrayProgramEndsItWithoutAHeadlessRestart) {
  TXvfbSession session;
  TProgramOptions options;
  options.ConfigFile = "PORT=\r\nLISTEN=\r\nEND\r\n";
  options.WaitUntilListening = false;
  options.Files = {{(BuildDirectory() / "TallyReportSrv-desktop.so").string(), "TallyReportSrv-desktop.so"}};
  // A start port that is no number fails inside the tray program's start.
  options.Environment = {{"DISPLAY", session.DisplayName()}, {"TALLYREPORTSRV_PORT", "80a"}};
  TProgramUnderTest program(options);
  EXPECT_EQ(program.WaitForExit(20), 1);
  const std::string log = program.ErrorOutput();
  // Said once, by the tray program: a headless restart would meet it a second time.
  EXPECT_EQ(Occurrences(log, "'80a' is not a valid integer value"), 1u) << log;
  EXPECT_NE(log.find("error: '80a' is not a valid integer value"), std::string::npos) << log;
}

}  // namespace
}  // namespace trs::test
