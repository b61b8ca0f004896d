// Whole files: replacement in one step and appends of whole entries.
#include "platform/WholeFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/Exceptions.h"

namespace trs {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(WholeFileTest, ReplacesInOneStepKeepingPermissionsAndLeavingNoTemporaryFile) {
  const fs::path dir = fs::temp_directory_path() / ("trs-replace-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path target = dir / "CONFIG.CFG";
  ReplaceFile(target.string(), "PORT=1\r\n");
  ::chmod(target.c_str(), 0600);
  ReplaceFile(target.string(), "PORT=2\r\n");
  EXPECT_EQ(ReadAll(target), "PORT=2\r\n");
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  EXPECT_THROW(ReplaceFile((dir / "missing/x.cfg").string(), "x"), EFCreateError);
  EXPECT_TRUE(AppendToFile((dir / "log").string(), "a\n"));
  EXPECT_TRUE(AppendToFile((dir / "log").string(), "b\n"));
  EXPECT_EQ(ReadAll(dir / "log"), "a\nb\n");
  EXPECT_FALSE(AppendToFile((dir / "missing/log").string(), "x"));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace trs
