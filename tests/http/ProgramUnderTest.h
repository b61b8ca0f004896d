// Runs a copy of the real program in a temporary directory and talks raw HTTP to it.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace trs::test {

// A copy of TallyReportSrv in its own temporary program directory (with data/), started on
// a free port; stopped with SIGTERM and removed when the object goes.
class TProgramUnderTest {
 public:
  TProgramUnderTest();
  ~TProgramUnderTest();
  TProgramUnderTest(const TProgramUnderTest&) = delete;
  TProgramUnderTest& operator=(const TProgramUnderTest&) = delete;

  int Port() const { return PortNumber; }
  pid_t ProcessId() const { return Pid; }
  const std::filesystem::path& Directory() const { return Dir; }
  // Sends SIGTERM and waits (up to `seconds`) for the exit; returns the exit status, or -1
  // when the program did not end in time.
  int Terminate(int seconds = 10);

 private:
  std::filesystem::path Dir;
  pid_t Pid = -1;
  int PortNumber = 0;
};

// One connection: sends `request` (then shuts down the write side when `closeAfter`), and
// returns every byte the server sent until it closed the connection.
std::string Exchange(int port, const std::string& request, bool closeAfter = false);

// A GET of "/?<query>" as a browser sends it.
std::string Get(int port, const std::string& query);

// The body of a raw response (after the blank line), or the whole text when there is none.
std::string BodyOf(const std::string& response);

}  // namespace trs::test
