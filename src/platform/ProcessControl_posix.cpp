// POSIX: stop requests are SIGINT and SIGTERM taken by sigwait.
#include "platform/ProcessControl.h"

#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace trs {

namespace {

// SIGUSR2 only ends the watcher thread; the stop signals end the program.
sigset_t WatchedSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGUSR2);
  return signals;
}

}  // namespace

TStopSignalWatcher::TStopSignalWatcher() {
  const sigset_t signals = WatchedSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);  // a client that goes away is an error code, not a signal
}

TStopSignalWatcher::~TStopSignalWatcher() { Stop(); }

void TStopSignalWatcher::Start(std::function<void(int)> onStop) {
  Watcher = std::thread([onStop = std::move(onStop)] {
    const sigset_t signals = WatchedSignals();
    for (;;) {
      int signal = 0;
      if (sigwait(&signals, &signal) != 0 || signal == SIGUSR2) return;
      onStop(signal);
    }
  });
}

void TStopSignalWatcher::Stop() {
  if (!Watcher.joinable()) return;
  pthread_kill(Watcher.native_handle(), SIGUSR2);
  Watcher.join();
}

void ExitProcessNow(int status) {
  std::fflush(nullptr);
  _exit(status);
}

}  // namespace trs
