// The tray window on Win32 controls.
#include "desktop/win32/Win32MainForm.h"

#include <algorithm>
#include <vector>

#include "desktop/DesktopUtils.h"
#include "desktop/LogLine.h"
#include "desktop/win32/Win32Desktop.h"
#include "desktop/win32/Win32Windows_win.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "platform/Win32_win.h"
// The shell's header needs the system's types first.
#include <shellapi.h>

namespace trs {

namespace {

using win32::AsHandle;
using win32::AsHwnd;

const wchar_t* const FormClass = L"TallyReportSrvMainForm";

// The tray icon's notifications to the form.
constexpr UINT TrayNotifyMessage = WM_APP + 10;

// The form's client size as designed, the panel on it, and the room that the title bar
// takes besides the caption (the window icon and the close button, with their margins).
constexpr int DesignWidth = 226;
constexpr int DesignHeight = 115;
constexpr int PanelX = 8, PanelY = 8, PanelWidth = 210, PanelHeight = 99;
constexpr int CaptionDecorationsWidth = 120;
// The button has the dialog's OK number, so that Enter presses it; Escape hides the form.
constexpr int ApplyButtonId = IDOK;
constexpr int PortEditId = 10;

std::wstring FromNarrow(const std::string& text) { return win32::WidenUtf8(NarrowToUtf8(text)); }

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

HFONT CreateFormFont(int pixelHeight) {
  // The CJK character set makes the system pick a face with the Chinese texts' glyphs
  // where the named one is missing.
  return ::CreateFontW(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       win32::WidenUtf8("宋体").c_str());
}

// The application icon (a small printer), drawn once: paper going in, the printer's body,
// the printed page. Pixels that are drawn are opaque, the rest transparent.
HICON CreatePrinterIcon() {
  constexpr int size = 32;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP colour = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (colour == nullptr) return ::LoadIconW(nullptr, IDI_APPLICATION);
  HDC context = ::CreateCompatibleDC(nullptr);
  HGDIOBJ oldBitmap = ::SelectObject(context, colour);
  HPEN pen = ::CreatePen(PS_SOLID, 2, RGB(30, 60, 120));
  HBRUSH paper = ::CreateSolidBrush(RGB(250, 250, 250));
  HBRUSH body = ::CreateSolidBrush(RGB(60, 110, 190));
  HGDIOBJ oldPen = ::SelectObject(context, pen);
  HGDIOBJ oldBrush = ::SelectObject(context, paper);
  ::Rectangle(context, 9, 3, 24, 14);
  ::SelectObject(context, body);
  ::RoundRect(context, 3, 12, 30, 25, 6, 6);
  ::SelectObject(context, paper);
  ::Rectangle(context, 9, 20, 24, 30);
  ::SelectObject(context, oldBrush);
  ::SelectObject(context, oldPen);
  ::SelectObject(context, oldBitmap);
  ::DeleteObject(body);
  ::DeleteObject(paper);
  ::DeleteObject(pen);
  ::DeleteDC(context);
  ::GdiFlush();
  auto* pixels = static_cast<DWORD*>(bits);
  for (int i = 0; i < size * size; ++i)
    if (pixels[i] != 0) pixels[i] |= 0xFF000000u;
  std::vector<BYTE> maskBits(size * size / 8, 0);
  HBITMAP mask = ::CreateBitmap(size, size, 1, 1, maskBits.data());
  ICONINFO iconInfo{TRUE, 0, 0, mask, colour};
  HICON icon = ::CreateIconIndirect(&iconInfo);
  ::DeleteObject(mask);
  ::DeleteObject(colour);
  return icon != nullptr ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
}

LRESULT CALLBACK FormWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
  }
  auto* form = reinterpret_cast<TWin32MainForm*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form != nullptr) {
    // No exception may unwind through the system's frames that called this procedure.
    try {
      return form->HandleMessage(AsHandle(window), message, wParam, lParam);
    } catch (const std::exception& error) {
      LogLine(std::string("error in the tray window: ") + error.what());
      return 0;
    }
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterFormClass() {
  static const bool registered = win32::RegisterProgramWindowClass(FormClass, FormWindowProc);
  (void)registered;  // a failure shows when the window is created
}

}  // namespace

