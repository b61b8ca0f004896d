// Starting the real program in a temporary directory and speaking raw HTTP to it.
#include "support/ProgramUnderTest.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/Socket.h"
#include "platform/Text.h"
#include "support/ChildProcess.h"
#include "support/TestOs.h"

namespace trs::test {
namespace fs = std::filesystem;

namespace {

// The program's file name as the build names it (TallyReportSrv, TallyReportSrv.exe).
const fs::path ProgramName = fs::path(TRS_PROGRAM_PATH).filename();

// The environment of a headless copy on a free port, with its own session directory.
TEnvironment ProgramEnvironment(const fs::path& dir, const TEnvironment& extra) {
  TEnvironment environment = {{"TALLYREPORTSRV_PORT", "0"}, {"XDG_RUNTIME_DIR", dir.string()}};
  environment.insert(environment.end(), extra.begin(), extra.end());
  return environment;
}

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

}  // namespace

TProgramUnderTest::TProgramUnderTest(TProgramOptions options) {
  static int counter = 0;
  Dir = fs::temp_directory_path() /
        ("trs-program-" + std::to_string(CurrentProcessNumber()) + "-" + std::to_string(++counter));
  fs::remove_all(Dir);
  fs::create_directories(Dir / "data");
  // The program finds data/ beside its own file, so it runs from a copy.
  fs::copy_file(TRS_PROGRAM_PATH, Dir / ProgramName);
  for (const auto& [source, name] : options.Files) fs::copy_file(source, Dir / name);
  if (!options.ConfigFile.empty()) {
    std::ofstream config(Dir / "CONFIG.CFG", std::ios::binary);
    config << options.ConfigFile;
  }

  Process = std::make_unique<TChildProcess>(Dir / ProgramName, ProgramEnvironment(Dir, options.Environment),
                                            Dir / "stderr.txt", options.WaitUntilListening);
  if (!options.WaitUntilListening) return;
  // Ready when it says which port it listens on.
  ReadyOutput = Process->ReadFirstLine(std::chrono::seconds(20));
  const std::string marker = "listening on port ";
  const size_t at = ReadyOutput.find(marker);
  if (at == std::string::npos)
    throw std::runtime_error("the program did not start: " + ReadyOutput + ErrorOutput());
  PortNumber = std::stoi(ReadyOutput.substr(at + marker.size()));
}

long TProgramUnderTest::ProcessId() const { return Process->Id(); }

std::string TProgramUnderTest::ErrorOutput() const { return ReadText(Dir / "stderr.txt"); }

int TProgramUnderTest::WaitForExit(int seconds) { return Process->WaitForExit(std::chrono::seconds(seconds)); }

int TProgramUnderTest::RunSecondCopy(std::string& errorOutput) const {
  fs::remove(Dir / "second-stderr.txt");
  int status = -1;
  {
    TChildProcess second(Dir / ProgramName, ProgramEnvironment(Dir, {}), Dir / "second-stderr.txt", false);
    status = second.WaitForExit(std::chrono::seconds(20));
  }
  errorOutput = ReadText(Dir / "second-stderr.txt");
  return status;
}

int TProgramUnderTest::Terminate(int seconds) {
  Process->RequestStop();
  return WaitForExit(seconds);
}

TProgramUnderTest::~TProgramUnderTest() {
  Terminate();
  Process.reset();  // kills a copy that did not stop
  std::error_code ignored;
  fs::remove_all(Dir, ignored);
}

std::string Exchange(int port, const std::string& request, bool closeAfter) {
  TSocket socket = ConnectTcp("127.0.0.1", port);
  if (!socket.Valid()) throw std::runtime_error("cannot connect");
  socket.SendAll(request);  // the server may close early on a request it drops
  if (closeAfter) socket.ShutdownWrite();
  socket.SetReceiveTimeout(15000);  // a server that never closes fails the caller's check
  std::string answer;
  char buffer[65536];
  for (;;) {
    const TSocketReceive got = socket.Receive(buffer, sizeof buffer);
    if (got.Kind != TSocketReceive::Data) break;
    answer.append(buffer, got.Count);
  }
  return answer;
}

std::string Get(int port, const std::string& query) {
  return Exchange(port, "GET /?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

std::string UrlEncode(const std::string& text) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      // Characters beyond ASCII go as %u escapes of their UTF-16 units, which the program
      // turns into its own code page whatever that is (UTF-8 bytes would be read in it).
      const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
      const WideString wide = Utf8ToWide(std::string_view(text).substr(i, length));
      for (const char16_t unit : wide) {
        out += "%u";
        for (int shift = 12; shift >= 0; shift -= 4) out += hex[(unit >> shift) & 15];
      }
      i += length;
      continue;
    }
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~' || c == ',' || c == ':') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
    ++i;
  }
  return out;
}

std::string BodyOf(const std::string& response) {
  const size_t end = response.find("\r\n\r\n");
  return end == std::string::npos ? response : response.substr(end + 4);
}

THttpAnswer AnswerOf(const std::string& response) {
  THttpAnswer answer;
  if (response.rfind("HTTP/1.1 ", 0) == 0) answer.Status = std::atoi(response.c_str() + 9);
  answer.Body = BodyOf(response);
  return answer;
}

}  // namespace trs::test
