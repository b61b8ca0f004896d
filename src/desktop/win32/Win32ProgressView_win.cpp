// The progress window on Win32 controls.
#include "desktop/win32/Win32ProgressView.h"

#include <atomic>
#include <functional>

#include "desktop/win32/Win32Desktop.h"
#include "desktop/win32/Win32Windows_win.h"
#include "platform/Win32_win.h"
// The common controls' header needs the system's types first.
#include <commctrl.h>

namespace trs {

namespace {

// The window's client size and layout, as designed, and its opacity (of 255).
constexpr int ClientWidth = 295;
constexpr int ClientHeight = 65;
constexpr BYTE AlphaValue = 200;
constexpr COLORREF MessageColour = RGB(0, 0, 128);  // navy

// The window on the main thread; its handles are touched there only.
struct TProgressWindow {
  TWin32Desktop* Desktop = nullptr;
  HWND Window = nullptr;
  HWND Message = nullptr;
  HWND Bar = nullptr;
  HFONT MessageFont = nullptr;

  ~TProgressWindow() {
    if (Window != nullptr) {
      // The window outlives this object when it is dropped off the main thread (the
      // program is ending): it must no longer reach it.
      ::SetWindowLongPtrW(Window, GWLP_USERDATA, 0);
      ::DestroyWindow(Window);
    }
    if (MessageFont != nullptr) ::DeleteObject(MessageFont);
  }
};

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* progress = reinterpret_cast<TProgressWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CTLCOLORSTATIC:
      if (progress != nullptr && reinterpret_cast<HWND>(lParam) == progress->Message) {
        HDC context = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(context, MessageColour);
        ::SetBkMode(context, TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_SETCURSOR:
      if (progress != nullptr && progress->Desktop->ShowBusyCursorOverWindow()) return TRUE;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterProgressClass() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    return win32::RegisterProgramWindowClass(win32::WidenUtf8(ProgressWindowClassName).c_str(), ProgressWindowProc);
  }();
  return registered;
}

HWND CreateChild(HWND parent, const wchar_t* className, const std::wstring& text, DWORD style,
                 int x, int y, int width, int height) {
  return ::CreateWindowExW(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width,
                           height, parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

// Creates the hidden window on the main thread; leaves `progress` empty when it cannot.
void CreateProgressWindow(TProgressWindow& progress) {
  if (!RegisterProgressClass()) return;
  const std::wstring className = win32::WidenUtf8(ProgressWindowClassName);
  // A tool window does not appear in the task bar; the border is the panel's edge.
  HWND window = ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_LAYERED, className.c_str(),
                                  L"", WS_POPUP | WS_BORDER, 0, 0, ClientWidth + 2, ClientHeight + 2,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return;
  progress.Window = window;
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&progress));
  ::SetLayeredWindowAttributes(window, 0, AlphaValue, LWA_ALPHA);

  HWND icon = CreateChild(window, L"STATIC", L"", SS_ICON, 2, 8, 32, 32);
  ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_INFORMATION)), 0);

  progress.Message = CreateChild(window, L"STATIC", win32::WidenUtf8("正在执行数据处理，请稍等"), SS_LEFT, 43, 18, 246, 24);
  progress.MessageFont = ::CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                       DEFAULT_PITCH, win32::WidenUtf8("宋体").c_str());
  ::SendMessageW(progress.Message, WM_SETFONT, reinterpret_cast<WPARAM>(progress.MessageFont), FALSE);

  progress.Bar = CreateChild(window, PROGRESS_CLASSW, L"", 0, 1, 47, 293, 17);
  ::SendMessageW(progress.Bar, PBM_SETRANGE32, 0, 1);
}

class TWin32ProgressView : public IProgressView {
 public:
  explicit TWin32ProgressView(TWin32Desktop& desktop)
      : Owner(desktop), Progress(std::make_shared<TProgressWindow>()) {
    Progress->Desktop = &desktop;
    std::shared_ptr<TProgressWindow> progress = Progress;
    Owner.RunOnMainThread([progress] { CreateProgressWindow(*progress); });
  }
  ~TWin32ProgressView() override {
    // The window goes on the main thread, with the last change queued to it.
    std::shared_ptr<TProgressWindow> progress = std::move(Progress);
    Owner.PostToMainThread([progress]() mutable { progress.reset(); });
  }

  void SetTopmost(bool topmost) override {
    Queue([topmost](TProgressWindow& progress) {
      ::SetWindowPos(progress.Window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    });
  }
  void BringToTop() override {
    Queue([](TProgressWindow& progress) {
      ::SetWindowPos(progress.Window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    });
  }
  void Show() override {
    Visible = true;
    Queue([](TProgressWindow& progress) {
      RECT window;
      ::GetWindowRect(progress.Window, &window);
      const int width = window.right - window.left;
      const int height = window.bottom - window.top;
      ::SetWindowPos(progress.Window, HWND_TOP, (::GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (::GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    });
  }
  void Hide() override {
    Visible = false;
    Queue([](TProgressWindow& progress) { ::ShowWindow(progress.Window, SW_HIDE); });
  }
  bool IsVisible() override { return Visible; }
  void SetMessage(const std::string& text) override {
    Queue([message = win32::WidenUtf8(text)](TProgressWindow& progress) {
      ::SetWindowTextW(progress.Message, message.c_str());
    });
  }
  void SetMax(int max) override {
    Queue([max](TProgressWindow& progress) {
      // A range of 0..0 is no range; the bar stays empty instead.
      ::SendMessageW(progress.Bar, PBM_SETRANGE32, 0, max > 0 ? max : 1);
      if (max <= 0) ::SendMessageW(progress.Bar, PBM_SETPOS, 0, 0);
    });
  }
  void SetPosition(int position) override {
    Queue([position](TProgressWindow& progress) {
      ::SendMessageW(progress.Bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
    });
  }
  // Paints at once, running no user input; from another thread the main thread's own loop
  // paints the queued changes.
  void ProcessPaintMessages() override {
    Queue([](TProgressWindow& progress) {
      if (::IsWindowVisible(progress.Window))
        ::RedrawWindow(progress.Window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    });
  }

 private:
  void Queue(std::function<void(TProgressWindow&)> change) {
    auto apply = [progress = Progress, change = std::move(change)] {
      if (progress->Window != nullptr) change(*progress);
    };
    if (Owner.IsMainThread())
      apply();
    else
      Owner.PostToMainThread(std::move(apply));
  }

  TWin32Desktop& Owner;
  std::shared_ptr<TProgressWindow> Progress;
  std::atomic<bool> Visible{false};
};

}  // namespace

std::unique_ptr<IProgressView> CreateWin32ProgressView(TWin32Desktop& desktop) {
  return std::make_unique<TWin32ProgressView>(desktop);
}

}  // namespace trs
