// A private X11 desktop for tests: a virtual X server (Xvfb) with a window manager
// (openbox) on a display of its own, and any further programs a test starts there.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace trs {

// One program running in the session, in a process group of its own. Move-only; the
// destructor ends the group (SIGTERM, then SIGKILL when it lingers) and reaps the program.
class TSessionProcess {
 public:
  // Starts argv[0] (looked up in PATH) with `environment`, its output going to `logPath`
  // and `passedFd` (when not -1) as its descriptor 3. Throws std::runtime_error when it
  // cannot be started.
  TSessionProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  const std::string& logPath, int passedFd = -1);
  ~TSessionProcess();
  TSessionProcess(TSessionProcess&& other) noexcept;
  TSessionProcess& operator=(TSessionProcess&&) = delete;
  TSessionProcess(const TSessionProcess&) = delete;
  TSessionProcess& operator=(const TSessionProcess&) = delete;

  // A descriptor that polls readable once the program has exited.
  int ExitFd() const { return PidFd; }
  bool HasExited() const;
  const std::string& Name() const { return ProgramName; }
  const std::string& LogPath() const { return Log; }

 private:
  std::string ProgramName;
  std::string Log;
  pid_t Pid = -1;
  int PidFd = -1;
};

// The session: Xvfb on the first free display (it picks the number itself, so sessions
// started in parallel never collide; no TCP listener), then openbox, up once it has
// announced itself on the root window (_NET_SUPPORTING_WM_CHECK) and has managed and let go
// of a probe window, so that windows the tests map are taken on at once. Every wait is
// bounded. Ending the session ends everything started in it, last started first.
class TXvfbSession {
 public:
  // Throws std::runtime_error with what went wrong, naming the missing package when
  // Xvfb or openbox is not installed, and with the program's output when it failed.
  TXvfbSession();
  ~TXvfbSession();
  TXvfbSession(const TXvfbSession&) = delete;
  TXvfbSession& operator=(const TXvfbSession&) = delete;

  // The display name, e.g. ":3", for xcb_connect or DISPLAY.
  const std::string& DisplayName() const { return Display; }

  // Starts a further program in the session (e.g. a system tray) with DISPLAY set; it is
  // ended with the session. Readiness is the caller's business. Throws like the constructor.
  void StartProgram(const std::vector<std::string>& argv);

 private:
  void StartXvfb();
  void WaitForWindowManager(const TSessionProcess& windowManager);
  std::vector<std::string> SessionEnvironment() const;
  std::string NextLogPath(const std::string& program);

  // Removes the directory of the programs' logs when the session ends (or fails to start).
  struct TLogDirectory {
    std::string Path;
    ~TLogDirectory();
  };

  TLogDirectory Logs;
  int LogCount = 0;
  std::string Display;
  std::vector<TSessionProcess> Processes;
};

}  // namespace trs
