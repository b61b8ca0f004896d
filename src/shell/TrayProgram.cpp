// The tray program.
#include "shell/TrayProgram.h"

#include <QApplication>
#include <QSessionManager>
#include <cstdlib>
#include <memory>

#include "desktop/DesktopUtils.h"
#include "desktop/LogLine.h"
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
  IDesktopBackend* previous = SetDesktop(&desktop);
  QObject::connect(&application, &QCoreApplication::aboutToQuit, [&desktop] { desktop.BeginShutdown(); });

  int status = EXIT_FAILURE;
  if (std::unique_ptr<TSingleInstance> guard = TakeSingleInstance()) {
    auto form = std::make_unique<TfmMain>();
    if (form->FormCreate(InitialPort())) {
      AnnounceListening(form->Shell());
      TfmMain* mainForm = form.get();
      stopSignals.Start([&desktop, mainForm](int signal) {
        desktop.PostToMainThread([mainForm, signal] {
          LogLine("stopping (signal " + std::to_string(signal) + ")");
          mainForm->nExitClick();
        });
      });
      status = QApplication::exec();
      stopSignals.Stop();
      form->Shell().Stop();
      WaitForOpenDialogsOrExit();
    }
    form.reset();  // removes the tray icon, then frees the endpoint and the drivers
  }
  SetDesktop(previous);
  return status;
}

}  // namespace trs
