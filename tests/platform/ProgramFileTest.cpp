// The program's own file and directory, seen from the running test program.
#include "platform/ProgramFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/TestOs.h"

namespace trs {
namespace {

TEST(ProgramFileTest, TheFileIsThisExecutableAndTheDirectoryHoldsItWithASeparator) {
  const std::string file = ProgramFileName();
  const std::string directory = ProgramDirectory();
  EXPECT_EQ(std::filesystem::path(file), test::TestProgramFile());
  EXPECT_EQ(std::filesystem::path(file).stem(), "platform_tests");  // platform_tests.exe on Windows
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), test::PathSeparator[0]);
  EXPECT_EQ(directory + std::filesystem::path(file).filename().string(), file);
  EXPECT_STREQ(PathDelimiter(), test::PathSeparator);
}

}  // namespace
}  // namespace trs
