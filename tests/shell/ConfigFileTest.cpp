// CONFIG.CFG: reading a key, adding a missing one, replacing a value, and saves that fail
// without harming the file.
#include "shell/ConfigFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>


#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "support/RecordingDesktop.h"
#include "support/TestOs.h"

namespace trs {
namespace {

namespace fs = std::filesystem;

class ConfigFileTest : public testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() /
          ("trs-config-" + std::to_string(::getpid()) + "-" +
           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    Path = (Dir / "CONFIG.CFG").string();
  }
  void TearDown() override { fs::remove_all(Dir); }

  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  static std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> FilesInDir() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir)) names.push_back(entry.path().filename().string());
    return names;
  }

  test::TRecordingDesktop Desktop;  // message boxes land here, not on a screen
  fs::path Dir;
  std::string Path;
};

TEST_F(ConfigFileTest, FileNameIsBesideTheProgram) {
  const fs::path program = test::TestProgramFile();
  EXPECT_EQ(ConfigFileName(), (program.parent_path() / "CONFIG.CFG").string());
}

struct TReadCase {
  const char* name;
  std::string content;
  std::string key;
  std::string value;
};

// Lines that match the key: the value comes back and the file is left as it was.
TEST_F(ConfigFileTest, ReadsTheValueOfTheFirstMatchingLine) {
  const std::string x248(248, 'x');
  const TReadCase cases[] = {
      {"plain", "PORT=8000\r\nEND\r\n", "PORT", "8000"},
      {"key upper-cased", "# comment\r\nPORT=8000\r\nEND\r\n", "port", "8000"},
      {"lower-case line, blanks kept in front", "port = 8000\r\nEND\r\n", "PORT", " 8000"},
      {"first of two", "PORT=1\r\nPORT=2\r\nEND\r\n", "PORT", "1"},
      {"prefix of a longer name", "PORTAL=1\r\nPORT=2\r\n", "PORT", "1"},
      {"no equals sign", "PORT\r\nPORT=2\r\n", "PORT", ""},
      {"value after the first equals sign", "PORT=80=90\r\n", "PORT", "80=90"},
      {"trailing control characters and blanks cut", "PORT=  80 \t\x01\r\n", "PORT", "  80"},
      {"LF alone keeps the last character", "# c\nPORT=8000\nEND\n", "PORT", "8000"},
      {"last line without line end", "# c\r\nPORT=8000", "PORT", "8000"},
      {"CR alone does not end a line", "X=1\rPORT=5\r\nPORT=7\r\n", "PORT", "7"},
      {"253 bytes of text", "PORT=" + x248 + "\r\n", "PORT", x248},
      {"254 bytes of text with LF alone", "PORT=" + x248 + "y\n", "PORT", x248},
      {"longer line cut", "PORT=" + x248 + std::string(100, 'y') + "\r\n", "PORT", x248},
      {"cut never splits a character", "PORT=" + std::string(247, 'x') + "中\r\n", "PORT",
       std::string(247, 'x')},
      {"rest of a long line skipped", std::string(253, '#') + "PORT=5\r\nPORT=7\r\n", "PORT", "7"},
  };
  for (const TReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(Path, c.content);
    EXPECT_EQ(GetConfig(c.key, Path), c.value);
    EXPECT_EQ(ReadFile(Path), c.content);
  }
  EXPECT_TRUE(Desktop.Calls().empty());
}

struct TAddCase {
  const char* name;
  std::string content;
  std::string key;
  std::string after;
};

