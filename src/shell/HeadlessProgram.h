// The program's form on a machine without a display.
#pragma once

namespace trs {

class TStopSignalWatcher;

// Runs until a stop signal; returns the exit status.
int RunHeadlessProgram(TStopSignalWatcher& stopSignals);

}  // namespace trs
