// Linux: one epoll set, every socket in it one-shot; the timer a timerfd, the quit signal an
// eventfd that is never read (so it stays readable and wakes every waiter).
#include "platform/Poller.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Exceptions.h"

namespace trs {
namespace {

int Fd(TSocket::TNative native) { return static_cast<int>(native); }

[[noreturn]] void ThrowSystemError(int error) {
  throw Exception(Format("Socket Error # %d\n%s", error, std::strerror(error)));
}

uint32_t EventsOf(TPoller::TInterest interest) {
  return (interest == TPoller::Readable ? EPOLLIN | EPOLLRDHUP : EPOLLOUT) | EPOLLONESHOT;
}

bool Control(TSocket::TNative epoll, int operation, TSocket::TNative fd, uint32_t events, uint64_t token) {
  epoll_event event{};
  event.events = events;
  event.data.u64 = token;
  return ::epoll_ctl(Fd(epoll), operation, Fd(fd), &event) == 0;
}

}  // namespace

// The epoll set, the timer and the quit signal, closed when the poller goes.
struct TPoller::TState {
  TSocket::TNative Native = TSocket::InvalidNative;
  TSocket::TNative Timer = TSocket::InvalidNative;
  TSocket::TNative QuitSignal = TSocket::InvalidNative;

  ~TState() {
    for (TSocket::TNative fd : {QuitSignal, Timer, Native})
      if (fd != TSocket::InvalidNative) ::close(Fd(fd));
  }
};

TPoller::TPoller() : State(std::make_unique<TState>()) {
  const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
  if (epoll < 0) ThrowSystemError(errno);
  State->Native = epoll;
  const int timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
  const int quit = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  State->Timer = timer;
  State->QuitSignal = quit;
  if (timer < 0 || quit < 0) ThrowSystemError(errno);
  if (!Control(State->Native, EPOLL_CTL_ADD, State->Timer, EPOLLIN | EPOLLONESHOT, TimerToken) ||
      !Control(State->Native, EPOLL_CTL_ADD, State->QuitSignal, EPOLLIN, QuitToken))
    ThrowSystemError(errno);
}

TPoller::~TPoller() = default;

bool TPoller::Watch(const TSocket& socket, uint64_t token, TInterest interest) {
  return Control(State->Native, EPOLL_CTL_ADD, socket.Handle(), EventsOf(interest), token);
}

bool TPoller::Rearm(const TSocket& socket, uint64_t token, TInterest interest) {
  return Control(State->Native, EPOLL_CTL_MOD, socket.Handle(), EventsOf(interest), token);
}

void TPoller::Forget(const TSocket& socket) {
  epoll_event unused{};
  ::epoll_ctl(Fd(State->Native), EPOLL_CTL_DEL, Fd(socket.Handle()), &unused);
}

void TPoller::ArmTimer(int milliseconds) {
  if (milliseconds < 1) milliseconds = 1;
  itimerspec when{};
  when.it_value.tv_sec = milliseconds / 1000;
  when.it_value.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  ::timerfd_settime(Fd(State->Timer), 0, &when, nullptr);
  Control(State->Native, EPOLL_CTL_MOD, State->Timer, EPOLLIN | EPOLLONESHOT, TimerToken);
}

void TPoller::Quit() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = ::write(Fd(State->QuitSignal), &one, sizeof one);
}

TPoller::TEvent TPoller::Wait() {
  for (;;) {
    epoll_event event{};
    const int count = ::epoll_wait(Fd(State->Native), &event, 1, -1);
    if (count < 0) {
      if (errno == EINTR) continue;
      ThrowSystemError(errno);
    }
    if (count == 0) continue;
    if (event.data.u64 == TimerToken) {
      // Consumed, so that the next arming starts from an unexpired timer.
      uint64_t expirations = 0;
      [[maybe_unused]] const ssize_t got = ::read(Fd(State->Timer), &expirations, sizeof expirations);
    }
    return TEvent{event.data.u64};
  }
}

}  // namespace trs
