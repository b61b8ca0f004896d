// Windows: Winsock has no readiness set that several threads can wait on, so one thread of
// the poller's own runs WSAPoll over the armed sockets and posts each ready socket's token to
// an I/O completion port, where the server's threads wait: the system wakes exactly one of
// them per token (the one that waited last, whose stack is still warm). A socket reports once
// and is disarmed until Rearm, as with one-shot epoll. The poll thread is woken (to pick up
// new arms, a timer or the quit) by a byte on a loopback socket pair, which it drains.
#include "platform/Win32_win.h"  // first: the lean windows.h that Winsock builds on

#include <winsock2.h>

#include <atomic>
#include <chrono>
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

// The completion port the waiting threads take tokens from; the token is the completion key.
win32::THandle MakeCompletionPort() {
  win32::THandle port(::CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0));
  if (!port.Valid()) throw Exception("The poller's completion port cannot be made: " + win32::SystemErrorText(::GetLastError()));
  return port;
}

}  // namespace

struct TPoller::TState {
  TMutex Lock;
  std::unordered_map<SOCKET, TWatch> Watched TRS_GUARDED_BY(Lock);
  bool TimerArmed TRS_GUARDED_BY(Lock) = false;
  TClock::time_point TimerDue TRS_GUARDED_BY(Lock);
  std::atomic<bool> Quitting{false};

  // Made before the thread starts and closed after it ends.
  win32::THandle Port = MakeCompletionPort();
  TWakePair Wake;
  std::thread PollThread;

  TState() { PollThread = std::thread([this] { Poll(); }); }
  ~TState() {
    Quitting = true;
    WakePollThread();
    PollThread.join();
  }

  void Post(uint64_t token) { ::PostQueuedCompletionStatus(Port.Get(), 0, static_cast<ULONG_PTR>(token), nullptr); }

  void WakePollThread() { Wake.Wake(); }

  // The wait the poll thread repeats: the armed sockets and the wake pair, until the timer
  // is due; ready sockets are disarmed and their tokens queued for the waiting threads.
  void Poll() {
    std::vector<WSAPOLLFD> entries;
    for (;;) {
      int timeout = -1;
      entries.clear();
      if (Quitting) return;
      {
        TLockGuard lock(Lock);
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
      TLockGuard lock(Lock);
      for (size_t i = 0; i + 1 < entries.size(); ++i) {
        if (entries[i].revents == 0) continue;
        const auto found = Watched.find(entries[i].fd);
        if (found == Watched.end() || !found->second.Armed) continue;
        found->second.Armed = false;
        Post(found->second.Token);
      }
      if (TimerArmed && TClock::now() >= TimerDue) {
        TimerArmed = false;
        Post(TimerToken);
      }
    }
  }

  // Watching adds the socket; rearming only sets a watched one going again, so a socket
  // forgotten meanwhile (and perhaps closed) is never polled.
  bool Arm(const TSocket& socket, uint64_t token, TInterest interest, bool add) {
    {
      TLockGuard lock(Lock);
      const SOCKET raw = Raw(socket.Handle());
      if (!add && Watched.count(raw) == 0) return false;
      Watched[raw] = TWatch{token, static_cast<SHORT>(interest == Readable ? POLLRDNORM : POLLWRNORM), true};
    }
    WakePollThread();
    return true;
  }
};

TPoller::TPoller() : State(std::make_unique<TState>()) {}

TPoller::~TPoller() = default;

bool TPoller::Watch(const TSocket& socket, uint64_t token, TInterest interest) {
  return State->Arm(socket, token, interest, true);
}

bool TPoller::Rearm(const TSocket& socket, uint64_t token, TInterest interest) {
  return State->Arm(socket, token, interest, false);
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
  State->Quitting = true;
  State->Post(QuitToken);
  State->WakePollThread();
}

TPoller::TEvent TPoller::Wait() {
  if (State->Quitting) return TEvent{QuitToken};
  DWORD bytes = 0;
  ULONG_PTR key = 0;
  OVERLAPPED* overlapped = nullptr;
  if (!::GetQueuedCompletionStatus(State->Port.Get(), &bytes, &key, &overlapped, INFINITE) && overlapped == nullptr)
    throw Exception("The poller's wait failed: " + win32::SystemErrorText(::GetLastError()));
  if (State->Quitting) {
    // The quit is one posting for any number of waiters: each passes it on to the next.
    State->Post(QuitToken);
    return TEvent{QuitToken};
  }
  return TEvent{static_cast<uint64_t>(key)};
}

}  // namespace trs
