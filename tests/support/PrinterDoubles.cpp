// Printers and displays for tests.
#include "support/PrinterDoubles.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace trs::test {
namespace fs = std::filesystem;

namespace {

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Reads what `fd` offers within `wait` milliseconds; false when nothing came.
bool ReadSome(int fd, std::string& into, int wait) {
  pollfd ready{fd, POLLIN, 0};
  if (::poll(&ready, 1, wait) <= 0) return false;
  char buffer[4096];
  const ssize_t got = ::read(fd, buffer, sizeof buffer);
  if (got <= 0) return false;
  into.append(buffer, static_cast<size_t>(got));
  return true;
}

}  // namespace

TPtyPair::TPtyPair() {
  char name[256] = {};
  if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
  Path = name;
  termios raw{};
  ::tcgetattr(Slave, &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(Slave, TCSANOW, &raw);
}

TPtyPair::~TPtyPair() {
  ::close(Slave);
  ::close(Master);
}

std::string TPtyPair::Read(size_t count, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::string got;
  while (got.size() < count && MillisecondsLeft(deadline) > 0) ReadSome(Master, got, MillisecondsLeft(deadline));
  return got;
}

std::string TPtyPair::ReadAll(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::string got;
  while (MillisecondsLeft(deadline) > 0 &&
         ReadSome(Master, got, std::min(static_cast<int>(quiet.count()), MillisecondsLeft(deadline)))) {
  }
  return got;
}

int TPtyPair::OutputBaud() const {
  termios line{};
  ::tcgetattr(Slave, &line);
  switch (::cfgetospeed(&line)) {
    case B2400: return 2400;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B115200: return 115200;
    default: return 0;
  }
}

TRawPortListener::TRawPortListener() : Socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(Socket, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(Socket, 4) != 0)
    throw std::runtime_error("cannot listen on 127.0.0.1");
  ::getsockname(Socket, reinterpret_cast<sockaddr*>(&address), &length);
  PortNumber = ntohs(address.sin_port);
}

TRawPortListener::~TRawPortListener() { ::close(Socket); }

std::string TRawPortListener::Receive(std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  pollfd ready{Socket, POLLIN, 0};
  if (::poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) return {};
  const int connection = ::accept4(Socket, nullptr, nullptr, SOCK_CLOEXEC);
  if (connection < 0) return {};
  std::string got;
  for (;;) {
    pollfd data{connection, POLLIN, 0};
    if (::poll(&data, 1, MillisecondsLeft(deadline)) <= 0) break;
    char buffer[4096];
    const ssize_t n = ::read(connection, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<size_t>(n));
  }
  ::close(connection);
  return got;
}

bool TPrivateCups::Available() { return ::access("/usr/sbin/cupsd", X_OK) == 0 && ::access("/usr/sbin/lpadmin", X_OK) == 0; }

TPrivateCups::TPrivateCups() {
  static int counter = 0;
  Root = fs::temp_directory_path() / ("trs-cups-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
  fs::remove_all(Root);
  for (const char* folder : {"", "spool", "spool/tmp", "cache", "state", "log", "ppd"}) fs::create_directories(Root / folder);
  // A root cupsd runs its filters and backends as "lp": the folders must let it in.
  for (const auto& entry : fs::recursive_directory_iterator(Root)) ::chmod(entry.path().c_str(), 0777);
  ::chmod(Root.c_str(), 0755);
  std::ofstream(Root / "cups-files.conf") << "ServerRoot " << Root.string() << "\nRequestRoot " << (Root / "spool").string()
                                          << "\nStateDir " << (Root / "state").string() << "\nCacheDir "
                                          << (Root / "cache").string() << "\nTempDir " << (Root / "spool/tmp").string()
                                          << "\nAccessLog " << (Root / "log/access_log").string() << "\nErrorLog "
                                          << (Root / "log/error_log").string() << "\nPageLog "
                                          << (Root / "log/page_log").string() << "\nFileDevice Yes\n";
  std::ofstream(Root / "cupsd.conf") << "Listen " << Socket() << "\nLogLevel warn\nBrowsing No\nWebInterface No\n"
                                     << "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n";
  Pid = ::fork();
  if (Pid == 0) {
    ::execl("/usr/sbin/cupsd", "cupsd", "-f", "-c", (Root / "cupsd.conf").c_str(), "-s",
            (Root / "cups-files.conf").c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::setenv("CUPS_SERVER", Socket().c_str(), 1);
  // Ready once the socket answers; cupsd takes well under a second.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (!fs::exists(Socket()) && MillisecondsLeft(deadline) > 0) std::this_thread::sleep_for(10ms);
  if (!fs::exists(Socket())) throw std::runtime_error("the private cupsd did not start; see " + (Root / "log").string());
}

TPrivateCups::~TPrivateCups() {
  ::unsetenv("CUPS_SERVER");
  if (Pid > 0) {
    ::kill(Pid, SIGTERM);
    int status = 0;
    ::waitpid(Pid, &status, 0);
  }
  std::error_code ignored;
  fs::remove_all(Root, ignored);
}

void TPrivateCups::AddRawQueue(const std::string& name, int port) const {
  const std::string command = "/usr/sbin/lpadmin -h " + Socket() + " -p " + name + " -E -v socket://127.0.0.1:" +
                              std::to_string(port) + " 2>&1";
  const int status = std::system(command.c_str());
  if (status != 0) throw std::runtime_error("lpadmin failed for the queue " + name);
}

std::string RunForOutput(const std::string& commandLine) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(commandLine.c_str(), "r"), ::pclose);
  if (!pipe) return {};
  std::string output;
  std::array<char, 4096> buffer{};
  for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0;) output.append(buffer.data(), n);
  return output;
}

}  // namespace trs::test
