// The Win32 desktop backend.
#include "desktop/win32/Win32Desktop.h"

#include <cstdint>
#include <optional>

#include "desktop/AniCursor.h"
#include "desktop/LogLine.h"
#include "desktop/win32/Win32ProgressView.h"
#include "desktop/win32/Win32Windows_win.h"
#include "platform/Exceptions.h"
#include "platform/Win32_win.h"

namespace trs {

namespace {

using win32::AsHandle;
using win32::AsHwnd;

// The message-only window's messages: run the next posted work; end the message loop.
constexpr UINT RunPostedWorkMessage = WM_APP;
constexpr UINT QuitLoopMessage = WM_APP + 1;

const wchar_t* const MessageWindowClass = L"TallyReportSrvMainThread";


LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* desktop = reinterpret_cast<TWin32Desktop*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (desktop != nullptr && message == RunPostedWorkMessage) {
    desktop->RunNextPostedWork();
    return 0;
  }
  if (message == QuitLoopMessage) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterMessageWindowClass() {
  static const bool registered = win32::RegisterProgramWindowClass(MessageWindowClass, MessageWindowProc);
  (void)registered;  // a failure shows when the window is created
}

// While a box is being shown on this thread: the backend that asked for it, and whether
// its window has been seen (the box is the first top-level window the call creates; its
// controls follow).
struct TBoxWatch {
  TWin32Desktop* Desktop = nullptr;
  HHOOK Hook = nullptr;
  bool Seen = false;
};
thread_local TBoxWatch* CurrentBoxWatch = nullptr;

LRESULT CALLBACK BoxCreationHook(int code, WPARAM wParam, LPARAM lParam) {
  TBoxWatch* watch = CurrentBoxWatch;
  if (code == HCBT_CREATEWND && watch != nullptr && !watch->Seen) {
    const auto* creation = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
    if ((creation->lpcs->style & WS_CHILD) == 0) {
      watch->Seen = true;
      watch->Desktop->BoxCreated(AsHandle(reinterpret_cast<HWND>(wParam)));
    }
  }
  return ::CallNextHookEx(watch != nullptr ? watch->Hook : nullptr, code, wParam, lParam);
}

// Watches the box windows created on this thread for as long as it lives.
class TBoxWatchScope {
 public:
  explicit TBoxWatchScope(TWin32Desktop& desktop) : Previous(CurrentBoxWatch) {
    Watch.Desktop = &desktop;
    Watch.Hook = ::SetWindowsHookExW(WH_CBT, BoxCreationHook, nullptr, ::GetCurrentThreadId());
    CurrentBoxWatch = &Watch;
  }
  ~TBoxWatchScope() {
    CurrentBoxWatch = Previous;
    if (Watch.Hook != nullptr) ::UnhookWindowsHookEx(Watch.Hook);
  }
  TBoxWatchScope(const TBoxWatchScope&) = delete;
  TBoxWatchScope& operator=(const TBoxWatchScope&) = delete;

