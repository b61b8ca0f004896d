// Runs a copy of the real program in a temporary directory and talks raw HTTP to it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace trs::test {

class TChildProcess;

// How to start the program under test.
struct TProgramOptions {
  // Written as CONFIG.CFG beside the copy; none when empty.
  std::string ConfigFile;
  // Whether to wait for the ready line (a copy that is meant to fail never prints it).
  bool WaitUntilListening = true;
  // Files copied beside the program before it starts: (source path, name there), e.g. an
  // engine under its file name.
  std::vector<std::pair<std::string, std::string>> Files;
  // Environment variables of the program: (name, value).
  std::vector<std::pair<std::string, std::string>> Environment;
};

// A copy of TallyReportSrv in its own temporary program directory (with data/), started
// headless on a free port (TALLYREPORTSRV_PORT=0) with its own session directory for the
// single-instance guard where that is a folder (Linux); stopped as the user's stop request
// does (SIGTERM on Linux, Ctrl+C on Windows) and removed when the object goes. Its
// standard error goes to stderr.txt in the directory.
class TProgramUnderTest {
 public:
  explicit TProgramUnderTest(TProgramOptions options = {});
  ~TProgramUnderTest();
  TProgramUnderTest(const TProgramUnderTest&) = delete;
  TProgramUnderTest& operator=(const TProgramUnderTest&) = delete;

  int Port() const { return PortNumber; }
  long ProcessId() const;
  const std::filesystem::path& Directory() const { return Dir; }
  // Asks it to stop and waits (up to `seconds`) for the exit; returns the exit status, or -1
  // when the program did not end in time.
  int Terminate(int seconds = 10);
  // Waits (up to `seconds`) for the program to end by itself; the exit status, or -1.
  int WaitForExit(int seconds = 10);
  // The ready line's text, and what the program wrote to standard error so far.
  const std::string& Output() const { return ReadyOutput; }
  std::string ErrorOutput() const;
  // Starts a second copy from the same directory and session and waits for its end;
  // returns its exit status, with its standard error in `errorOutput`.
  int RunSecondCopy(std::string& errorOutput) const;

 private:
  std::filesystem::path Dir;
  std::unique_ptr<TChildProcess> Process;
  int PortNumber = 0;
  std::string ReadyOutput;
};

// One connection: sends `request` (then shuts down the write side when `closeAfter`), and
// returns every byte the server sent until it closed the connection.
std::string Exchange(int port, const std::string& request, bool closeAfter = false);

// A GET of "/?<query>" as a browser sends it.
std::string Get(int port, const std::string& query);

// Percent-encodes a parameter value as a page's URL encoding does: everything but letters,
// digits, "-", "_", ".", "~" and the protocol's "," and ":"; characters beyond ASCII as %u
// escapes of their UTF-16 units, which reach the program's code page on every system.
std::string UrlEncode(const std::string& text);

// The body of a raw response (after the blank line), or the whole text when there is none.
std::string BodyOf(const std::string& response);

// A raw response's status code (0 when there is no status line) and body.
struct THttpAnswer {
  int Status = 0;
  std::string Body;
};
THttpAnswer AnswerOf(const std::string& response);

}  // namespace trs::test
