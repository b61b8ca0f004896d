// The tray window: the tray icon with its menu, and the small hidden form on which the HTTP
// port is changed.
#pragma once

#include <QWidget>

#include "shell/ServiceShell.h"

class QAction;
class QFrame;
class QKeyEvent;
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
  // The port edit takes at most this many typed characters.
  static constexpr int MaxTypedPortLength = 5;

  TfmMain();
  ~TfmMain() override;

  // The form's creation steps: the endpoint on `initialPort`, the tray icon, LoadPort, then
  // the version in the caption and the menu. An error is shown to the user and the
  // remaining steps do not run; false is returned only when the endpoint could not be made
  // (after a later error the service runs on, on whatever port it listens).
  bool FormCreate(int initialPort);

  // Says once (log line and desktop notification) when the desktop has no notification
  // area, which leaves the program without any visible sign; true when it has one. Run a
  // few seconds after the start, so that a tray host starting with us can come up.
  bool CheckNotificationArea();

  TServiceShell& Shell() { return ServiceShell; }
  QSystemTrayIcon* TrayIcon() const { return Tray; }
  QMenu* TrayMenu() const { return pm1; }

  // The menu items and the port button, as the user triggers them.
  void nModifyPortClick();
  void nExitClick();
  void btnAppClick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnTrayActivated(int reason);
  // Shows, raises and activates the form, with the port edit focused and its text selected.
  void ShowPortForm();
  // Widens the form (from its designed size) until the caption fits into its title bar.
  void FitToCaption();
  // Typed characters other than digits and backspace, and digits beyond the length limit.
  bool IsDroppedPortKey(const QKeyEvent& key) const;

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
