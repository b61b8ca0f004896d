// POSIX: stacks come from glibc's backtrace, type names from the C++ ABI's demangler.
#include "platform/Diagnostics.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

namespace trs {

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
