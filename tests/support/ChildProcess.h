// A program started by a test: its environment on top of the test's, its standard output
// read line by line, its standard error appended to a file. The OS part is in
// ChildProcess_posix.cpp / ChildProcess_win.cpp.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace trs::test {

using TEnvironment = std::vector<std::pair<std::string, std::string>>;

class TChildProcess {
 public:
  // Starts `program`; when `readOutput` is false its standard output is the test's own.
  TChildProcess(const std::filesystem::path& program, const TEnvironment& environment,
                const std::filesystem::path& errorFile, bool readOutput);
  ~TChildProcess();  // kills a program still running
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // What the program wrote to standard output until its first line ended, it closed its
  // output, or `timeout` passed. Standard output is closed afterwards.
  std::string ReadFirstLine(std::chrono::milliseconds timeout);
  // The OS's process number.
  long Id() const;
  // Waits (up to `timeout`) for the end; the exit status (128 + the signal for a program a
  // signal ended), or -1 when it is still running.
  int WaitForExit(std::chrono::milliseconds timeout);
  // Asks the program to stop as the user's stop request does: SIGTERM on Linux, Ctrl+C on
  // Windows.
  void RequestStop();

 private:
  std::intptr_t Process = -1;  // the pid, or the process handle on Windows
  std::intptr_t Output = -1;   // the read end of the standard output pipe
  long ProcessNumber = 0;
  bool Ended = false;
};

}  // namespace trs::test
