// The Windows program's tray window: the tray icon with its menu, and the small hidden form
// on which the HTTP port is changed. The work behind them is the service shell's, shared
// with the other platforms.
#pragma once

#include <cstdint>
#include <memory>

#include "desktop/DesktopBackend.h"
#include "shell/ServiceShell.h"

namespace trs {

class TWin32Desktop;

// Hidden at start. Owns the shell (and through it the endpoint) for the life of the program.
// Lives on the main thread of `desktop`, which must outlive it; everything here runs there.
class TWin32MainForm {
 public:
  static constexpr const char* CaptionBase = "Orvane打印服务";
  // The port edit takes at most this many typed characters.
  static constexpr int MaxTypedPortLength = 5;
  // The tray icon's number on the form's window.
  static constexpr unsigned TrayIconId = 1;
  // The menu items' command numbers, in their order in the menu.
  enum TMenuCommand : unsigned { ModifyPortCommand = 100, VersionCommand, ExitCommand };

  // Creates the hidden form and the menu; throws trs::Exception with the system's reason
  // when the window cannot be created.
  explicit TWin32MainForm(TWin32Desktop& desktop);
  // Removes the tray icon, then the windows; the endpoint goes last, with the shell.
  ~TWin32MainForm();
  TWin32MainForm(const TWin32MainForm&) = delete;
  TWin32MainForm& operator=(const TWin32MainForm&) = delete;

  // The form's creation steps: the endpoint on `initialPort`, the tray icon, LoadPort, then
  // the version in the caption and the menu. An error is shown to the user and the
  // remaining steps do not run; false is returned only when the endpoint could not be made
  // (after a later error the service runs on, on whatever port it listens).
  bool FormCreate(int initialPort);

  TServiceShell& Shell() { return ServiceShell; }

  // The menu items and the port button, as the user triggers them.
  void nModifyPortClick();
  void nExitClick();
  void btnAppClick();
  // A menu command (TMenuCommand) as chosen from the menu.
  void MenuCommand(unsigned command);

  // The windows, for the message loop and for tests: the form, its port edit and button.
  TWindowHandle Window() const;
  TWindowHandle PortEdit() const;
  TWindowHandle ApplyButton() const;
  // The tray menu (an HMENU).
  std::uintptr_t TrayMenu() const;
  // Whether the tray icon is in the notification area.
  bool TrayIconShown() const;
  // Takes the icon out of the notification area (the destructor does it too).
  void RemoveTrayIcon();

  // The form's window procedure (with the system's types as integers).
  std::intptr_t HandleMessage(TWindowHandle window, unsigned message, std::uintptr_t wParam,
                             std::intptr_t lParam);

 private:
  struct TWindows;

  void AddTrayIcon();
  void ShowTrayMenu();
  // Shows and activates the form, with the port edit focused and its text selected.
  void ShowPortForm();
  // Widens the form (from its designed size) until the caption fits into its title bar.
  void FitToCaption();
  void SetCaption(const std::string& utf8Caption);

  TServiceShell ServiceShell;
  TWin32Desktop& Desktop;
  std::unique_ptr<TWindows> Windows;
};

}  // namespace trs
