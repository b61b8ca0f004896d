// The program's own file and directory, seen from the running test program.
#include "platform/ProgramFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace trs {
namespace {

TEST(ProgramFileTest, TheFileIsThisExecutableAndTheDirectoryHoldsItWithASeparator) {
  const std::string file = ProgramFileName();
  const std::string directory = ProgramDirectory();
  EXPECT_EQ(std::filesystem::path(file).filename(), "platform_tests");
  ASSERT_FALSE(directory.empty());
  EXPECT_EQ(directory.back(), '/');
  EXPECT_EQ(directory + std::filesystem::path(file).filename().string(), file);
  EXPECT_STREQ(PathDelimiter(), "/");
}

}  // namespace
}  // namespace trs
