// The client log: rewording, the error box, and the entry in the error log.
#include "desktop/vxLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Text.h"
#include "support/RecordingDesktop.h"

namespace trs {
namespace {

struct TTranslateCase {
  const char* name;
  bool createError;
  const char* message;
  const char* expected;  // UTF-8
};

const char* const ProtectedModeAdvice = "请到IE安全设置中不选“启用保护模式”，然后重新启动IE";

TEST(ClientLogTest, TranslateErrorRewordsTheKnownFailuresFirstMatchWinning) {
  const TTranslateCase cases[] = {
      {"file creation error, any message", true, "disk full", ProtectedModeAdvice},
      {"message with the create text", false, "x Cannot create file \"a\". y", ProtectedModeAdvice},
      {"both texts: first rule", false, "Access violation; Cannot create file", ProtectedModeAdvice},
      {"access violation", false, "Access violation at address 0", "操作失败！"},
      {"lower case is not matched", false, "access violation", "access violation"},
      {"lower case create text", false, "cannot create file", "cannot create file"},
      {"anything else", false, "'x' is not a valid integer value", "'x' is not a valid integer value"},
  };
  for (const TTranslateCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.createError) {
      EFCreateError error(c.message);
      ClientLog().TranslateError(error);
      EXPECT_EQ(NarrowToUtf8(error.GetMessage()), c.expected);
    } else {
      Exception error(c.message);
      ClientLog().TranslateError(error);
      EXPECT_EQ(NarrowToUtf8(error.GetMessage()), c.expected);
    }
  }
}

std::uintmax_t LogSize() {
  std::error_code ignored;
  auto size = std::filesystem::file_size(ErrorLogFileName(), ignored);
  return ignored ? 0 : size;
}

// Notes how big the error log was when the box came up, to prove the box comes first.
class TBoxBeforeLog : public test::TRecordingDesktop {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    LogSizeAtBox = LogSize();
    return TRecordingDesktop::MessageBox(text, caption, flags);
  }
  std::uintmax_t LogSizeAtBox = 0;
};

TEST(ClientLogTest, ReportShowsTheRewordedErrorThenAppendsItToTheErrorLog) {
  TBoxBeforeLog desktop;
  std::uintmax_t before = LogSize();
  Exception error("Access violation at address 00401000");
  ClientLog().ReportException(error, "");
  EXPECT_EQ(desktop.CallsStartingWith("MessageBox"),
            std::vector<std::string>{"MessageBox(操作失败！|系统提示|16)"});
  EXPECT_EQ(desktop.LogSizeAtBox, before);

  std::ifstream log(ErrorLogFileName(), std::ios::binary);
  std::stringstream text;
  text << log.rdbuf();
  std::string entry = text.str().substr(before);
  EXPECT_NE(entry.find("Error: trs::Exception: 操作失败！"), std::string::npos) << entry;
  EXPECT_NE(entry.find("Stack:\n  "), std::string::npos) << entry;
}

TEST(ClientLogTest, AContextComesBeforeTheMessageOnItsOwnLine) {
  test::TRecordingDesktop desktop;
  Exception error("Printer offline");
  ClientLog().ReportException(error, "Print");
  EXPECT_EQ(desktop.CallsStartingWith("MessageBox"),
            std::vector<std::string>{"MessageBox(Print\rPrinter offline|系统提示|16)"});
}

}  // namespace
}  // namespace trs
