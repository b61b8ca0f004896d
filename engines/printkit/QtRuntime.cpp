#include "QtRuntime.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QThread>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace printkit {

namespace {

// The kit's own offscreen application, for hosts without one. It lives on its own thread
// running the event loop (the engines are never unloaded: they are linked with -z nodelete,
// because this thread runs their code).
//
// That thread never ends. Qt on a thread other than the process's first cannot end cleanly:
// when that thread ends, Qt releases its thread data once more than it took it, and the
// plugin objects Qt deletes at exit still point at the freed data (the heap is corrupted at
// exit, now and then). So at the end of the process an exit handler stops the loop and waits
// until the application is destroyed on its thread; the thread then sleeps until the process
// is gone, and no Qt code runs beside the exit handlers that follow. The handler is
// registered once the application is running, so it comes before the destructors of what
// Qt set up while starting (handlers run in reverse order).
class TOwnApplication {
 public:
  void Start() {
    std::promise<void> ready;
    std::future<void> started = ready.get_future();
    std::thread([this, &ready] {
      static int argc = 3;
      static char name[] = "TallyReportSrv";
      static char option[] = "-platform";
      static char platform[] = "offscreen";
      static char* argv[] = {name, option, platform, nullptr};
      auto application = std::make_unique<QGuiApplication>(argc, argv);
      Application = application.get();
      LoopThread = std::this_thread::get_id();
      ready.set_value();
      application->exec();
      application.reset();
      Destroyed.set_value();
      for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    }).detach();
    started.wait();
    static TOwnApplication* running = this;
    std::atexit([] { running->Stop(); });
  }

 private:
  void Stop() {
    if (std::this_thread::get_id() == LoopThread) return;  // exit() called from the loop itself
    std::future<void> destroyed = Destroyed.get_future();
    QMetaObject::invokeMethod(Application, &QCoreApplication::quit, Qt::QueuedConnection);
    destroyed.wait();
  }

  QGuiApplication* Application = nullptr;
  std::thread::id LoopThread;
  std::promise<void> Destroyed;
};

TOwnApplication OwnApplication;

std::once_flag ApplicationChecked;

}  // namespace

void EnsureGuiApplication() {
  std::call_once(ApplicationChecked, [] {
    if (QCoreApplication::instance() == nullptr) OwnApplication.Start();
  });
}

bool CanShowWindows() {
  EnsureGuiApplication();
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr &&
         QGuiApplication::platformName() != QLatin1String("offscreen") &&
         QGuiApplication::platformName() != QLatin1String("minimal");
}

void RunOnGuiThread(const std::function<void()>& work) {
  EnsureGuiApplication();
  QCoreApplication* application = QCoreApplication::instance();
  if (QThread::currentThread() == application->thread()) {
    work();
    return;
  }
  QMetaObject::invokeMethod(application, work, Qt::BlockingQueuedConnection);
}

}  // namespace printkit
