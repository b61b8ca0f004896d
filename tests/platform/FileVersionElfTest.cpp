// The version record of the libraries the Linux build makes, which are ELF files: parsing
// the whole file agrees with reading it, and every cut of it loses the record.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/FileVersion.h"
#include "support/TestOs.h"

namespace trs {
namespace {

namespace fs = std::filesystem;

std::string ReadWholeFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(FileVersionTest, ParsingTheWholeLibraryAgreesWithReadingIt) {
  const std::optional<TFixedFileInfo> info = ReadFixedFileInfo(TRS_VERSIONED_LIBRARY);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(ParseFixedFileInfo(ReadWholeFile(TRS_VERSIONED_LIBRARY)), info);
}

TEST(FileVersionTest, ALibraryCutByOneByteGivesNothing) {
  const fs::path dir = fs::temp_directory_path() / ("trs-fileversion-cut-" + std::to_string(test::CurrentProcessNumber()));
  fs::create_directories(dir);
  const std::string whole = ReadWholeFile(TRS_VERSIONED_LIBRARY);
  std::ofstream(dir / "cut.so", std::ios::binary) << whole.substr(0, whole.size() - 1);
  EXPECT_EQ(ReadFixedFileInfo((dir / "cut.so").string()), std::nullopt);
  fs::remove_all(dir);
}

TEST(FileVersionTest, ATruncatedLibraryGivesNothing) {
  const std::string whole = ReadWholeFile(TRS_VERSIONED_LIBRARY);
  ASSERT_TRUE(ParseFixedFileInfo(whole).has_value());
  // The section header table sits at the end, so every cut loses it.
  for (const size_t length : {size_t{0}, size_t{4}, size_t{63}, size_t{64}, whole.size() / 2, whole.size() - 1}) {
    SCOPED_TRACE(length);
    EXPECT_EQ(ParseFixedFileInfo(std::string_view(whole).substr(0, length)), std::nullopt);
  }
}

}  // namespace
}  // namespace trs
