// The entry of the desktop module (TallyReportSrv-desktop.so), which the program loads when
// a display is available.
#include "shell/TrayProgram.h"

extern "C" __attribute__((visibility("default"))) int TrsRunTrayProgram(
    int argc, char** argv, trs::TStopSignalWatcher* stopSignals) {
  return trs::RunTrayProgram(argc, argv, *stopSignals);
}