 private:
  TBoxWatch Watch;
  TBoxWatch* Previous;
};

// A closed box answers OK: it has no other button.
void CloseBox(TWindowHandle box) { ::PostMessageW(AsHwnd(box), WM_COMMAND, IDOK, 0); }

}  // namespace

bool Win32DesktopAvailable(std::string& problem) {
  HWND probe = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                 nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (probe == nullptr) {
    // Without a display the system may give no reason at all.
    const DWORD error = ::GetLastError();
    problem = "no window can be created in this session";
    if (error != ERROR_SUCCESS) problem += ": " + win32::SystemErrorText(error);
    return false;
  }
  ::DestroyWindow(probe);
  problem.clear();
  return true;
}

TWin32Desktop::TWin32Desktop() : MainThreadId(::GetCurrentThreadId()) {
  RegisterMessageWindowClass();
  HWND window = ::CreateWindowExW(0, MessageWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr)
    throw Exception("the main thread's message window cannot be created: " +
                    win32::SystemErrorText(::GetLastError()));
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  MessageWindow = AsHandle(window);
}

TWin32Desktop::~TWin32Desktop() {
  std::deque<std::function<void()>> dropped;
  {
    TLockGuard guard(QueueLock);
    LoopEnded = true;
    dropped.swap(Queue);
  }
  ::DestroyWindow(AsHwnd(MessageWindow));
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  TLockGuard guard(CursorLock);
  for (void* cursor : LoadedCursors) ::DestroyCursor(static_cast<HCURSOR>(cursor));
}

void TWin32Desktop::RunEventLoop(TWindowHandle dialogWindow) {
  const HWND dialog = AsHwnd(dialogWindow);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (dialog != nullptr && ::IsDialogMessageW(dialog, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  BeginShutdown();
  std::deque<std::function<void()>> dropped;
  TLockGuard guard(QueueLock);
  LoopEnded = true;
  dropped.swap(Queue);
}

void TWin32Desktop::Quit() { ::PostMessageW(AsHwnd(MessageWindow), QuitLoopMessage, 0, 0); }

void TWin32Desktop::BeginShutdown() {
  std::set<TWindowHandle> open;
  {
    TLockGuard guard(BoxLock);
    ShuttingDown = true;
    open = OpenBoxes;
  }
  for (TWindowHandle box : open) CloseBox(box);
}

void TWin32Desktop::BoxCreated(TWindowHandle box) {
  TLockGuard guard(BoxLock);
  // A box that comes up after the shutdown began closes at once.
  if (ShuttingDown)
    CloseBox(box);
  else
    OpenBoxes.insert(box);
}

int TWin32Desktop::MessageBox(const std::string& text, const std::string& caption,
                              unsigned flags) {
  if (ShuttingDown) {
    LogLine("message [" + caption + "] " + text);
    return MessageBoxResultOk;
  }
  const unsigned icon = flags & (MessageBoxIconError | MessageBoxIconInformation);
  int result = 0;
  DWORD error = 0;
  {
    TBoxWatchScope watch(*this);
    result = ::MessageBoxW(::GetForegroundWindow(), win32::WidenUtf8(text).c_str(),
                           win32::WidenUtf8(caption).c_str(), MB_OK | icon | MB_SETFOREGROUND);
    error = ::GetLastError();
  }
  {
    TLockGuard guard(BoxLock);
    for (auto box = OpenBoxes.begin(); box != OpenBoxes.end();) {
      if (::IsWindow(AsHwnd(*box)))
        ++box;
      else
        box = OpenBoxes.erase(box);
    }
  }
  if (result == 0) {
    // No box could be shown (the desktop has gone): the message goes to the log instead.
    LogLine("message [" + caption + "] " + text + " (not shown: " + win32::SystemErrorText(error) + ")");
  }
  return MessageBoxResultOk;
}

bool TWin32Desktop::LoadAnimatedCursor(const std::string& path) {
  // The file is checked first, so that both platforms refuse the same broken files.
  if (!LoadAniCursorFile(path)) return false;
  HCURSOR cursor = ::LoadCursorFromFileW(win32::Widen(path).c_str());
  if (cursor == nullptr) return false;
  TLockGuard guard(CursorLock);
  LoadedCursors.push_back(cursor);
  AnimatedCursor = cursor;
  return true;
}

void TWin32Desktop::SetScreenCursor(TScreenCursor cursor) {
  if (IsMainThread())
    ApplyCursor(cursor);
  else
    PostToMainThread([this, cursor] { ApplyCursor(cursor); });
}

void TWin32Desktop::ApplyCursor(TScreenCursor cursor) {
  {
    TLockGuard guard(CursorLock);
    Shown = cursor;
  }
  if (!ShowBusyCursorOverWindow()) ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}

bool TWin32Desktop::ShowBusyCursorOverWindow() {
  HCURSOR cursor = nullptr;
  {
    TLockGuard guard(CursorLock);
    if (Shown == TScreenCursor::Default) return false;
    if (Shown == TScreenCursor::Animated) cursor = static_cast<HCURSOR>(AnimatedCursor);
  }
  ::SetCursor(cursor != nullptr ? cursor : ::LoadCursorW(nullptr, IDC_WAIT));
  return true;
}

std::unique_ptr<IProgressView> TWin32Desktop::CreateProgressView() {
  return CreateWin32ProgressView(*this);
}

TWindowHandle TWin32Desktop::ForegroundWindow() { return AsHandle(::GetForegroundWindow()); }

TWindowHandle TWin32Desktop::ActiveWindowOfCallingThread() {
  // The active window of the calling thread's own message queue: none on a thread that
  // has no windows, such as a connection thread.
  return AsHandle(::GetActiveWindow());
}

bool TWin32Desktop::IsWindow(TWindowHandle window) {
  return window != 0 && ::IsWindow(AsHwnd(window)) != FALSE;
}

void TWin32Desktop::EnableWindow(TWindowHandle window, bool enable) {
  ::EnableWindow(AsHwnd(window), enable ? TRUE : FALSE);
}

void TWin32Desktop::RaiseToTop(TWindowHandle window) {
  ::SetWindowPos(AsHwnd(window), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TWin32Desktop::SetForegroundWindow(TWindowHandle window) {
  ::SetForegroundWindow(AsHwnd(window));
}

void TWin32Desktop::SetActiveWindow(TWindowHandle window) { ::SetActiveWindow(AsHwnd(window)); }

void TWin32Desktop::PostToMainThread(std::function<void()> work) {
  bool wake = false;
  {
    TLockGuard guard(QueueLock);
    if (LoopEnded) return;  // `work` is destroyed by the caller's frame, unrun
    Queue.push_back(std::move(work));
    wake = !WakePosted;
    WakePosted = true;
  }
  if (wake) ::PostMessageW(AsHwnd(MessageWindow), RunPostedWorkMessage, 0, 0);
}

void TWin32Desktop::RunNextPostedWork() {
  std::function<void()> work;
  {
    TLockGuard guard(QueueLock);
    if (Queue.empty()) {
      WakePosted = false;
      return;
    }
    work = std::move(Queue.front());
    Queue.pop_front();
    // One piece per message, the next one asked for before this one runs: work that
    // opens a modal loop (a box) does not hold up the rest of the queue.
    if (Queue.empty())
      WakePosted = false;
    else
      ::PostMessageW(AsHwnd(MessageWindow), RunPostedWorkMessage, 0, 0);
  }
  // No exception may unwind through the system's frames that called the window procedure.
  try {
    work();
  } catch (const std::exception& error) {
    LogLine(std::string("error in work on the main thread: ") + error.what());
  } catch (...) {
    LogLine("error in work on the main thread");
  }
}

bool TWin32Desktop::LoopHasEnded() {
  TLockGuard guard(QueueLock);
  return LoopEnded;
}

void TWin32Desktop::RunOnMainThread(const std::function<void()>& work) {
  if (IsMainThread()) {
    work();
    return;
  }
  // After the loop has ended nothing would run it, and the main thread may be waiting for
  // this very thread to finish its request.
  if (ShuttingDown || LoopHasEnded()) return;
  PostAndWait(*this, work);  // dropped unrun when the loop ended first
}

bool TWin32Desktop::IsMainThread() { return ::GetCurrentThreadId() == MainThreadId; }

}  // namespace trs
