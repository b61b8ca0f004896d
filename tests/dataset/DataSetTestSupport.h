// Helpers shared by the dataset tests: annotated hex fixtures, temporary directories and
// exception messages.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace trs::test {

// Bytes from hex pairs; blanks, newlines and "#" comments (to the end of the line) are ignored.
inline std::string HexBytes(std::string_view annotated) {
  std::string bytes;
  int high = -1;
  for (size_t i = 0; i < annotated.size(); ++i) {
    const char c = annotated[i];
    if (c == '#') {
      while (i < annotated.size() && annotated[i] != '\n') ++i;
      continue;
    }
    if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
    const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10);
    if (high < 0) {
      high = digit;
    } else {
      bytes += static_cast<char>(high << 4 | digit);
      high = -1;
    }
  }
  EXPECT_LT(high, 0) << "odd number of hex digits";
  return bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  EXPECT_TRUE(file.good()) << "cannot read " << path;
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::filesystem::path FixturePath(const std::string& name) {
  return std::filesystem::path(TRS_TEST_DATA_DIR) / "dataset" / name;
}

// A fresh directory removed with everything in it at the end of the test.
class TTempDir {
 public:
  TTempDir() {
    std::random_device random;
    Path = std::filesystem::temp_directory_path() / ("trs-dataset-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(Path);
  }
  ~TTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  std::string operator/(const std::string& name) const { return (Path / name).string(); }
  size_t EntryCount() const {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(Path), {}));
  }
  std::filesystem::path Path;
};

// The message of the exception of type E that `action` throws, or a note saying what
// happened instead.
template <typename E, typename Action>
std::string MessageOf(Action&& action) {
  try {
    action();
  } catch (const E& error) {
    return error.what();
  } catch (const std::exception& other) {
    return std::string("<other exception: ") + other.what() + ">";
  }
  return "<no exception>";
}

}  // namespace trs::test
