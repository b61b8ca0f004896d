// The headless desktop backend.
#include "desktop/HeadlessDesktop.h"

#include "desktop/LogLine.h"

namespace trs {

namespace {

// Progress messages are worth a log line (long work shows what it is doing); positions are not.
class THeadlessProgressView : public IProgressView {
 public:
  void SetTopmost(bool) override {}
  void BringToTop() override {}
  void Show() override { Visible = true; }
  void Hide() override { Visible = false; }
  bool IsVisible() override { return Visible; }
  void SetMessage(const std::string& text) override { LogLine("progress: " + text); }
  void SetMax(int) override {}
  void SetPosition(int) override {}
  void ProcessPaintMessages() override {}

 private:
  bool Visible = false;
};

}  // namespace

THeadlessDesktop::~THeadlessDesktop() {
  std::deque<std::function<void()>> dropped;
  TLockGuard guard(Lock);
  dropped.swap(Queue);
  State = TLoopState::Ended;
}

void THeadlessDesktop::RunEventLoop() {
  TUniqueLock guard(Lock);
  MainThread = std::this_thread::get_id();
  State = TLoopState::Running;
  while (!QuitAsked) {
    if (Queue.empty()) {
      WorkArrived.Wait(Lock);
      continue;
    }
    std::function<void()> work = std::move(Queue.front());
    Queue.pop_front();
    guard.Unlock();
    work();
    work = nullptr;  // whatever the work owned goes on this thread
    guard.Lock();
  }
  State = TLoopState::Ended;
  std::deque<std::function<void()>> dropped;
  dropped.swap(Queue);
  guard.Unlock();
}

void THeadlessDesktop::Quit() {
  TLockGuard guard(Lock);
  QuitAsked = true;
  WorkArrived.NotifyAll();
}

int THeadlessDesktop::MessageBox(const std::string& text, const std::string& caption,
                                 unsigned flags) {
  const char* kind = (flags & MessageBoxIconError) != 0 ? "error" : "message";
  LogLine(std::string(kind) + " [" + caption + "] " + text);
  return MessageBoxResultOk;
}

bool THeadlessDesktop::LoadAnimatedCursor(const std::string&) { return false; }
void THeadlessDesktop::SetScreenCursor(TScreenCursor) {}

std::unique_ptr<IProgressView> THeadlessDesktop::CreateProgressView() {
  return std::make_unique<THeadlessProgressView>();
}

TWindowHandle THeadlessDesktop::ForegroundWindow() { return 0; }
TWindowHandle THeadlessDesktop::ActiveWindowOfCallingThread() { return 0; }
bool THeadlessDesktop::IsWindow(TWindowHandle) { return false; }
void THeadlessDesktop::EnableWindow(TWindowHandle, bool) {}
void THeadlessDesktop::RaiseToTop(TWindowHandle) {}
void THeadlessDesktop::SetForegroundWindow(TWindowHandle) {}
void THeadlessDesktop::SetActiveWindow(TWindowHandle) {}

void THeadlessDesktop::PostToMainThread(std::function<void()> work) {
  TUniqueLock guard(Lock);
  if (State == TLoopState::Ended) {
    guard.Unlock();
    return;  // `work` is destroyed here, unrun
  }
  Queue.push_back(std::move(work));
  WorkArrived.NotifyOne();
}

void THeadlessDesktop::RunOnMainThread(const std::function<void()>& work) {
  bool runHere;
  {
    TLockGuard guard(Lock);
    // Without a running loop there is no main thread to wait for.
    runHere = State != TLoopState::Running || std::this_thread::get_id() == MainThread;
  }
  if (runHere) {
    work();
    return;
  }
  if (!PostAndWait(*this, work)) work();  // the loop ended and dropped it before running it
}

bool THeadlessDesktop::IsMainThread() {
  TLockGuard guard(Lock);
  return State == TLoopState::Running && std::this_thread::get_id() == MainThread;
}

}  // namespace trs