// The form's system objects, released in the destructor.
struct TWin32MainForm::TWindows {
  HWND Form = nullptr;
  HWND Panel = nullptr;
  HWND Label = nullptr;
  HWND Edit = nullptr;
  HWND Button = nullptr;
  HMENU Menu = nullptr;
  HFONT ControlFont = nullptr;
  HFONT LabelFont = nullptr;
  HICON Icon = nullptr;
  UINT TaskbarCreated = 0;
  bool IconShown = false;
  // How far FitToCaption has moved the panel and its controls from their designed place.
  int PanelShift = 0;
};

TWin32MainForm::TWin32MainForm(TWin32Desktop& desktop)
    : Desktop(desktop), Windows(std::make_unique<TWindows>()) {
  RegisterFormClass();
  TWindows& w = *Windows;
  w.Icon = CreatePrinterIcon();
  // Sent to every top-level window when the task bar (re)starts: the icon is added again.
  w.TaskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Only the close button in the title bar; the form is never resized.
  w.Form = ::CreateWindowExW(0, FormClass, win32::WidenUtf8(CaptionBase).c_str(),
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT,
                             DesignWidth, DesignHeight, nullptr, nullptr, instance, this);
  if (w.Form == nullptr)
    throw Exception("the tray window cannot be created: " + win32::SystemErrorText(::GetLastError()));
  ::SendMessageW(w.Form, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(w.Icon));
  ::SendMessageW(w.Form, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(w.Icon));

  w.ControlFont = CreateFormFont(12);
  w.LabelFont = CreateFormFont(13);
  auto child = [&](const wchar_t* className, const std::string& text, DWORD style, int x, int y,
                   int width, int height, int id, HFONT font) {
    HWND control = ::CreateWindowExW(0, className, win32::WidenUtf8(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                     PanelX + x, PanelY + y, width, height, w.Form,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
  };
  w.Panel = child(L"STATIC", "", SS_ETCHEDFRAME, 0, 0, PanelWidth, PanelHeight, 0, w.ControlFont);
  w.Label = child(L"STATIC", "端口号", SS_LEFT, 28, 32, 50, 16, 0, w.LabelFont);
  w.Edit = child(L"EDIT", TServiceShell::DefaultPortText, WS_BORDER | WS_TABSTOP | ES_NUMBER | ES_AUTOHSCROLL,
                 84, 28, 91, 21, PortEditId, w.ControlFont);
  // The limit holds for typing only: a longer value from CONFIG.CFG is shown whole and can
  // be shortened, not lengthened.
  ::SendMessageW(w.Edit, EM_LIMITTEXT, MaxTypedPortLength, 0);
  w.Button = child(L"BUTTON", "修改", WS_TABSTOP | BS_DEFPUSHBUTTON, 71, 58, 75, 25, ApplyButtonId,
                   w.ControlFont);

  w.Menu = ::CreatePopupMenu();
  ::AppendMenuW(w.Menu, MF_STRING, ModifyPortCommand, win32::WidenUtf8("修改端口").c_str());
  ::AppendMenuW(w.Menu, MF_STRING, VersionCommand, win32::WidenUtf8("版本号").c_str());
  ::AppendMenuW(w.Menu, MF_STRING, ExitCommand, win32::WidenUtf8("退出").c_str());

  FitToCaption();
  // In the middle of the screen when first shown.
  RECT frame;
  ::GetWindowRect(w.Form, &frame);
  ::SetWindowPos(w.Form, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - (frame.right - frame.left)) / 2,
                 (::GetSystemMetrics(SM_CYSCREEN) - (frame.bottom - frame.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TWin32MainForm::~TWin32MainForm() {
  TWindows& w = *Windows;
  // The icon goes before the endpoint, as the form's destruction has it.
  RemoveTrayIcon();
  ::SetWindowLongPtrW(w.Form, GWLP_USERDATA, 0);
  ::DestroyWindow(w.Form);
  ::DestroyMenu(w.Menu);
  ::DeleteObject(w.ControlFont);
  ::DeleteObject(w.LabelFont);
  ::DestroyIcon(w.Icon);
}

bool TWin32MainForm::FormCreate(int initialPort) {
  try {
    ServiceShell.CreateServer(initialPort);
  } catch (const std::exception& error) {
    ShowErrorBox(error.what(), false);  // the application's error report
    return false;
  }
  // From here an error skips the remaining steps only: the service runs on (on the start
  // port when PORT is bad), with the tray icon and the form from which to mend it.
  try {
    AddTrayIcon();
    if (std::optional<std::string> port = ServiceShell.LoadPort())
      ::SetWindowTextW(Windows->Edit, FromNarrow(*port).c_str());

    const std::string version = NarrowToUtf8(getVersion());
    SetCaption(std::string(CaptionBase) + " " + version);
    FitToCaption();
    ::ModifyMenuW(Windows->Menu, VersionCommand, MF_BYCOMMAND | MF_STRING, VersionCommand,
                  win32::WidenUtf8("版本号：" + version).c_str());
  } catch (const std::exception& error) {
    ShowErrorBox(error.what(), false);
  }
  return true;
}

void TWin32MainForm::AddTrayIcon() {
  TWindows& w = *Windows;
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof(icon);
  icon.hWnd = w.Form;
  icon.uID = TrayIconId;
  icon.uFlags = NIF_ICON | NIF_MESSAGE | NIF_TIP;
  icon.uCallbackMessage = TrayNotifyMessage;
  icon.hIcon = w.Icon;
  const std::wstring tip = win32::WidenUtf8(ApplicationTitle());
  tip.copy(icon.szTip, std::size(icon.szTip) - 1);
  if (::Shell_NotifyIconW(NIM_ADD, &icon)) {
    w.IconShown = true;
    return;
  }
  // The task bar may not be up yet (the program starts with the session): its start brings
  // the icon.
  LogLine("the tray icon cannot be added yet (" + win32::SystemErrorText(::GetLastError()) +
          "); the service runs on, and the icon comes when the task bar starts");
}

void TWin32MainForm::RemoveTrayIcon() {
  TWindows& w = *Windows;
  if (!w.IconShown) return;
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof(icon);
  icon.hWnd = w.Form;
  icon.uID = TrayIconId;
  ::Shell_NotifyIconW(NIM_DELETE, &icon);
  w.IconShown = false;
}

void TWin32MainForm::ShowTrayMenu() {
  POINT at;
  ::GetCursorPos(&at);
  // The menu closes when the user clicks elsewhere only if the form is in the foreground;
  // the message after it makes the next click work as usual.
  ::SetForegroundWindow(Windows->Form);
  const UINT chosen = static_cast<UINT>(::TrackPopupMenu(
      Windows->Menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y, 0, Windows->Form, nullptr));
  ::PostMessageW(Windows->Form, WM_NULL, 0, 0);
  MenuCommand(chosen);
}

void TWin32MainForm::MenuCommand(unsigned command) {
  if (command == ModifyPortCommand) nModifyPortClick();
  if (command == ExitCommand) nExitClick();
}

void TWin32MainForm::ShowPortForm() {
  HWND form = Windows->Form;
  ::ShowWindow(form, SW_SHOW);
  ::SetForegroundWindow(form);
  // Typing replaces the port at once.
  ::SetFocus(Windows->Edit);
  ::SendMessageW(Windows->Edit, EM_SETSEL, 0, -1);
}

void TWin32MainForm::nModifyPortClick() { ShowPortForm(); }

void TWin32MainForm::nExitClick() {
  ServiceShell.Stop();
  Desktop.Quit();
}

void TWin32MainForm::btnAppClick() {
  try {
    ServiceShell.ChangePort(Utf8ToNarrow(win32::NarrowUtf8(WindowText(Windows->Edit))));
    ::ShowWindow(Windows->Form, SW_HIDE);
  } catch (const std::exception& error) {
    ShowErrorBox(error.what(), false);  // the form stays up, for another try
  }
}

void TWin32MainForm::SetCaption(const std::string& utf8Caption) {
  ::SetWindowTextW(Windows->Form, win32::WidenUtf8(utf8Caption).c_str());
}

void TWin32MainForm::FitToCaption() {
  // The caption is drawn in the title bar's font beside the window's buttons: the form
  // grows until the whole caption fits, the panel staying in its middle.
  TWindows& w = *Windows;
  int captionWidth = 0;
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    HFONT captionFont = ::CreateFontIndirectW(&metrics.lfCaptionFont);
    HDC context = ::GetDC(w.Form);
    HGDIOBJ old = ::SelectObject(context, captionFont);
    const std::wstring caption = WindowText(w.Form);
    SIZE extent{};
    ::GetTextExtentPoint32W(context, caption.c_str(), static_cast<int>(caption.size()), &extent);
    captionWidth = extent.cx;
    ::SelectObject(context, old);
    ::ReleaseDC(w.Form, context);
    ::DeleteObject(captionFont);
  }
  const int width = std::max(DesignWidth, captionWidth + CaptionDecorationsWidth);
  RECT frame{0, 0, width, DesignHeight};
  ::AdjustWindowRectEx(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, FALSE, 0);
  ::SetWindowPos(w.Form, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  const int panelX = (width - PanelWidth) / 2;
  const int shift = panelX - PanelX;
  for (HWND control : {w.Panel, w.Label, w.Edit, w.Button}) {
    RECT place;
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, w.Form, reinterpret_cast<POINT*>(&place), 2);
    const int designX = place.left - w.PanelShift;
    ::SetWindowPos(control, nullptr, designX + shift, place.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  w.PanelShift = shift;
}

TWindowHandle TWin32MainForm::Window() const { return AsHandle(Windows->Form); }
TWindowHandle TWin32MainForm::PortEdit() const { return AsHandle(Windows->Edit); }
TWindowHandle TWin32MainForm::ApplyButton() const { return AsHandle(Windows->Button); }
std::uintptr_t TWin32MainForm::TrayMenu() const { return reinterpret_cast<std::uintptr_t>(Windows->Menu); }
bool TWin32MainForm::TrayIconShown() const { return Windows->IconShown; }

std::intptr_t TWin32MainForm::HandleMessage(TWindowHandle window, unsigned message,
                                            std::uintptr_t wParam, std::intptr_t lParam) {
  TWindows& w = *Windows;
  if (message == TrayNotifyMessage) {
    const UINT mouse = static_cast<UINT>(lParam);
    if (mouse == WM_LBUTTONDBLCLK) {
      if (::IsWindowVisible(w.Form))
        ::ShowWindow(w.Form, SW_HIDE);
      else
        ShowPortForm();
    } else if (mouse == WM_RBUTTONUP) {
      ShowTrayMenu();
    }
    return 0;
  }
  if (w.TaskbarCreated != 0 && message == w.TaskbarCreated) {
    w.IconShown = false;
    AddTrayIcon();
    return 0;
  }
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == ApplyButtonId && HIWORD(wParam) == BN_CLICKED) {
        btnAppClick();
        return 0;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        ::ShowWindow(w.Form, SW_HIDE);
        return 0;
      }
      break;
    case WM_CLOSE:
      ::ShowWindow(w.Form, SW_HIDE);  // only the tray menu's exit ends the program
      return 0;
    // A program with windows hears of the session's end here, not from the console: the
    // end is consented to at once (nothing to save or ask), and the service stops before
    // this message returns, after which the system may end the process at any time.
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam != FALSE) {
        LogLine("stopping (the session ends)");
        Desktop.BeginShutdown();
        nExitClick();
      }
      return 0;
    case WM_SETCURSOR:
      if (Desktop.ShowBusyCursorOverWindow()) return TRUE;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(AsHwnd(window), message, wParam, lParam);
}

}  // namespace trs
