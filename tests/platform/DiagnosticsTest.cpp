// What the logs say about an event: the local time, the stack and type names.
#include "platform/Diagnostics.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>

#include "platform/Exceptions.h"

namespace trs {
namespace {

TEST(DiagnosticsTest, LocalTimestampHasSecondsAndOptionallyMilliseconds) {
  EXPECT_TRUE(std::regex_match(LocalTimestamp(), std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})")))
      << LocalTimestamp();
  EXPECT_TRUE(std::regex_match(LocalTimestamp(true),
                               std::regex(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3})")))
      << LocalTimestamp(true);
}

TEST(DiagnosticsTest, TypeNamesAreDemangled) {
  EXPECT_EQ(ReadableTypeName(typeid(EConvertError)), "trs::EConvertError");
  EXPECT_EQ(ReadableTypeName(typeid(int)), "int");
}

int LineCount(const std::string& text) {
  int lines = 0;
  for (char c : text) lines += c == '\n';
  return lines;
}

[[gnu::noinline]] std::string StackOneCallDeeper() {
  std::string stack = CurrentStackTrace();
  asm volatile("" ::: "memory");  // keeps the call above from becoming a tail call
  return stack;
}

TEST(DiagnosticsTest, StackHasOneIndentedLinePerFrameOfTheCaller) {
  const std::string here = CurrentStackTrace();
  const std::string deeper = StackOneCallDeeper();
  ASSERT_FALSE(here.empty());
  EXPECT_EQ(here.back(), '\n');
  std::istringstream lines(here);
  for (std::string line; std::getline(lines, line);)
    EXPECT_TRUE(line.size() > 2 && line.compare(0, 2, "  ") == 0 && line[2] != ' ') << line;
  EXPECT_EQ(LineCount(deeper), LineCount(here) + 1) << here << "----\n" << deeper;
}

}  // namespace
}  // namespace trs
