// The program's form on a desktop: the tray icon and the port form (Qt 6 Widgets).
#pragma once

namespace trs {

class TStopSignalWatcher;

// Runs the Qt application until the tray menu's exit or a stop signal; returns the exit
// status.
int RunTrayProgram(int argc, char** argv, TStopSignalWatcher& stopSignals);

}  // namespace trs
