// The program's start-up and end as a headless service: CONFIG.CFG, the single-instance
// guard, and the errors that stop it from starting.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Socket.h"
#include "support/ProgramUnderTest.h"
#include "support/XvfbSession.h"

namespace trs::test {
namespace {

std::string ReadConfig(const TProgramUnderTest& program) {
  std::ifstream file(program.Directory() / "CONFIG.CFG", std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

int FreePort() { return ListenTcp("127.0.0.1", 0, true).LocalPort(); }

TEST(ShellProgram, ASecondCopySaysSoAndEndsWhileTheFirstServesOn) {
  TProgramUnderTest first;
  std::string secondErrors;
  EXPECT_EQ(first.RunSecondCopy(secondErrors), 1);
  EXPECT_NE(secondErrors.find("[提示] 程序已经运行..."), std::string::npos) << secondErrors;
  EXPECT_EQ(BodyOf(Get(first.Port(), "Get=IsPrinting")), "0");
  EXPECT_EQ(first.Terminate(), 0);
}

TEST(ShellProgram, ThePortOfTheConfigFileIsListenedOnAndAMissingKeyIsAdded) {
  const int port = FreePort();
  TProgramOptions options;
  options.ConfigFile = "PORT=" + std::to_string(port) + "\r\nEND\r\n";
  TProgramUnderTest program(options);
  EXPECT_EQ(program.Port(), port);
  EXPECT_EQ(BodyOf(Get(port, "Get=IsPrinting")), "0");
  EXPECT_EQ(ReadConfig(program), "PORT=" + std::to_string(port) + "\r\nLISTEN=\r\nEND\r\n");
}

TEST(ShellProgram, WithoutAConfigFileItSaysSoAndServesOnItsStartPort) {
  TProgramUnderTest program;
  EXPECT_NE(program.ErrorOutput().find("提示信息（GetConfig）配置文件"), std::string::npos)
      << program.ErrorOutput();
  EXPECT_FALSE(std::filesystem::exists(program.Directory() / "CONFIG.CFG"));
  EXPECT_EQ(BodyOf(Get(program.Port(), "Get=IsPrinting")), "0");
}

TEST(ShellProgram, ListenNamesTheOneAddressToListenOn) {
  TProgramOptions options;
  options.ConfigFile = "PORT=\r\nLISTEN=127.0.0.1\r\nEND\r\n";
  TProgramUnderTest program(options);
  EXPECT_EQ(program.Output().find(','), std::string::npos) << program.Output();  // no ::1
  EXPECT_FALSE(ConnectTcp("::1", program.Port()).Valid());
  EXPECT_EQ(BodyOf(Get(program.Port(), "Get=IsPrinting")), "0");
}

// A PORT that is no port is reported, and the service goes on on its start port.
TEST(ShellProgram, ABadPortIsReportedAndTheServiceRunsOnItsStartPort) {
  const struct {
    const char* Value;
    const char* Message;
  } cases[] = {
      {"80a", "error: '80a' is not a valid integer value"},
      {"70000", "error: Port 70000 is out of range (1 to 65535)"},
  };
  for (const auto& bad : cases) {
    SCOPED_TRACE(bad.Value);
    const int startPort = FreePort();
    TProgramOptions options;
    options.ConfigFile = std::string("PORT=") + bad.Value + "\r\nEND\r\n";
    options.Environment = {{"TALLYREPORTSRV_PORT", std::to_string(startPort)}};
    TProgramUnderTest program(options);
    EXPECT_EQ(program.Port(), startPort);
    EXPECT_EQ(BodyOf(Get(startPort, "Get=IsPrinting")), "0");
    EXPECT_NE(program.ErrorOutput().find(bad.Message), std::string::npos) << program.ErrorOutput();
    EXPECT_EQ(program.Terminate(), 0);
  }
}

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

// build/TallyReportSrv has a CONFIG.CFG beside it, so it starts without the missing-file
// message and its port form can save.
TEST(ShellProgram, TheBuildPutsAConfigFileBesideTheProgramThatStartsCleanly) {
  const std::filesystem::path config = BuildDirectory() / "CONFIG.CFG";
  ASSERT_TRUE(std::filesystem::exists(config));
  std::ifstream file(config, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_NE(("\r\n" + text.str()).find("\r\nPORT="), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("END\r\n"), std::string::npos) << text.str();

  TProgramOptions options;
  options.Files = {{config.string(), "CONFIG.CFG"}};
  TProgramUnderTest program(options);
  EXPECT_EQ(program.ErrorOutput().find("打开错误"), std::string::npos) << program.ErrorOutput();
  EXPECT_EQ(BodyOf(Get(program.Port(), "Get=IsPrinting")), "0");
}

}  // namespace
}  // namespace trs::test
