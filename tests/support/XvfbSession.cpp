// A private X11 desktop for tests: Xvfb and openbox started on a free display and ended
// with the session.
#include "support/XvfbSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

extern char** environ;

namespace trs {
namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

// Generous for a loaded machine or a sanitizer build; a healthy start takes a fraction.
constexpr auto StartTimeout = std::chrono::seconds(20);
constexpr auto StopTimeout = std::chrono::seconds(5);

int MillisecondsLeft(TClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until one of `fds` is readable or the deadline passes; false on the deadline.
bool PollUntil(std::vector<pollfd>& fds, TClock::time_point deadline) {
  for (;;) {
    for (pollfd& fd : fds) fd.revents = 0;
    const int ready = ::poll(fds.data(), fds.size(), MillisecondsLeft(deadline));
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

std::string ReadLog(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  std::string log = text.str();
  constexpr size_t MaxLog = 4000;
  if (log.size() > MaxLog) log = "..." + log.substr(log.size() - MaxLog);
  return log.empty() ? "(no output)" : log;
}

[[noreturn]] void Fail(const TSessionProcess& process, const std::string& what) {
  throw std::runtime_error(process.Name() + " " + what + "; its output:\n" +
                           ReadLog(process.LogPath()));
}

// Starts a session program, naming the Debian package that provides it when it is missing.
TSessionProcess StartInstalled(const std::vector<std::string>& argv, const std::string& package,
                               const std::vector<std::string>& environment,
                               const std::string& logPath, int passedFd = -1) {
  try {
    return TSessionProcess(argv, environment, logPath, passedFd);
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(std::string(error.what()) + " (the test session needs the package " +
                             package + ")");
  }
}

}  // namespace

TSessionProcess::TSessionProcess(const std::vector<std::string>& argv,
                                 const std::vector<std::string>& environment,
                                 const std::string& logPath, int passedFd)
    : ProgramName(argv.at(0)), Log(logPath) {
  constexpr int ChildPassedFd = 3;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  // dup2 onto a different number is what clears close-on-exec in the child.
  int movedFd = -1;
  if (passedFd == ChildPassedFd) {
    movedFd = ::fcntl(passedFd, F_DUPFD_CLOEXEC, ChildPassedFd + 1);
    passedFd = movedFd;
  }
  if (passedFd >= 0) posix_spawn_file_actions_adddup2(&actions, passedFd, ChildPassedFd);

  // A group of its own, so that ending it also ends whatever it started.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  for (const std::string& variable : environment)
    env.push_back(const_cast<char*>(variable.c_str()));
  env.push_back(nullptr);

  const int error =
      ::posix_spawnp(&Pid, ProgramName.c_str(), &actions, &attributes, args.data(), env.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (movedFd >= 0) ::close(movedFd);
  if (error != 0) {
    Pid = -1;
    throw std::runtime_error("cannot start " + ProgramName + ": " + std::strerror(error));
  }
  // Through syscall: this glibc's <sys/pidfd.h> lacks C linkage for C++.
  PidFd = static_cast<int>(::syscall(SYS_pidfd_open, Pid, 0));
  if (PidFd < 0) {
    const int openError = errno;
    ::kill(-Pid, SIGKILL);
    ::waitpid(Pid, nullptr, 0);
    Pid = -1;
    throw std::runtime_error("cannot watch " + ProgramName + ": " + std::strerror(openError));
  }
}

TSessionProcess::TSessionProcess(TSessionProcess&& other) noexcept
    : ProgramName(std::move(other.ProgramName)),
      Log(std::move(other.Log)),
      Pid(std::exchange(other.Pid, -1)),
      PidFd(std::exchange(other.PidFd, -1)) {}

TSessionProcess::~TSessionProcess() {
  if (Pid < 0) return;
  // SIGTERM lets Xvfb remove its lock file and socket; SIGKILL only for a program that
  // does not end in time.
  ::kill(-Pid, SIGTERM);
  std::vector<pollfd> exited = {{PidFd, POLLIN, 0}};
  if (!PollUntil(exited, TClock::now() + StopTimeout)) ::kill(-Pid, SIGKILL);
  ::waitpid(Pid, nullptr, 0);
  ::close(PidFd);
}

bool TSessionProcess::HasExited() const {
  pollfd exited = {PidFd, POLLIN, 0};
  return ::poll(&exited, 1, 0) > 0;
}

TXvfbSession::TLogDirectory::~TLogDirectory() {
  std::error_code ignored;
  if (!Path.empty()) fs::remove_all(Path, ignored);
}

TXvfbSession::TXvfbSession() {
  std::string pattern = (fs::temp_directory_path() / "trs-xsession-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a directory for the session's logs: " +
                             std::string(std::strerror(errno)));
  Logs.Path = pattern;

  StartXvfb();
  Processes.push_back(StartInstalled({"openbox", "--sm-disable"}, "openbox", SessionEnvironment(),
                                     NextLogPath("openbox")));
  WaitForWindowManager(Processes.back());
}

TXvfbSession::~TXvfbSession() {
  while (!Processes.empty()) Processes.pop_back();
}

void TXvfbSession::StartProgram(const std::vector<std::string>& argv) {
  Processes.push_back(TSessionProcess(argv, SessionEnvironment(), NextLogPath(argv.at(0))));
}

void TXvfbSession::StartXvfb() {
  // Xvfb picks the first free display itself and writes its number to the descriptor it is
  // given once it accepts connections: no guessing, and no race with other sessions.
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0)
    throw std::runtime_error("cannot create a pipe: " + std::string(std::strerror(errno)));
  struct TFd {
    int Fd;
    ~TFd() {
      if (Fd >= 0) ::close(Fd);
    }
  } readEnd{pipeFds[0]}, writeEnd{pipeFds[1]};
  Processes.push_back(StartInstalled(
      {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset", "-screen", "0", "1280x1024x24"},
      "xvfb", SessionEnvironment(), NextLogPath("Xvfb"), writeEnd.Fd));
  // Ours must be closed so that the pipe reports the end when Xvfb dies without a number.
  ::close(std::exchange(writeEnd.Fd, -1));

  const TSessionProcess& xvfb = Processes.back();
  const TClock::time_point deadline = TClock::now() + StartTimeout;
  std::string number;
  std::vector<pollfd> fds = {{readEnd.Fd, POLLIN, 0}};
  while (number.empty() || number.back() != '\n') {
    if (!PollUntil(fds, deadline)) Fail(xvfb, "did not report a display in time");
    char buffer[32];
    const ssize_t count = ::read(readEnd.Fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) Fail(xvfb, "ended without opening a display");
    number.append(buffer, static_cast<size_t>(count));
  }
  number.pop_back();
  Display = ":" + number;
}

void TXvfbSession::WaitForWindowManager(const TSessionProcess& windowManager) {
  xcb_connection_t* connection = xcb_connect(Display.c_str(), nullptr);
  struct TConnection {
    xcb_connection_t* Handle;
    ~TConnection() { xcb_disconnect(Handle); }
  } owner{connection};
  if (xcb_connection_has_error(connection) != 0)
    throw std::runtime_error("cannot connect to the session's display " + Display);
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  const xcb_window_t root = screen->root;
  const auto atom = [&](const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    if (reply == nullptr) throw std::runtime_error("cannot intern " + std::string(name));
    const xcb_atom_t result = reply->atom;
    std::free(reply);
    return result;
  };
  const xcb_atom_t checkAtom = atom("_NET_SUPPORTING_WM_CHECK");
  const xcb_atom_t clientListAtom = atom("_NET_CLIENT_LIST");
  const xcb_atom_t nudgeAtom = atom("_TRS_XSESSION_NUDGE");
  const auto rootWindows = [&](xcb_atom_t property) {
    std::vector<xcb_window_t> windows;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, property, XCB_ATOM_WINDOW, 0, 1024),
        nullptr);
    if (reply != nullptr && reply->format == 32) {
      const auto* data = static_cast<const xcb_window_t*>(xcb_get_property_value(reply));
      windows.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return windows;
  };

  // Every step below is awaited through the root's property changes, watched from before
  // the first look so that none slips through between a look and the wait.
  const std::uint32_t rootMask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &rootMask);
  const TClock::time_point deadline = TClock::now() + StartTimeout;
  std::vector<pollfd> fds = {{xcb_get_file_descriptor(connection), POLLIN, 0},
                             {windowManager.ExitFd(), POLLIN, 0}};
  std::uint32_t nudges = 0;
  const auto waitFor = [&](const auto& condition, const char* what, bool nudge) {
    while (!condition()) {
      if (windowManager.HasExited()) Fail(windowManager, "ended before it managed the display");
      if (xcb_connection_has_error(connection) != 0)
        throw std::runtime_error("lost the connection to the session's display " + Display);
      // Events that arrived with the replies are already queued and would not wake poll.
      bool queued = false;
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
        std::free(event);
        queued = true;
      }
      if (queued) continue;
      // openbox announces itself before its event loop runs, and a request that reaches it
      // in between waits for the next event to arrive; a change of a root property of our
      // own is such an event, harmless to any window manager.
      const TClock::time_point slice =
          nudge ? std::min(deadline, TClock::now() + std::chrono::milliseconds(50)) : deadline;
      if (!PollUntil(fds, slice)) {
        if (TClock::now() >= deadline) Fail(windowManager, what);
        ++nudges;
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, nudgeAtom, XCB_ATOM_CARDINAL,
                            32, 1, &nudges);
        xcb_flush(connection);
      }
    }
  };

