// Readiness of many sockets, waited for by a pool of threads at once.
//
// The OS part lives in Poller_<os>.cpp; this header names no OS type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Socket.h"

namespace trs {

// One wait shared by every thread of a server. A watched socket reports one event and is
// then set aside until Rearm, so two threads never get the same socket at once: whoever
// takes an event owns that socket until it rearms it.
//
// Besides the sockets, the poller has a timer (reported once per ArmTimer, as TimerToken)
// and a sticky quit signal (once Quit() is called, every Wait returns QuitToken, now and
// later). Tokens are the caller's; the two reserved ones are never handed to a socket.
class TPoller {
 public:
  static constexpr uint64_t TimerToken = UINT64_MAX;
  static constexpr uint64_t QuitToken = UINT64_MAX - 1;

  enum TInterest { Readable, Writable };
  struct TEvent {
    uint64_t Token = 0;
  };

  TPoller();  // throws trs::Exception when the OS refuses
  ~TPoller();
  TPoller(const TPoller&) = delete;
  TPoller& operator=(const TPoller&) = delete;

  // Starts watching a socket; false when the OS refuses (e.g. out of memory).
  bool Watch(const TSocket& socket, uint64_t token, TInterest interest);
  // Watches a socket again after its event was reported; a socket forgotten meanwhile stays
  // forgotten (and false is returned).
  bool Rearm(const TSocket& socket, uint64_t token, TInterest interest);
  // Stops watching; call before closing the socket.
  void Forget(const TSocket& socket);

  // Reports the timer once, `milliseconds` from now (replacing an earlier arming).
  void ArmTimer(int milliseconds);
  void Quit();

  // Waits for the next event; a readable socket includes one whose peer closed or failed.
  TEvent Wait();

 private:
  // The OS's objects behind the poller, defined by each platform's source.
  struct TState;
  std::unique_ptr<TState> State;
};

}  // namespace trs
