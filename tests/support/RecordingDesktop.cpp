// The recording desktop backend of the tests.
#include "support/RecordingDesktop.h"

#include <chrono>

namespace trs::test {

namespace {

// The progress window of the fake: records its calls into the fake's log.
class TRecordingProgressView : public IProgressView {
 public:
  explicit TRecordingProgressView(TRecordingDesktop& desktop) : Owner(desktop) {}
  void SetTopmost(bool topmost) override { Owner.Record(topmost ? "Progress.SetTopmost(1)" : "Progress.SetTopmost(0)"); }
  void BringToTop() override { Owner.Record("Progress.BringToTop"); }
  void Show() override { Visible = true; Owner.Record("Progress.Show"); }
  void Hide() override { Visible = false; Owner.Record("Progress.Hide"); }
  bool IsVisible() override { return Visible; }
  void SetMessage(const std::string& text) override { Owner.Record("Progress.SetMessage(" + text + ")"); }
  void SetMax(int max) override { Owner.Record("Progress.SetMax(" + std::to_string(max) + ")"); }
  void SetPosition(int position) override { Owner.Record("Progress.SetPosition(" + std::to_string(position) + ")"); }
  void ProcessPaintMessages() override { Owner.Record("Progress.Paint"); }

 private:
  TRecordingDesktop& Owner;
  bool Visible = false;
};

std::string Handle(TWindowHandle window) { return std::to_string(window); }

}  // namespace

TRecordingDesktop::TRecordingDesktop() : MainThread(std::this_thread::get_id()) {
  Previous = SetDesktop(this);
}

TRecordingDesktop::~TRecordingDesktop() {
  SetDesktop(Previous);
  std::deque<std::function<void()>> dropped;
  {
    TLockGuard guard(Lock);
    dropped.swap(PostedWork);
  }
}

void TRecordingDesktop::SetForeground(TWindowHandle window) {
  TLockGuard guard(Lock);
  Foreground = window;
  if (window != 0) Windows.insert(window);
}

void TRecordingDesktop::SetActiveOfCallingThread(TWindowHandle window) {
  TLockGuard guard(Lock);
  Active = window;
}

void TRecordingDesktop::AddWindow(TWindowHandle window) {
  TLockGuard guard(Lock);
  Windows.insert(window);
}

void TRecordingDesktop::CloseWindow(TWindowHandle window) {
  TLockGuard guard(Lock);
  Windows.erase(window);
}

void TRecordingDesktop::SetAnimatedCursorLoads(bool loads) {
  TLockGuard guard(Lock);
  AnimatedCursorLoads = loads;
}

void TRecordingDesktop::SetMessageBoxResult(int result) {
  TLockGuard guard(Lock);
  MessageBoxAnswer = result;
}

std::vector<std::string> TRecordingDesktop::Calls() const {
  TLockGuard guard(Lock);
  return CallLog;
}

std::vector<std::string> TRecordingDesktop::CallsStartingWith(const std::string& prefix) const {
  std::vector<std::string> result;
  for (const std::string& call : Calls())
    if (call.compare(0, prefix.size(), prefix) == 0) result.push_back(call);
  return result;
}

void TRecordingDesktop::ClearCalls() {
  TLockGuard guard(Lock);
  CallLog.clear();
  CallLogThreads.clear();
}

std::vector<std::thread::id> TRecordingDesktop::CallThreads() const {
  TLockGuard guard(Lock);
  return CallLogThreads;
}

void TRecordingDesktop::Record(std::string call) {
  TLockGuard guard(Lock);
  CallLog.push_back(std::move(call));
  CallLogThreads.push_back(std::this_thread::get_id());
}

int TRecordingDesktop::RunPostedWork() {
  int ran = 0;
  for (;;) {
    std::function<void()> work;
    {
      TLockGuard guard(Lock);
      if (PostedWork.empty()) return ran;
      work = std::move(PostedWork.front());
      PostedWork.pop_front();
    }
    work();
    ++ran;
  }
}

int TRecordingDesktop::WaitAndRunPostedWork(double seconds) {
  {
    TLockGuard guard(Lock);
    Posted.WaitFor(Lock, std::chrono::duration<double>(seconds),
                   [this]() TRS_REQUIRES(Lock) { return !PostedWork.empty(); });
  }
  return RunPostedWork();
}

size_t TRecordingDesktop::PostedCount() const {
  TLockGuard guard(Lock);
  return PostedWork.size();
}

int TRecordingDesktop::MessageBox(const std::string& text, const std::string& caption,
                                  unsigned flags) {
  Record("MessageBox(" + text + "|" + caption + "|" + std::to_string(flags) + ")");
  TLockGuard guard(Lock);
  return MessageBoxAnswer;
}

bool TRecordingDesktop::LoadAnimatedCursor(const std::string& path) {
  Record("LoadAnimatedCursor(" + path + ")");
  TLockGuard guard(Lock);
  return AnimatedCursorLoads;
}

void TRecordingDesktop::SetScreenCursor(TScreenCursor cursor) {
  static const char* const names[] = {"Default", "Hourglass", "Animated"};
  Record(std::string("SetScreenCursor(") + names[static_cast<int>(cursor)] + ")");
}

std::unique_ptr<IProgressView> TRecordingDesktop::CreateProgressView() {
  Record("CreateProgressView");
  return std::make_unique<TRecordingProgressView>(*this);
}

TWindowHandle TRecordingDesktop::ForegroundWindow() {
  Record("ForegroundWindow");
  TLockGuard guard(Lock);
  return Foreground;
}

TWindowHandle TRecordingDesktop::ActiveWindowOfCallingThread() {
  Record("ActiveWindowOfCallingThread");
  TLockGuard guard(Lock);
  return Active;
}

bool TRecordingDesktop::IsWindow(TWindowHandle window) {
  Record("IsWindow(" + Handle(window) + ")");
  TLockGuard guard(Lock);
  return window != 0 && Windows.count(window) != 0;
}

void TRecordingDesktop::EnableWindow(TWindowHandle window, bool enable) {
  Record("EnableWindow(" + Handle(window) + (enable ? ",1)" : ",0)"));
}

void TRecordingDesktop::RaiseToTop(TWindowHandle window) {
  Record("RaiseToTop(" + Handle(window) + ")");
}

void TRecordingDesktop::SetForegroundWindow(TWindowHandle window) {
  Record("SetForegroundWindow(" + Handle(window) + ")");
}

void TRecordingDesktop::SetActiveWindow(TWindowHandle window) {
  Record("SetActiveWindow(" + Handle(window) + ")");
}

void TRecordingDesktop::PostToMainThread(std::function<void()> work) {
  Record("PostToMainThread");
  {
    TLockGuard guard(Lock);
    PostedWork.push_back(std::move(work));
  }
  Posted.NotifyAll();
}

void TRecordingDesktop::RunOnMainThread(const std::function<void()>& work) {
  Record("RunOnMainThread");
  work();
}

bool TRecordingDesktop::IsMainThread() { return std::this_thread::get_id() == MainThread; }

}  // namespace trs::test
