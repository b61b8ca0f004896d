// The tray window: the tray icon with its menu, and the small hidden form on which the HTTP
// port is changed.
#pragma once

#include <QWidget>

#include "shell/ServiceShell.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

namespace trs {

// Hidden at start. Owns the shell (and through it the endpoint) for the life of the program.
// Everything here runs on the main thread.
class TfmMain : public QWidget {
 public:
  static constexpr const char* CaptionBase = "Orvane打印服务";

  TfmMain();
  ~TfmMain() override;

  // The form's creation steps: the endpoint on `initialPort`, the tray icon, LoadPort, then
  // the version in the caption and the menu. An error is shown to the user and false is
  // returned; the remaining steps do not run.
  bool FormCreate(int initialPort);

  TServiceShell& Shell() { return ServiceShell; }
  QSystemTrayIcon* TrayIcon() const { return Tray; }

  // The menu items and the port button, as the user triggers them.
  void nModifyPortClick();
  void nExitClick();
  void btnAppClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnTrayActivated(int reason);

  TServiceShell ServiceShell;
  QFrame* pnl1;
  QLabel* lbl1;
  QLineEdit* edtPort;
  QPushButton* btnApp;
  QMenu* pm1;
  QAction* nModifyPort;
  QAction* nVersion;
  QAction* nExit;
  QSystemTrayIcon* Tray = nullptr;
};

// The application icon (a small printer), for the tray and the windows.
QIcon ApplicationIcon();

}  // namespace trs
