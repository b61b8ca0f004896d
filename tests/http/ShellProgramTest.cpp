// The program's start-up and end as a headless service: CONFIG.CFG, the single-instance
// guard, and the errors that stop it from starting. The same on Linux and Windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Socket.h"
#include "support/ProgramUnderTest.h"

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

std::filesystem::path BuildDirectory() { return std::filesystem::path(TRS_PROGRAM_PATH).parent_path(); }

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
