// A copy of the real program with engines beside it, spoken to as a page does: what the
// library driver tests over HTTP share.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/ProgramUnderTest.h"
#include "support/StandInEngines.h"

namespace trs::test {

struct TAnswer {
  int Status = 0;
  std::string Body;
};

// Percent-encodes everything but unreserved characters, as a page's URL encoding does.
inline std::string Encode(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (const unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == ',' || c == ':') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

// A copy of the program with the given engines beside it (source path, file name) and the
// stand-ins' journal.
class TProgramWithEngines {
 public:
  explicit TProgramWithEngines(std::vector<std::pair<std::string, std::string>> engines,
                               std::vector<std::pair<std::string, std::string>> environment = {})
      : Journal(false), Program(Options(std::move(engines), std::move(environment), Journal)) {}
  // The program ends cleanly; in the sanitizer builds a leak or a memory error found at
  // exit makes the status non-zero and shows in its standard error.
  ~TProgramWithEngines() { EXPECT_EQ(Program.Terminate(), 0) << Program.ErrorOutput(); }

  TAnswer Call(const std::string& type, const std::string& method, const std::string& get = "") {
    std::string query = "type=" + type;
    if (!method.empty()) query += "&Method=" + Encode(method);
    if (!get.empty()) query += "&Get=" + get;
    const std::string response = trs::test::Get(Program.Port(), query);
    TAnswer answer;
    if (response.rfind("HTTP/1.1 ", 0) == 0) answer.Status = std::atoi(response.c_str() + 9);
    answer.Body = BodyOf(response);
    return answer;
  }
  std::string Ok(const std::string& type, const std::string& method, const std::string& get = "") {
    const TAnswer answer = Call(type, method, get);
    EXPECT_EQ(answer.Status, 200) << method << ": " << answer.Body;
    return answer.Body;
  }
  std::filesystem::path DataFile(const std::string& name) const { return Program.Directory() / "data" / name; }

  TEngineJournal Journal;
  TProgramUnderTest Program;

 private:
  static TProgramOptions Options(std::vector<std::pair<std::string, std::string>> engines,
                                 std::vector<std::pair<std::string, std::string>> environment,
                                 const TEngineJournal& journal) {
    TProgramOptions options;
    options.Files = std::move(engines);
    options.Environment = journal.Environment();
    for (auto& variable : environment) options.Environment.push_back(std::move(variable));
    return options;
  }
};

}  // namespace trs::test
