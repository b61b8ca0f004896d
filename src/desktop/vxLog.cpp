// The client log and the error log file behind crash reporting.
#include "desktop/vxLog.h"

#include <cstdio>
#include <typeinfo>

#include "desktop/DesktopUtils.h"
#include "platform/Diagnostics.h"
#include "platform/ProgramFile.h"
#include "platform/Text.h"
#include "platform/WholeFile.h"

namespace trs {

namespace {

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

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

std::string ErrorLogFileName() { return ProgramDirectory() + "TallyReportSrv.errors.log"; }

void ExceptionManager(const std::exception& error, const void* raiseAddress, int mode,
                      const std::string& module) {
  std::string entry = "==== " + LocalTimestamp(true) + "\n";
  entry += "Error: " + ReadableTypeName(typeid(error)) + ": " + NarrowToUtf8(error.what()) + "\n";
  entry += Format("Reported from: %p (mode %d, module %s)\n", raiseAddress, mode, module.c_str());
  entry += "Stack:\n" + CurrentStackTrace() + "\n";

  // A reporter that cannot write its log must not turn into a new error for the driver.
  if (!AppendToFile(ErrorLogFileName(), entry))
    std::fprintf(stderr, "TallyReportSrv: cannot write the error log: %s", entry.c_str());
}

}  // namespace trs
