// The process-wide desktop backend slot.
#include "desktop/DesktopBackend.h"

#include <atomic>
#include <future>

#include "desktop/HeadlessDesktop.h"

namespace trs {

namespace {

IDesktopBackend& BuiltInHeadless() {
  static THeadlessDesktop headless;
  return headless;
}

std::atomic<IDesktopBackend*> Installed{nullptr};

}  // namespace

bool PostAndWait(IDesktopBackend& backend, const std::function<void()>& work) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  backend.PostToMainThread([&work, done] {
    try {
      work();
      done->set_value();
    } catch (...) {
      done->set_exception(std::current_exception());
    }
  });
  try {
    finished.get();  // rethrows what `work` threw
    return true;
  } catch (const std::future_error& error) {
    if (error.code() != std::future_errc::broken_promise) throw;
    return false;
  }
}

IDesktopBackend& Desktop() {
  IDesktopBackend* backend = Installed.load(std::memory_order_acquire);
  return backend != nullptr ? *backend : BuiltInHeadless();
}

IDesktopBackend* SetDesktop(IDesktopBackend* backend) {
  return Installed.exchange(backend, std::memory_order_acq_rel);
}

}  // namespace trs
