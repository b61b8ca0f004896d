// The process-level facilities of the program's start and end: the stop signals (or, on
// other systems, their equivalents), an immediate exit, and diagnostics (stack traces, type
// names, the local time) for the logs.
#pragma once

#include <functional>
#include <string>
#include <thread>
#include <typeinfo>

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

// The calling thread's stack, one frame per line ("  <frame>\n"), without this function.
std::string CurrentStackTrace();
// The readable name of a type (demangled where the platform mangles).
std::string ReadableTypeName(const std::type_info& type);
// The local time as "yyyy-mm-dd hh:nn:ss", with ".zzz" milliseconds when asked.
std::string LocalTimestamp(bool withMilliseconds = false);

}  // namespace trs
