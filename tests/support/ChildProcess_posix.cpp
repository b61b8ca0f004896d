// POSIX: fork and exec, the output through a pipe.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "support/ChildProcess.h"

namespace trs::test {
namespace {

int ExitStatusOf(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

// In the child: the environment of a headless copy, then the program. The program under
// test is headless, so the test's display variables are not passed on.
[[noreturn]] void Exec(const std::filesystem::path& program, const TEnvironment& environment,
                       const std::filesystem::path& errorFile, int outputFd) {
  if (outputFd >= 0) dup2(outputFd, STDOUT_FILENO);
  const int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (err >= 0) dup2(err, STDERR_FILENO);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
  execl(program.c_str(), program.c_str(), nullptr);
  _exit(127);
}

}  // namespace

TChildProcess::TChildProcess(const std::filesystem::path& program, const TEnvironment& environment,
                             const std::filesystem::path& errorFile, bool readOutput) {
  int out[2] = {-1, -1};
  if (readOutput && pipe(out) != 0) throw std::runtime_error("pipe");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork");
  if (pid == 0) {
    if (readOutput) close(out[0]);
    Exec(program, environment, errorFile, out[1]);
  }
  Process = pid;
  ProcessNumber = pid;
  if (readOutput) {
    close(out[1]);
    Output = out[0];
  }
}

std::string TChildProcess::ReadFirstLine(std::chrono::milliseconds timeout) {
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (Output >= 0 && output.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd waiting{static_cast<int>(Output), POLLIN, 0};
    if (poll(&waiting, 1, 200) <= 0) continue;
    char buffer[256];
    const ssize_t got = read(static_cast<int>(Output), buffer, sizeof buffer);
    if (got <= 0) break;
    output.append(buffer, static_cast<size_t>(got));
  }
  if (Output >= 0) close(static_cast<int>(Output));
  Output = -1;
  return output;
}

long TChildProcess::Id() const { return ProcessNumber; }

int TChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (Ended) return -1;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  while (waitpid(static_cast<pid_t>(Process), &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Ended = true;
  return ExitStatusOf(status);
}

void TChildProcess::RequestStop() {
  if (!Ended) kill(static_cast<pid_t>(Process), SIGTERM);
}

TChildProcess::~TChildProcess() {
  if (Output >= 0) close(static_cast<int>(Output));
  if (!Ended) {
    kill(static_cast<pid_t>(Process), SIGKILL);
    waitpid(static_cast<pid_t>(Process), nullptr, 0);
  }
}

}  // namespace trs::test
