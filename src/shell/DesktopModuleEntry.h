// How the program and its desktop module (TallyReportSrv-desktop.so) meet: the module's one
// entry, and the status by which it says that it could not start a desktop at all.
#pragma once

namespace trs {

class TStopSignalWatcher;

// The file name of the desktop module, beside the program.
constexpr const char* DesktopModuleName = "TallyReportSrv-desktop.so";
// Its entry: runs the tray program and returns its exit status, or DesktopUnavailable when
// no display could be reached (the reason has been logged, and the toolkit not started), so
// that the caller serves headless instead. Errors never escape it.
constexpr const char* DesktopModuleEntryName = "TrsRunTrayProgram";
using TRunTrayProgram = int(int argc, char** argv, TStopSignalWatcher* stopSignals);
constexpr int DesktopUnavailable = -1;

}  // namespace trs
