// The real program with engines copied beside it and the stand-ins' journal, as the
// black-box tests of the engine drivers use it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/ProgramUnderTest.h"
#include "support/StandInEngines.h"

namespace trs::test {

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

  THttpAnswer Call(const std::string& type, const std::string& method, const std::string& get = "") {
    std::string query = "type=" + type;
    if (!method.empty()) query += "&Method=" + UrlEncode(method);
    if (!get.empty()) query += "&Get=" + get;
    return AnswerOf(trs::test::Get(Program.Port(), query));
  }
  std::string Ok(const std::string& type, const std::string& method, const std::string& get = "") {
    const THttpAnswer answer = Call(type, method, get);
    EXPECT_EQ(answer.Status, 200) << method << ": " << answer.Body;
    return answer.Body;
  }
  // A POST of `body` (UTF-8 text) with the method in the query, as a page sends its data.
  THttpAnswer Post(const std::string& type, const std::string& method, const std::string& body) {
    return AnswerOf(Exchange(Program.Port(), "POST /?type=" + type + "&Method=" + UrlEncode(method) +
                                                 " HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                                                 "Content-Type: text/plain;charset=UTF-8\r\nContent-Length: " +
                                                 std::to_string(body.size()) + "\r\n\r\n" + body));
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

// A stand-in engine (a variant by its folder) to copy beside the program under its file name.
inline std::pair<std::string, std::string> Engine(const std::string& fileName, const std::string& variant = "") {
  return {StandInEngine(fileName, variant), fileName};
}

}  // namespace trs::test
