// Run-time libraries, the single-instance guard and whole-file replacement and appends.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/DynamicLibrary.h"
#include "platform/Exceptions.h"
#include "platform/WholeFile.h"
#include "platform/SingleInstance.h"

namespace trs {
namespace {

namespace fs = std::filesystem;

TEST(DynamicLibraryTest, LoadsFindsExportsAndSaysWhyALoadFails) {
  TDynamicLibrary library = TDynamicLibrary::Load(TRS_VERSIONED_LIBRARY);
  auto* entry = library.Entry<int()>("TrsVersionFixture");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry(), 1);
  EXPECT_EQ(library.Symbol("NoSuchExport"), nullptr);

  TDynamicLibrary moved = std::move(library);
  EXPECT_FALSE(library.Loaded());
  EXPECT_TRUE(moved.Loaded());

  try {
    TDynamicLibrary::Load("/nonexistent/QPrint.Dll");
    ADD_FAILURE() << "loaded a missing library";
  } catch (const Exception& error) {
    EXPECT_NE(std::string(error.what()).find("No such file or directory"), std::string::npos)
        << error.what();
  }
}

TEST(SingleInstanceTest, OneHolderAtATimeAndTheGuardIsFreeAgainAfterIt) {
  const std::string name = "trs-test-guard-" + std::to_string(::getpid());
  {
    TSingleInstance first(name);
    ASSERT_TRUE(first.Acquired()) << first.Path();
    TSingleInstance second(name);
    EXPECT_FALSE(second.Acquired());
  }
  TSingleInstance again(name);
  EXPECT_TRUE(again.Acquired());
  fs::remove(again.Path());
}

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
