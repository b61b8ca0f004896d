// The Qt desktop backend.
#include "shell/QtDesktop.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <future>

#include "desktop/LogLine.h"
#include "shell/XcbWindows.h"
#include "shell/fuProgressor.h"

namespace trs {

namespace {

// The screen of a display name such as ":0.1" (0 when it names none); Qt connects to the
// display that DISPLAY names.
int ScreenOfDisplay(const char* display) {
  if (display == nullptr) return 0;
  const char* colon = std::strrchr(display, ':');
  const char* dot = colon != nullptr ? std::strchr(colon, '.') : nullptr;
  return dot != nullptr ? std::atoi(dot + 1) : 0;
}

// The X11 window operations share Qt's own connection, so the window ids are the ones the
// session's other programs use.
std::unique_ptr<TXcbWindows> OpenX11Windows() {
  if (QGuiApplication::platformName() != QLatin1String("xcb")) return nullptr;
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  if (x11 == nullptr || x11->connection() == nullptr) return nullptr;
  return std::make_unique<TXcbWindows>(x11->connection(), ScreenOfDisplay(std::getenv("DISPLAY")));
}

QMessageBox::Icon IconOf(unsigned flags) {
  if ((flags & MessageBoxIconError) != 0) return QMessageBox::Critical;
  if ((flags & MessageBoxIconInformation) != 0) return QMessageBox::Information;
  return QMessageBox::NoIcon;
}

// The progress window seen from any thread: every change is queued to the window on the
// main thread and none waits, so a driver's connection thread never blocks on the desktop.
class TQtProgressView : public IProgressView {
 public:
  explicit TQtProgressView(TQtDesktop& desktop) : Owner(desktop) {
    Owner.RunOnMainThread([this] { Form = new TfmProgressor(); });
  }
  ~TQtProgressView() override {
    QPointer<TfmProgressor> form = Form;
    Owner.PostToMainThread([form] { delete form.data(); });
  }
  void SetTopmost(bool topmost) override {
    Queue([topmost](TfmProgressor& form) { form.SetTopmost(topmost); });
  }
  void BringToTop() override { Queue([](TfmProgressor& form) { form.raise(); }); }
  void Show() override {
    Visible = true;
    Queue([](TfmProgressor& form) { form.ShowCentred(); });
  }
  void Hide() override {
    Visible = false;
    Queue([](TfmProgressor& form) { form.hide(); });
  }
  bool IsVisible() override { return Visible; }
  void SetMessage(const std::string& text) override {
    QString message = QString::fromStdString(text);
    Queue([message](TfmProgressor& form) { form.SetMessage(message); });
  }
  void SetMax(int max) override { Queue([max](TfmProgressor& form) { form.SetMax(max); }); }
  void SetPosition(int position) override {
    Queue([position](TfmProgressor& form) { form.SetPosition(position); });
  }
  // Paints at once, running no user input; from another thread the main thread's own loop
  // paints the queued changes.
  void ProcessPaintMessages() override {
    Queue([](TfmProgressor& form) {
      if (form.isVisible()) form.repaint();
    });
  }

 private:
  void Queue(std::function<void(TfmProgressor&)> change) {
    QPointer<TfmProgressor> form = Form;
    auto apply = [form, change = std::move(change)] {
      if (form) change(*form);
    };
    if (Owner.IsMainThread())
      apply();
    else
      Owner.PostToMainThread(apply);
  }

  TQtDesktop& Owner;
  QPointer<TfmProgressor> Form;
  std::atomic<bool> Visible{false};
};

}  // namespace

TQtDesktop::TQtDesktop() : X11(OpenX11Windows()) {}

TQtDesktop::~TQtDesktop() = default;

void TQtDesktop::BeginShutdown() {
  ShuttingDown = true;
  for (QMessageBox* box : std::set<QMessageBox*>(OpenBoxes)) box->done(QMessageBox::Ok);
}

QMessageBox* TQtDesktop::NewBox(const std::string& text, const std::string& caption,
                                unsigned flags) {
  // A box belongs to the program's own window when one is active (the port form, after its
  // button): it is modal to that window alone, so the tray icon and its menu stay live.
  QWidget* ownWindow = QApplication::activeWindow();
  if (ownWindow != nullptr && ownWindow->windowType() == Qt::Popup) ownWindow = nullptr;  // a menu
  const TWindowHandle owner = ForegroundWindow();
  if (ownWindow == nullptr && owner != 0) {
    QWidget* found = QWidget::find(static_cast<WId>(owner));
    if (found != nullptr) ownWindow = found->window();
  }
  auto* box = new QMessageBox(IconOf(flags), QString::fromStdString(caption),
                              QString::fromStdString(text), QMessageBox::Ok, ownWindow);
  // Only the close button in the title bar, as a message box has: the window manager's
  // other buttons would crowd out the short caption.
  box->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                      Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
  box->setWindowModality(Qt::WindowModal);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Otherwise owned by the window in the foreground (the browser, as a rule): the window
  // manager keeps the box above it and with it.
  if (ownWindow == nullptr && owner != 0) {
    box->winId();  // the box's own native window, to hang it on the owner
    if (QWindow* foreign = QWindow::fromWinId(static_cast<WId>(owner))) {
      box->windowHandle()->setTransientParent(foreign);
      QObject::connect(box, &QObject::destroyed, foreign, &QObject::deleteLater);
    }
  }
  return box;
}

int TQtDesktop::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  if (ShuttingDown) {
    LogLine("message [" + caption + "] " + text);
    return MessageBoxResultOk;
  }
  if (IsMainThread()) {
    // The caller waits for the box in an event loop of its own; the box is modal to its
    // window only (not to the whole program), and a stop request ends this loop too.
    QMessageBox* box = NewBox(text, caption, flags);
    box->setAttribute(Qt::WA_DeleteOnClose, false);
    OpenBoxes.insert(box);
    QEventLoop waiting;
    QObject::connect(box, &QMessageBox::finished, &waiting, &QEventLoop::quit);
    box->show();
    waiting.exec();
    OpenBoxes.erase(box);
    delete box;
    return MessageBoxResultOk;
  }
  auto answered = std::make_shared<std::promise<int>>();
  std::future<int> answer = answered->get_future();
  PostToMainThread([this, text, caption, flags, answered] {
    if (ShuttingDown) {
      answered->set_value(MessageBoxResultOk);
      return;
    }
    QMessageBox* box = NewBox(text, caption, flags);
    OpenBoxes.insert(box);
    QObject::connect(box, &QMessageBox::finished, box, [this, box, answered](int) {
      OpenBoxes.erase(box);
      answered->set_value(MessageBoxResultOk);
    });
    box->show();
  });
  try {
    return answer.get();
  } catch (const std::future_error&) {
    return MessageBoxResultOk;  // the event loop ended before the box could be shown
  }
}

