// The process-wide desktop backend slot.
#include "desktop/DesktopBackend.h"

#include <atomic>

#include "desktop/HeadlessDesktop.h"

namespace trs {

namespace {

IDesktopBackend& BuiltInHeadless() {
  static THeadlessDesktop headless;
  return headless;
}

std::atomic<IDesktopBackend*> Installed{nullptr};

}  // namespace

IDesktopBackend& Desktop() {
  IDesktopBackend* backend = Installed.load(std::memory_order_acquire);
  return backend != nullptr ? *backend : BuiltInHeadless();
}

IDesktopBackend* SetDesktop(IDesktopBackend* backend) {
  return Installed.exchange(backend, std::memory_order_acq_rel);
}

}  // namespace trs
