// The client log and the error log file behind crash reporting.
#include "desktop/vxLog.h"

#include <cxxabi.h>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>
#include <typeinfo>

#include "desktop/DesktopUtils.h"
#include "platform/Mutex.h"
#include "platform/ProgramFile.h"
#include "platform/Text.h"

namespace trs {

namespace {

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::string KindName(const std::exception& error) {
  const char* mangled = typeid(error).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? demangled.get() : mangled;
}

std::string Timestamp() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return Format("%s.%03d", text, static_cast<int>(millis.count()));
}

std::string StackOfThisThread() {
  void* frames[64];
  int count = backtrace(frames, 64);
  std::unique_ptr<char*, void (*)(void*)> symbols(backtrace_symbols(frames, count), std::free);
  std::string stack;
  for (int i = 1; i < count; ++i)  // frame 0 is this function
    stack += "  " + (symbols ? std::string(symbols.get()[i]) : Format("%p", frames[i])) + "\n";
  return stack;
}

// Appends are whole entries: one write to a file opened for appending, one writer at a time.
TMutex ErrorLogLock;

}  // namespace

void TvxCustomLog::TranslateError(Exception& error) {
  const std::string& message = error.GetMessage();
  if (dynamic_cast<EFCreateError*>(&error) != nullptr || Contains(message, "Cannot create file"))
    error.SetMessage(Utf8ToNarrow("请到IE安全设置中不选“启用保护模式”，然后重新启动IE"));
  else if (Contains(message, "Access violation"))
    error.SetMessage(Utf8ToNarrow("操作失败！"));
}

void TvxCustomLog::ReportException(Exception& error, const std::string& context) {
  ClientLog().TranslateError(error);
  std::string text = context.empty() ? error.GetMessage() : context + "\r" + error.GetMessage();
  ShowErrorBox(text, false);
  ExceptionManager(error, __builtin_return_address(0), 1, ProgramFileName());
}

TvxLog& ClientLog() {
  static TvxLog instance;  // thread-safe first use; never destroyed before exit
  return instance;
}

std::string ErrorLogFileName() { return ProgramDir() + "TallyReportSrv.errors.log"; }

void ExceptionManager(const std::exception& error, const void* raiseAddress, int mode,
                      const std::string& module) {
  std::string entry = "==== " + Timestamp() + "\n";
  entry += "Error: " + KindName(error) + ": " + NarrowToUtf8(error.what()) + "\n";
  entry += Format("Reported from: %p (mode %d, module %s)\n", raiseAddress, mode, module.c_str());
  entry += "Stack:\n" + StackOfThisThread() + "\n";

  TLockGuard guard(ErrorLogLock);
  int file = ::open(ErrorLogFileName().c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (file < 0) {
    // A reporter that cannot write its log must not turn into a new error for the driver.
    std::fprintf(stderr, "TallyReportSrv: cannot write the error log: %s", entry.c_str());
    return;
  }
  const char* data = entry.data();
  size_t left = entry.size();
  while (left > 0) {
    ssize_t written = ::write(file, data, left);
    if (written <= 0) break;
    data += written;
    left -= static_cast<size_t>(written);
  }
  ::close(file);
}

}  // namespace trs
