// POSIX: stop requests are SIGINT and SIGTERM taken by sigwait; stacks come from glibc's
// backtrace.
#include "platform/ProcessControl.h"

#include <cxxabi.h>
#include <execinfo.h>
#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

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

std::string CurrentStackTrace() {
  void* frames[64];
  const int count = backtrace(frames, 64);
  std::unique_ptr<char*, void (*)(void*)> symbols(backtrace_symbols(frames, count), std::free);
  std::string stack;
  for (int i = 1; i < count; ++i) {  // frame 0 is this function
    char address[32];
    std::snprintf(address, sizeof address, "%p", frames[i]);
    stack += "  " + (symbols ? std::string(symbols.get()[i]) : std::string(address)) + "\n";
  }
  return stack;
}

std::string ReadableTypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? demangled.get() : type.name();
}

std::string LocalTimestamp(bool withMilliseconds) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[48];
  size_t length = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  if (withMilliseconds) {
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::snprintf(text + length, sizeof text - length, ".%03d", static_cast<int>(millis));
  }
  return text;
}

}  // namespace trs
