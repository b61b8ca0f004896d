// Whole files: replacement in one step and appends of whole entries.
#include "platform/WholeFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/Exceptions.h"
#include "support/TestOs.h"

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
  const fs::path dir = fs::temp_directory_path() / ("trs-replace-" + std::to_string(test::CurrentProcessNumber()));
  fs::create_directories(dir);
  const fs::path target = dir / "CONFIG.CFG";
  ReplaceFile(target.string(), "PORT=1\r\n");
  // Owner only (Linux); Windows keeps no such bits, only the read-only flag, which a file
  // to be replaced cannot have, so there the bits stay what the system reports.
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
  const fs::perms kept = fs::status(target).permissions();
  ReplaceFile(target.string(), "PORT=2\r\n");
  EXPECT_EQ(ReadAll(target), "PORT=2\r\n");
  EXPECT_EQ(fs::status(target).permissions(), kept);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);

  EXPECT_THROW(ReplaceFile((dir / "missing/x.cfg").string(), "x"), EFCreateError);
  EXPECT_TRUE(AppendToFile((dir / "log").string(), "a\n"));
  EXPECT_TRUE(AppendToFile((dir / "log").string(), "b\n"));
  EXPECT_EQ(ReadAll(dir / "log"), "a\nb\n");
  EXPECT_FALSE(AppendToFile((dir / "missing/log").string(), "x"));
  fs::remove_all(dir);
}

TEST(WholeFileTest, ReplacesFilesWhoseNamesFillTheFileSystemLimit) {
  const fs::path dir = fs::temp_directory_path() / ("trs-longname-" + std::to_string(test::CurrentProcessNumber()));
  fs::create_directories(dir);
  const std::string name = std::string(251, 'n') + ".cds";  // 255 bytes, the usual limit
  ReplaceFile((dir / name).string(), "one");
  ReplaceFile((dir / name).string(), "two");
  EXPECT_EQ(ReadAll(dir / name), "two");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  // A failure names the file asked for, not the new file beside it.
  const fs::path missing = dir / "missing" / name;
  try {
    ReplaceFile(missing.string(), "x");
    ADD_FAILURE() << "wrote into a missing directory";
  } catch (const EFCreateError& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file \"" + missing.string() + "\". " + test::SystemErrorText(test::TSystemError::NoSuchDirectory));
  }
  fs::remove_all(dir);
}

TEST(WholeFileTest, RemovesOnlyTheLeftoversOfSavesThatEnded) {
  const fs::path dir = fs::temp_directory_path() / ("trs-leftovers-" + std::to_string(test::CurrentProcessNumber()));
  fs::create_directories(dir);
  const long ended = test::EndedProcessNumber();
  const test::TRunningProcess other;
  const auto name = [](long process, unsigned counter) {
    return Format(".~trs-%08x-%08x.tmp", static_cast<unsigned>(process), counter);
  };
  const std::string legacy = "t.cds.0123456789abcdef0123.tmp";
  const std::string gone[] = {name(ended, 0), name(ended, 0xffffffff), "old-" + legacy};
  const std::string kept[] = {
      name(test::CurrentProcessNumber(), 3),  // this process: a save under way
      name(other.Number(), 3),  // another process that runs
      legacy,                // of an earlier version, but too fresh to tell
      ".~trs-0000zzzz-00000001.tmp", name(ended, 1) + "x", "bills.cds", "t.cds.0123456789abcdef012.tmp",
  };
  for (const std::string& file : gone) std::ofstream(dir / file) << "x";
  for (const std::string& file : kept) std::ofstream(dir / file) << "x";
  fs::last_write_time(dir / ("old-" + legacy), fs::file_time_type::clock::now() - std::chrono::hours(1));

  EXPECT_EQ(RemoveStaleReplacements(dir.string()), std::size(gone));
  for (const std::string& file : gone) EXPECT_FALSE(fs::exists(dir / file)) << file;
  for (const std::string& file : kept) EXPECT_TRUE(fs::exists(dir / file)) << file;
  EXPECT_EQ(RemoveStaleReplacements((dir / "missing").string()), 0u);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace trs
