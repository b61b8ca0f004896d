// Windows: Winsock has no readiness set that several threads can wait on, so one thread of
// the poller's own runs WSAPoll over the armed sockets and hands each ready socket's token
// to one waiting thread through a queue. A socket reports once and is disarmed until
// Rearm, as with one-shot epoll. The poll thread is woken (to pick up new arms, a timer or
// the quit) by a byte on a loopback socket pair, which it drains.
#include "platform/Win32_win.h"  // first: the lean windows.h that Winsock builds on

#include <winsock2.h>

#include <chrono>
#include <deque>
#include <thread>
#include <unordered_map>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Mutex.h"
#include "platform/Poller.h"

namespace trs {

namespace {

using TClock = std::chrono::steady_clock;

SOCKET Raw(TSocket::TNative native) { return static_cast<SOCKET>(native); }

// A connected loopback pair: a byte sent on one end makes the other readable, which is how
// the poll thread, waiting in WSAPoll (sockets only), is woken. It drains what arrived.
class TWakePair {
 public:
  TWakePair() {
    TSocket listener = ListenTcp("127.0.0.1", 0, false);
    Writer = ConnectTcp("127.0.0.1", listener.LocalPort());
    for (int attempt = 0; attempt < 1000 && !Reader.Valid() && Writer.Valid(); ++attempt) {
      Reader = listener.Accept();
      if (!Reader.Valid()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!Reader.Valid() || !Writer.Valid()) throw Exception("The poller's wake channel cannot be made");
  }

  TSocket::TNative ReadHandle() const { return Reader.Handle(); }
  // A full buffer already holds a wake, so a byte that does not fit loses nothing.
  void Wake() { Writer.SendSome(std::string_view("w", 1)); }
  void Drain() {
    char bytes[256];
    while (Reader.Receive(bytes, sizeof bytes, false).Kind == TSocketReceive::Data) {
    }
  }

 private:
  TSocket Reader;
  TSocket Writer;
};

struct TWatch {
  uint64_t Token = 0;
  SHORT Events = 0;
  bool Armed = false;
};

}  // namespace

struct TPoller::TState {
  TMutex Lock;
  TConditionVariable EventsQueued;
  std::unordered_map<SOCKET, TWatch> Watched TRS_GUARDED_BY(Lock);
  std::deque<uint64_t> Events TRS_GUARDED_BY(Lock);
  bool TimerArmed TRS_GUARDED_BY(Lock) = false;
  TClock::time_point TimerDue TRS_GUARDED_BY(Lock);
  bool Quitting TRS_GUARDED_BY(Lock) = false;

  // Made before the thread starts and closed after it ends.
  TWakePair Wake;
  std::thread PollThread;

  TState() { PollThread = std::thread([this] { Poll(); }); }
  ~TState() {
    {
      TLockGuard lock(Lock);
      Quitting = true;
    }
    WakePollThread();
    PollThread.join();
  }

  void WakePollThread() { Wake.Wake(); }

  // The wait the poll thread repeats: the armed sockets and the wake pair, until the timer
  // is due; ready sockets are disarmed and their tokens queued for the waiting threads.
  void Poll() {
    std::vector<WSAPOLLFD> entries;
    for (;;) {
      int timeout = -1;
      entries.clear();
      {
        TLockGuard lock(Lock);
        if (Quitting) return;
        for (const auto& [socket, watch] : Watched)
          if (watch.Armed) entries.push_back({socket, watch.Events, 0});
        if (TimerArmed) {
          const auto left = std::chrono::ceil<std::chrono::milliseconds>(TimerDue - TClock::now()).count();
          timeout = left > 0 ? static_cast<int>(left) : 0;
        }
      }
      entries.push_back({Raw(Wake.ReadHandle()), POLLRDNORM, 0});
      const int count = ::WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), timeout);
      if (count == SOCKET_ERROR) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // e.g. a socket closed under it
        continue;
      }
      if (entries.back().revents != 0) Wake.Drain();
      bool queued = false;
      {
        TLockGuard lock(Lock);
        for (size_t i = 0; i + 1 < entries.size(); ++i) {
          if (entries[i].revents == 0) continue;
          const auto found = Watched.find(entries[i].fd);
          if (found == Watched.end() || !found->second.Armed) continue;
          found->second.Armed = false;
          Events.push_back(found->second.Token);
          queued = true;
        }
        if (TimerArmed && TClock::now() >= TimerDue) {
          TimerArmed = false;
          Events.push_back(TimerToken);
          queued = true;
        }
      }
      if (queued) EventsQueued.NotifyAll();
    }
  }

  bool Arm(const TSocket& socket, uint64_t token, TInterest interest) {
    {
      TLockGuard lock(Lock);
      Watched[Raw(socket.Handle())] = TWatch{token, static_cast<SHORT>(interest == Readable ? POLLRDNORM : POLLWRNORM),
                                             true};
    }
    WakePollThread();
    return true;
  }
};

TPoller::TPoller() : State(std::make_unique<TState>()) {}

TPoller::~TPoller() = default;

bool TPoller::Watch(const TSocket& socket, uint64_t token, TInterest interest) {
  return State->Arm(socket, token, interest);
}

bool TPoller::Rearm(const TSocket& socket, uint64_t token, TInterest interest) {
  return State->Arm(socket, token, interest);
}

void TPoller::Forget(const TSocket& socket) {
  {
    TLockGuard lock(State->Lock);
    State->Watched.erase(Raw(socket.Handle()));
  }
  State->WakePollThread();
}

void TPoller::ArmTimer(int milliseconds) {
  if (milliseconds < 1) milliseconds = 1;
  {
    TLockGuard lock(State->Lock);
    State->TimerArmed = true;
    State->TimerDue = TClock::now() + std::chrono::milliseconds(milliseconds);
  }
  State->WakePollThread();
}

void TPoller::Quit() {
  {
    TLockGuard lock(State->Lock);
    State->Quitting = true;
  }
  State->EventsQueued.NotifyAll();
  State->WakePollThread();
}

TPoller::TEvent TPoller::Wait() {
  TUniqueLock lock(State->Lock);
  State->EventsQueued.Wait(State->Lock, [this]() TRS_REQUIRES(State->Lock) {
    return State->Quitting || !State->Events.empty();
  });
  if (State->Quitting) return TEvent{QuitToken};
  const uint64_t token = State->Events.front();
  State->Events.pop_front();
  return TEvent{token};
}

}  // namespace trs
