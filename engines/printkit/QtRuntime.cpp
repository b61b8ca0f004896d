#include "QtRuntime.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QThread>

#include <cstdlib>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace printkit {

namespace {

// The kit's own offscreen application, for hosts without one. It lives on its own thread
// running the event loop (the engines are never unloaded: they are linked with -z nodelete,
// because this thread runs their code). At the end of the process it is stopped and joined
// by an exit handler registered once it runs: handlers run in reverse order, so this one
// comes before the destructors of what Qt set up while starting, which its loop still uses.
class TOwnApplication {
 public:
  void Start() {
    std::promise<void> ready;
    std::future<void> started = ready.get_future();
    Thread = std::thread([this, &ready] {
      static int argc = 3;
      static char name[] = "TallyReportSrv";
      static char option[] = "-platform";
      static char platform[] = "offscreen";
      static char* argv[] = {name, option, platform, nullptr};
      QGuiApplication application(argc, argv);
      Application = &application;
      ready.set_value();
      application.exec();
    });
    started.wait();
    static TOwnApplication* running = this;
    std::atexit([] { running->Stop(); });
  }

  void Stop() {
    if (!Thread.joinable()) return;
    QMetaObject::invokeMethod(Application, &QCoreApplication::quit, Qt::QueuedConnection);
    Thread.join();
  }

 private:
  std::thread Thread;
  QGuiApplication* Application = nullptr;
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