  waitFor([&] { return !rootWindows(checkAtom).empty(); }, "did not announce itself in time",
          false);
  // Up means managing windows: a probe window must appear in the client list, and be gone
  // from it again before the session is handed over.
  const xcb_window_t probe = xcb_generate_id(connection);
  xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, root, 0, 0, 16, 16, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
  xcb_map_window(connection, probe);
  xcb_flush(connection);
  const auto listed = [&] {
    const std::vector<xcb_window_t> clients = rootWindows(clientListAtom);
    return std::find(clients.begin(), clients.end(), probe) != clients.end();
  };
  waitFor(listed, "did not manage a window in time", true);
  xcb_destroy_window(connection, probe);
  xcb_flush(connection);
  waitFor([&] { return !listed(); }, "did not let go of a destroyed window in time", true);
  xcb_delete_property(connection, root, nudgeAtom);
  xcb_flush(connection);
}

std::vector<std::string> TXvfbSession::SessionEnvironment() const {
  std::vector<std::string> environment;
  for (char** variable = environ; *variable != nullptr; ++variable)
    if (std::strncmp(*variable, "DISPLAY=", 8) != 0) environment.emplace_back(*variable);
  if (!Display.empty()) environment.push_back("DISPLAY=" + Display);
  return environment;
}

std::string TXvfbSession::NextLogPath(const std::string& program) {
  return (fs::path(Logs.Path) /
          (std::to_string(++LogCount) + "-" + fs::path(program).filename().string() + ".log"))
      .string();
}

}  // namespace trs
