// The program's start-up and end as a headless service: CONFIG.CFG, the single-instance
// guard, and the errors that stop it from starting.
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

TEST(ShellProgram, APortThatIsNoNumberStopsTheStartWithItsError) {
  TProgramOptions options;
  options.ConfigFile = "PORT=80a\r\nEND\r\n";
  options.WaitUntilListening = false;
  TProgramUnderTest program(options);
  EXPECT_EQ(program.WaitForExit(), 1);
  EXPECT_NE(program.ErrorOutput().find("'80a' is not a valid integer value"), std::string::npos)
      << program.ErrorOutput();
}

}  // namespace
}  // namespace trs::test
