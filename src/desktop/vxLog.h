// The client log: the program-wide reporter of errors that a driver caught. It rewords two
// well-known failures into guidance, shows the error to the desktop user and hands it to
// crash reporting, which appends it to the program's error log.
#pragma once

#include <string>

#include "platform/Exceptions.h"

namespace trs {

class TvxCustomLog {
 public:
  virtual ~TvxCustomLog() = default;

  // Translates the error, shows "<context>\r<message>" (or the message alone when the
  // context is empty) in an error box, waits for the user, then calls ExceptionManager.
  // Errors of the message box or of crash reporting reach the caller.
  void ReportException(Exception& error, const std::string& context);

  // Rewrites the message in place; the first rule that matches wins:
  //   a file that can't be created -> "请到IE安全设置中不选“启用保护模式”，然后重新启动IE";
  //   "Access violation" (letter case significant) -> "操作失败！".
  void TranslateError(Exception& error);
};

class TvxLog : public TvxCustomLog {};

// The program-wide instance, created on first use and kept for the life of the process.
TvxLog& ClientLog();

// Crash reporting's entry: appends the error (its kind and message), the time, the address
// it was reported from and the stack of the reporting thread to the error log file.
void ExceptionManager(const std::exception& error, const void* raiseAddress, int mode,
                      const std::string& module);

// The error log: "TallyReportSrv.errors.log" in the program directory.
std::string ErrorLogFileName();

}  // namespace trs
