// The process-level facilities of the program's start and end: the stop signals (or, on
// other systems, their equivalents) and an immediate exit.
#pragma once

#include <functional>
#include <thread>

namespace trs {

// Takes the stop requests (SIGINT, SIGTERM) away from every thread and waits for them on a
// thread of its own, which calls `onStop` once per request. The destructor ends that thread.
class TStopSignalWatcher {
 public:
  // Must be created before any other thread, so that every thread inherits the mask.
  TStopSignalWatcher();
  ~TStopSignalWatcher();
  TStopSignalWatcher(const TStopSignalWatcher&) = delete;
  TStopSignalWatcher& operator=(const TStopSignalWatcher&) = delete;

  void Start(std::function<void(int signal)> onStop);
  // Ends the watching thread; after it returns `onStop` is not called again.
  void Stop();

 private:
  std::thread Watcher;
};

// Ends the process at once with `status`, without running destructors (output is flushed).
[[noreturn]] void ExitProcessNow(int status);

}  // namespace trs