// No line matches: the key is added before END, and the next read finds it.
TEST_F(ConfigFileTest, AddsAMissingKeyBeforeEnd) {
  const TAddCase cases[] = {
      {"comments and blank lines carried", "# settings\r\n\r\nEND\r\n", "PORT",
       "# settings\r\n\r\nPORT=\r\nEND\r\n"},
      {"first END of any case moves", "A=1\r\nend\r\nB=2\r\nEND\r\n", "PORT",
       "A=1\r\nB=2\r\nEND\r\nPORT=\r\nEND\r\n"},
      {"no END line", "A=1\r\n", "PORT", "A=1\r\nPORT=\r\nEND\r\n"},
      {"END with a blank is no END", "A=1\r\n END\r\n", "PORT", "A=1\r\n END\r\nPORT=\r\nEND\r\n"},
      {"LF alone, last line without ending", "A=1\nEND", "PORT", "A=1\r\nPORT=\r\nEND\r\n"},
      {"CR alone", "A=1\rEND\r", "PORT", "A=1\r\nPORT=\r\nEND\r\n"},
      {"empty file", "", "PORT", "PORT=\r\nEND\r\n"},
      {"key written upper-case", "END\r\n", "port", "PORT=\r\nEND\r\n"},
      {"shorter name is no match", "POR=1\r\nEND\r\n", "PORT", "POR=1\r\nPORT=\r\nEND\r\n"},
  };
  for (const TAddCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(Path, c.content);
    EXPECT_EQ(GetConfig(c.key, Path), "");
    EXPECT_EQ(ReadFile(Path), c.after);
    EXPECT_EQ(GetConfig(c.key, Path), "");
    EXPECT_EQ(ReadFile(Path), c.after) << "added twice";
  }
  EXPECT_EQ(FilesInDir(), std::vector<std::string>{"CONFIG.CFG"});
  EXPECT_TRUE(Desktop.Calls().empty());
}

TEST_F(ConfigFileTest, FileThatCannotBeOpenedIsReportedAndNotCreated) {
  const std::string directory = (Dir / "sub").string();
  fs::create_directory(directory);
  const std::string missing = (Dir / "missing.cfg").string();
  for (const std::string& path : {missing, directory}) {
    SCOPED_TRACE(path);
    Desktop.ClearCalls();
    EXPECT_EQ(GetConfig("PORT", path), "");
    const std::vector<std::string> calls = Desktop.Calls();
    ASSERT_EQ(calls.size(), 1u);
    const std::string text = "MessageBox(提示信息（GetConfig）配置文件" + path + "打开错误|";
    EXPECT_EQ(calls[0].substr(0, text.size()), text);
    EXPECT_EQ(calls[0].substr(calls[0].size() - 4), "|64)");
  }
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_TRUE(fs::is_empty(directory));
}

struct TSetCase {
  const char* name;
  std::string content;
  std::string key;
  std::string value;
  std::string after;
};

TEST_F(ConfigFileTest, ReplacesTheValueOfTheLastLineNamedByTheKey) {
  const std::string comment(400, '#');
  const TSetCase cases[] = {
      {"plain", "PORT=8000\r\nEND\r\n", "PORT", "9000", "PORT=9000\r\nEND\r\n"},
      {"last of two, key upper-cased", "PORT=1\r\n# c\r\nport=2\r\nEND\r\n", "port", "9000",
       "PORT=1\r\n# c\r\nPORT=9000\r\nEND\r\n"},
      {"blank before equals sign is part of the name", "port = 8000\r\nEND\r\n", "PORT", "9000",
       "port = 8000\r\nEND\r\n"},
      {"whole name, not a prefix", "PORTAL=1\r\nEND\r\n", "PORT", "9000", "PORTAL=1\r\nEND\r\n"},
      {"line without equals sign", "PORT\r\n", "PORT", "9000", "PORT\r\n"},
      {"missing key not added", "A=1\r\nEND\r\n", "PORT", "9000", "A=1\r\nEND\r\n"},
      {"LF alone rewritten with CR LF", "# c\nPORT=1\n\nEND\n", "PORT", "9000",
       "# c\r\nPORT=9000\r\n\r\nEND\r\n"},
      {"CR alone and a last line without ending", "A=1\rPORT=1", "PORT", "2", "A=1\r\nPORT=2\r\n"},
      {"long lines kept whole", comment + "\r\nPORT=1\r\n", "PORT", "2", comment + "\r\nPORT=2\r\n"},
      {"empty value", "PORT=1\r\n", "PORT", "", "PORT=\r\n"},
      {"empty file stays empty", "", "PORT", "9000", ""},
  };
  for (const TSetCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(Path, c.content);
    SetConfigIn(Path, c.key, c.value);
    EXPECT_EQ(ReadFile(Path), c.after);
  }
  EXPECT_EQ(FilesInDir(), std::vector<std::string>{"CONFIG.CFG"});
}

