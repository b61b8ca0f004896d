// The Windows program's form on a desktop: the tray icon and the port form (Win32).
#pragma once

#include <optional>

namespace trs {

class TStopSignalWatcher;

// Runs the tray program until the tray menu's exit or a stop request and returns the exit
// status; nullopt, before anything has started, when this session cannot show windows (the
// reason is logged), so that the caller serves without a desktop instead. Errors never
// escape it.
std::optional<int> RunWin32TrayProgram(TStopSignalWatcher& stopSignals);

}  // namespace trs
