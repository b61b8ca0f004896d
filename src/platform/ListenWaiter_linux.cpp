// Linux: every waiter is an epoll set of its own holding the listeners with EPOLLEXCLUSIVE
// (one waiter woken per connection) and the wake signal, an eventfd, without it (all woken).
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/Exceptions.h"
#include "platform/ListenWaiter.h"

namespace trs {
namespace {

constexpr uint32_t WakeTag = UINT32_MAX;

int Fd(TSocket::TNative native) { return static_cast<int>(native); }

[[noreturn]] void ThrowSystemError(int error) {
  throw Exception(Format("Socket Error # %d\n%s", error, std::strerror(error)));
}

void Watch(int epoll, int fd, uint32_t events, uint32_t tag) {
  epoll_event event{};
  event.events = events;
  event.data.u32 = tag;
  if (::epoll_ctl(epoll, EPOLL_CTL_ADD, fd, &event) != 0) ThrowSystemError(errno);
}

}  // namespace

TWakeSignal::TWakeSignal() {
  const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) ThrowSystemError(errno);
  Native = fd;
}

TWakeSignal::~TWakeSignal() { ::close(Fd(Native)); }

void TWakeSignal::Wake() {
  // The counter is never read back, so the eventfd stays readable: the wake is sticky.
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(Fd(Native), &one, sizeof one);
}

TListenWaiter::TListenWaiter(const std::vector<TSocket*>& listeners, const TWakeSignal& wake) {
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  if (epoll < 0) ThrowSystemError(errno);
  Native = epoll;
  for (size_t i = 0; i < listeners.size(); ++i)
    Watch(epoll, Fd(listeners[i]->Handle()), EPOLLIN | EPOLLEXCLUSIVE, static_cast<uint32_t>(i));
  Watch(epoll, Fd(wake.Handle()), EPOLLIN, WakeTag);
}

TListenWaiter::~TListenWaiter() { ::close(Fd(Native)); }

int TListenWaiter::Wait() {
  epoll_event events[8];
  for (;;) {
    const int count = ::epoll_wait(Fd(Native), events, 8, -1);
    if (count < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError(errno);
    }
    int listener = -1;
    for (int i = 0; i < count; ++i) {
      if (events[i].data.u32 == WakeTag) return -1;
      listener = static_cast<int>(events[i].data.u32);
    }
    if (listener >= 0) return listener;
  }
}

}  // namespace trs