bool TQtDesktop::LoadAnimatedCursor(const std::string& path) {
  std::optional<TAniCursor> cursor = LoadAniCursorFile(path);
  if (!cursor) return false;
  TLockGuard guard(CursorLock);
  Animated = std::move(cursor);
  return true;
}

void TQtDesktop::SetScreenCursor(TScreenCursor cursor) {
  PostToMainThread([this, cursor] { ApplyCursor(cursor); });
}

void TQtDesktop::ApplyCursor(TScreenCursor cursor) {
  if (FrameTimer != nullptr) FrameTimer->stop();
  if (cursor == TScreenCursor::Default) {
    if (OverrideActive) QGuiApplication::restoreOverrideCursor();
    OverrideActive = false;
    return;
  }
  if (cursor == TScreenCursor::Animated) {
    FrameStep = 0;
    ShowAnimatedFrame(0);
    return;
  }
  if (OverrideActive)
    QGuiApplication::changeOverrideCursor(QCursor(Qt::WaitCursor));
  else
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  OverrideActive = true;
}

void TQtDesktop::ShowAnimatedFrame(size_t step) {
  TAniFrame frame;
  int duration = 0;
  size_t steps = 0;
  {
    TLockGuard guard(CursorLock);
    if (!Animated) return;
    steps = Animated->Steps.size();
    const TAniStep& current = Animated->Steps[step % steps];
    frame = Animated->Frames[static_cast<size_t>(current.Frame)];
    duration = current.DurationMs;
  }
  QPixmap pixmap;
  QCursor shown = pixmap.loadFromData(reinterpret_cast<const uchar*>(frame.ImageFile.data()),
                                      static_cast<uint>(frame.ImageFile.size()), "ICO")
                      ? QCursor(pixmap, frame.HotspotX, frame.HotspotY)
                      : QCursor(Qt::WaitCursor);
  if (OverrideActive)
    QGuiApplication::changeOverrideCursor(shown);
  else
    QGuiApplication::setOverrideCursor(shown);
  OverrideActive = true;
  if (steps < 2) return;
  if (FrameTimer == nullptr) {
    FrameTimer = new QTimer(this);
    FrameTimer->setSingleShot(true);
    QObject::connect(FrameTimer, &QTimer::timeout, this, [this] { ShowAnimatedFrame(++FrameStep); });
  }
  FrameTimer->start(duration);
}

std::unique_ptr<IProgressView> TQtDesktop::CreateProgressView() {
  return std::make_unique<TQtProgressView>(*this);
}

TWindowHandle TQtDesktop::ForegroundWindow() { return X11 ? X11->ActiveWindow() : 0; }

TWindowHandle TQtDesktop::ActiveWindowOfCallingThread() {
  // Only the main thread owns windows in this program.
  if (!IsMainThread()) return 0;
  QWidget* active = QApplication::activeWindow();
  return active != nullptr ? static_cast<TWindowHandle>(active->winId()) : 0;
}

bool TQtDesktop::IsWindow(TWindowHandle window) { return X11 && X11->IsWindow(window); }

void TQtDesktop::EnableWindow(TWindowHandle window, bool enable) {
  if (X11) X11->SetInputEnabled(window, enable);
}

void TQtDesktop::RaiseToTop(TWindowHandle window) {
  if (X11) X11->RaiseToTop(window);
}

void TQtDesktop::SetForegroundWindow(TWindowHandle window) {
  if (X11) X11->SetForeground(window);
}

void TQtDesktop::SetActiveWindow(TWindowHandle window) {
  if (X11) X11->SetActive(window);
}

void TQtDesktop::PostToMainThread(std::function<void()> work) {
  // Queued to the application object: run by its event loop, destroyed unrun with it.
  QMetaObject::invokeMethod(qApp, [work = std::move(work)] { work(); }, Qt::QueuedConnection);
}

void TQtDesktop::RunOnMainThread(const std::function<void()>& work) {
  if (IsMainThread()) {
    work();
    return;
  }
  // After the event loop has ended nothing would run it, and the main thread may be waiting
  // for this very thread to finish its request.
  if (ShuttingDown) return;
  PostAndWait(*this, work);  // dropped unrun when the application ended first
}

bool TQtDesktop::IsMainThread() {
  return qApp != nullptr && QThread::currentThread() == qApp->thread();
}

}  // namespace trs
