// Starting the real program in a temporary directory and speaking raw HTTP to it.
#include "support/ProgramUnderTest.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace trs::test {
namespace fs = std::filesystem;

namespace {

// In the child: the environment of a headless copy with its own session directory.
[[noreturn]] void ExecProgram(const fs::path& dir, int stdoutFd, const char* stderrName,
                              const std::vector<std::pair<std::string, std::string>>& environment = {}) {
  if (stdoutFd >= 0) dup2(stdoutFd, STDOUT_FILENO);
  const int err = open((dir / stderrName).c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (err >= 0) dup2(err, STDERR_FILENO);
  setenv("TALLYREPORTSRV_PORT", "0", 1);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
  const std::string program = (dir / "TallyReportSrv").string();
  execl(program.c_str(), program.c_str(), nullptr);
  _exit(127);
}

int ExitStatusOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TProgramUnderTest::TProgramUnderTest(TProgramOptions options) {
  static int counter = 0;
  Dir = fs::temp_directory_path() / ("trs-program-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  fs::remove_all(Dir);
  fs::create_directories(Dir / "data");
  // The program finds data/ beside its own file, so it runs from a copy.
  fs::copy_file(TRS_PROGRAM_PATH, Dir / "TallyReportSrv");
  for (const auto& [source, name] : options.Files) fs::copy_file(source, Dir / name);
  if (!options.ConfigFile.empty()) {
    std::ofstream config(Dir / "CONFIG.CFG", std::ios::binary);
    config << options.ConfigFile;
  }

  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe");
  Pid = fork();
  if (Pid == 0) {
    close(out[0]);
    ExecProgram(Dir, out[1], "stderr.txt", options.Environment);
  }
  close(out[1]);
  if (!options.WaitUntilListening) {
    close(out[0]);
    return;
  }
  // Ready when it says which port it listens on.
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (output.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd waiting{out[0], POLLIN, 0};
    if (poll(&waiting, 1, 200) <= 0) continue;
    char buffer[256];
    const ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    output.append(buffer, static_cast<size_t>(got));
  }
  close(out[0]);
  ReadyOutput = output;
  const std::string marker = "listening on port ";
  const size_t at = output.find(marker);
  if (at == std::string::npos)
    throw std::runtime_error("the program did not start: " + output + ErrorOutput());
  PortNumber = std::stoi(output.substr(at + marker.size()));
}

std::string TProgramUnderTest::ErrorOutput() const {
  std::ifstream file(Dir / "stderr.txt", std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

int TProgramUnderTest::WaitForExit(int seconds) {
  if (Pid <= 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int status = 0;
  while (waitpid(Pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Pid = -1;
  return ExitStatusOf(status);
}

int TProgramUnderTest::RunSecondCopy(std::string& errorOutput) const {
  fs::remove(Dir / "second-stderr.txt");
  const pid_t second = fork();
  if (second == 0) ExecProgram(Dir, -1, "second-stderr.txt");
  int status = 0;
  waitpid(second, &status, 0);
  std::ifstream file(Dir / "second-stderr.txt", std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  errorOutput = text.str();
  return ExitStatusOf(status);
}

int TProgramUnderTest::Terminate(int seconds) {
  if (Pid <= 0) return -1;
  kill(Pid, SIGTERM);
  return WaitForExit(seconds);
}

TProgramUnderTest::~TProgramUnderTest() {
  if (Pid > 0 && Terminate() < 0) {
    kill(Pid, SIGKILL);
    waitpid(Pid, nullptr, 0);
  }
  std::error_code ignored;
  fs::remove_all(Dir, ignored);
}

std::string Exchange(int port, const std::string& request, bool closeAfter) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(sock);
    throw std::runtime_error("cannot connect");
  }
  size_t sent = 0;
  while (sent < request.size()) {
    const ssize_t n = send(sock, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // the server may close early on a request it drops
    sent += static_cast<size_t>(n);
  }
  if (closeAfter) shutdown(sock, SHUT_WR);
  std::string answer;
  char buffer[65536];
  for (;;) {
    pollfd waiting{sock, POLLIN, 0};
    if (poll(&waiting, 1, 15000) <= 0) break;  // a server that never closes fails the caller's check
    const ssize_t got = recv(sock, buffer, sizeof buffer, 0);
    if (got <= 0) break;
    answer.append(buffer, static_cast<size_t>(got));
  }
  close(sock);
  return answer;
}

std::string Get(int port, const std::string& query) {
  return Exchange(port, "GET /?" + query + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

std::string UrlEncode(const std::string& text) {
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
