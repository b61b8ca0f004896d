// The log line on standard error: its form, and lines from several threads kept whole.
#include "desktop/LogLine.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace trs {
namespace {

// What `write` sends to standard error (file descriptor 2), captured through a file.
std::string StandardErrorOf(const std::function<void()>& write) {
  std::fflush(stderr);
  std::FILE* capture = std::tmpfile();
  EXPECT_NE(capture, nullptr);
  if (capture == nullptr) return std::string();
  const int saved = ::dup(2);
  ::dup2(::fileno(capture), 2);
  write();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  std::rewind(capture);
  std::string text;
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, capture)) > 0) text.append(buffer, count);
  std::fclose(capture);
  return text;
}

const std::regex Stamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2} TallyReportSrv: )");

TEST(LogLineTest, OneLineWithTheTimeAndTheProgramName) {
  const std::string text = StandardErrorOf([] { LogLine("listening on port 8086"); });
  std::smatch stamp;
  ASSERT_TRUE(std::regex_search(text, stamp, Stamp, std::regex_constants::match_continuous)) << text;
  EXPECT_EQ(stamp.suffix().str(), "listening on port 8086\n");
}

TEST(LogLineTest, LinesFromSeveralThreadsStayWhole) {
  constexpr int Threads = 4;
  constexpr int LinesEach = 200;
  const std::string text = StandardErrorOf([] {
    std::vector<std::thread> writers;
    for (int t = 0; t < Threads; ++t)
      writers.emplace_back([t] {
        for (int i = 0; i < LinesEach; ++i)
          LogLine("writer " + std::to_string(t) + " line " + std::to_string(i) + " " +
                  std::string(100, static_cast<char>('a' + t)));
      });
    for (std::thread& writer : writers) writer.join();
  });
  std::istringstream lines(text);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    std::smatch stamp;
    ASSERT_TRUE(std::regex_search(line, stamp, Stamp, std::regex_constants::match_continuous)) << line;
    const std::string rest = stamp.suffix();
    const std::regex whole(R"(writer ([0-3]) line \d+ ([a-d])\2{99})");
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(rest, parts, whole)) << line;
    EXPECT_EQ(parts[2].str()[0], static_cast<char>('a' + std::stoi(parts[1].str()))) << line;
  }
  EXPECT_EQ(count, Threads * LinesEach);
}

}  // namespace
}  // namespace trs