TEST_F(ConfigFileTest, SetOnAMissingFileFailsAndCreatesNothing) {
  try {
    SetConfigIn(Path, "PORT", "9000");
    ADD_FAILURE() << "no error";
  } catch (const EFOpenError& error) {
    EXPECT_EQ(error.GetMessage(),
              "Cannot open file \"" + Path + "\". " + test::SystemErrorText(test::TSystemError::NoSuchFile));
  }
  EXPECT_TRUE(fs::is_empty(Dir));
}

TEST_F(ConfigFileTest, SavesKeepThePermissionBits) {
  // Windows files have no permission bits: only a read-only flag, which a file that is to be
  // saved cannot carry (the system refuses to replace it).
  if (!test::FilesHavePermissionBits) GTEST_SKIP() << "the file system has no permission bits";
  const fs::perms modes[] = {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                             fs::perms::owner_all | fs::perms::others_read};
  for (const fs::perms mode : modes) {
    WriteFile(Path, "PORT=1\r\nEND\r\n");
    fs::permissions(Path, mode);
    SetConfigIn(Path, "PORT", "2");
    EXPECT_EQ(fs::status(Path).permissions(), mode);
    GetConfig("HOST", Path);
    EXPECT_EQ(fs::status(Path).permissions(), mode);
    EXPECT_EQ(ReadFile(Path), "PORT=2\r\nHOST=\r\nEND\r\n");
  }
}

TEST_F(ConfigFileTest, ANameAtTheFileSystemLimitIsSavedWithoutLeftovers) {
  // The temporary file beside it has a short name of its own, whatever the file's length.
  const std::string name = std::string(251, 'c') + ".cfg";  // 255 bytes
  const std::string path = (Dir / name).string();
  WriteFile(path, "PORT=1\r\nEND\r\n");
  SetConfigIn(path, "PORT", "2");
  EXPECT_EQ(GetConfig("HOST", path), "");
  EXPECT_EQ(ReadFile(path), "PORT=2\r\nHOST=\r\nEND\r\n");
  EXPECT_EQ(FilesInDir(), std::vector<std::string>{name});
  fs::remove(path);
}

TEST_F(ConfigFileTest, FailedSaveLeavesTheFileAsItWasAndNoTemporaryFile) {
  const std::string content = "# " + std::string(100, '-') + "\r\nPORT=1\r\nEND\r\n";
  struct TCase {
    const char* name;
    std::string fileName;
    test::TSystemError reason;
    bool limitSize;
    std::function<void(const std::string& path)> save;
  };
  const TCase cases[] = {
      {"set, write fails", "CONFIG.CFG", test::TSystemError::DiskFull, true,
       [](const std::string& path) { SetConfigIn(path, "PORT", "2"); }},
      {"get, write fails", "CONFIG.CFG", test::TSystemError::DiskFull, true,
       [](const std::string& path) { GetConfig("HOST", path); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = (Dir / c.fileName).string();
    WriteFile(path, content);
    try {
      if (c.limitSize) {
        test::TFileSizeLimit limit(content.size() / 2);
        c.save(path);
      } else {
        c.save(path);
      }
      ADD_FAILURE() << "no error";
    } catch (const EFCreateError& error) {
      EXPECT_EQ(error.GetMessage(),
                Format("Cannot create file \"%s\". %s", path.c_str(), test::SystemErrorText(c.reason).c_str()));
    }
    EXPECT_EQ(ReadFile(path), content);
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{c.fileName});
    fs::remove(path);
  }
}

}  // namespace
}  // namespace trs
