// The entry of the desktop module (TallyReportSrv-desktop.so), which the program loads when
// a display is named.
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "desktop/LogLine.h"
#include "shell/DesktopModuleEntry.h"
#include "shell/DisplayProbe.h"
#include "shell/TrayProgram.h"

extern "C" __attribute__((visibility("default"))) int TrsRunTrayProgram(
    int argc, char** argv, trs::TStopSignalWatcher* stopSignals) {
  try {
    const trs::TDisplayChoice display = trs::ChooseDisplay();
    if (display.Platform.empty()) {
      trs::LogLine(display.Problem + ": no tray icon, serving without a desktop");
      return trs::DesktopUnavailable;
    }
    // The platform found reachable goes to the toolkit as its own option, so that it never
    // tries (and dies on) one that is not.
    std::string platformOption = "-platform";
    std::string platform = display.Platform;
    std::vector<char*> arguments(argv, argv + argc);
    arguments.insert(arguments.begin() + (argc > 0 ? 1 : 0), {platformOption.data(), platform.data()});
    int count = static_cast<int>(arguments.size());
    arguments.push_back(nullptr);
    return trs::RunTrayProgram(count, arguments.data(), *stopSignals);
  } catch (const std::exception& error) {
    // The tray program had started: its failure ends the program (a headless restart would
    // hide it and leave a second, different program running in its place).
    trs::LogLine(std::string("error: ") + error.what());
    return EXIT_FAILURE;
  }
}
