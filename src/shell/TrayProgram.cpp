// The tray program.
#include "shell/TrayProgram.h"

#include <QApplication>
#include <QSessionManager>
#include <cstdlib>
#include <memory>

#include "desktop/DesktopUtils.h"
#include "desktop/LogLine.h"
#include "platform/ProcessControl.h"
#include "platform/SingleInstance.h"
#include "shell/ProgramStart.h"
#include "shell/QtDesktop.h"
#include "shell/fuMain.h"

namespace trs {

int RunTrayProgram(int argc, char** argv, TStopSignalWatcher& stopSignals) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromUtf8(ApplicationTitleText));
  QApplication::setQuitOnLastWindowClosed(false);  // the form only hides; the tray stays
  // Ending the desktop session is consented to at once (nothing to save or ask).
  QObject::connect(&application, &QGuiApplication::commitDataRequest, [](QSessionManager&) {});

  TQtDesktop desktop;
  QObject::connect(&application, &QCoreApplication::aboutToQuit, [&desktop] { desktop.BeginShutdown(); });

  // Stop requests are taken from the very start: a box that the start-up shows (a second
  // copy, a missing CONFIG.CFG, a bad PORT) must not hold them up. A request ends every
  // event loop, the boxes' included, and closes the boxes; the start-up then runs to its
  // end without waiting for the user, and the main loop is not entered.
  bool stopAsked = false;       // main thread only
  TfmMain* mainForm = nullptr;  // main thread only; set while the form exists
  TDesktopRunHooks hooks(desktop, stopSignals);  // after what the signal handler uses
  stopSignals.Start([&desktop, &stopAsked, &mainForm](int signal) {
    desktop.PostToMainThread([&desktop, &stopAsked, &mainForm, signal] {
      LogLine("stopping (signal " + std::to_string(signal) + ")");
      stopAsked = true;
      if (mainForm != nullptr)
        mainForm->nExitClick();
      else
        QCoreApplication::exit(EXIT_SUCCESS);
      desktop.BeginShutdown();
    });
  });

  int status = EXIT_FAILURE;
  if (std::unique_ptr<TSingleInstance> guard = TakeSingleInstance()) {
    auto form = std::make_unique<TfmMain>();
    mainForm = form.get();
    if (form->FormCreate(InitialPort())) {
      if (stopAsked) {
        status = EXIT_SUCCESS;
      } else {
        AnnounceListening(form->Shell());
        status = QApplication::exec();
      }
      form->Shell().Stop();
      stopSignals.Stop();
      WaitForOpenDialogsOrExit();
    }
    mainForm = nullptr;
    form.reset();  // removes the tray icon, then frees the endpoint and the drivers
  }
  return status;
}

}  // namespace trs
