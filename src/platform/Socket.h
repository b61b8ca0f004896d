// TCP sockets for the HTTP layer: a move-only socket handle, listening and connecting
// helpers, and a wait on several listeners that another thread can interrupt.
//
// The OS part lives in Socket_<os>.cpp; this header names no OS type so that the code
// above it builds unchanged on every platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trs {

// What a receive gave: bytes (Count > 0), the peer's orderly close, a timeout or a failure.
struct TSocketReceive {
  enum TKind { Data, Closed, TimedOut, Failed };
  TKind Kind = Failed;
  size_t Count = 0;
};

// What a send without waiting gave: Count bytes taken (possibly 0 when the send buffer is
// full), or the peer gone.
struct TSocketSend {
  bool Failed = false;
  size_t Count = 0;
};

// One OS socket, owned. Move-only; the destructor closes it. An empty TSocket (Valid()
// false) is what failed or not-yet-made sockets look like.
//
// Shutdown*() may be called from another thread while one thread blocks in Receive or
// SendAll on the same socket: that is how a server wakes connections it is stopping. Close
// must not race with anything, so the owner arranges that no other thread still holds it.
class TSocket {
 public:
  using TNative = std::intptr_t;
  static constexpr TNative InvalidNative = -1;

  TSocket() = default;
  explicit TSocket(TNative native) : Native(native) {}
  ~TSocket() { Close(); }
  TSocket(TSocket&& other) noexcept : Native(other.Release()) {}
  TSocket& operator=(TSocket&& other) noexcept {
    if (this != &other) {
      Close();
      Native = other.Release();
    }
    return *this;
  }
  TSocket(const TSocket&) = delete;
  TSocket& operator=(const TSocket&) = delete;

  bool Valid() const { return Native != InvalidNative; }
  TNative Handle() const { return Native; }
  TNative Release() {
    const TNative native = Native;
    Native = InvalidNative;
    return native;
  }
  void Close();

  // Receive bounded by the receive timeout (none until set); with wait false it takes only
  // what has already arrived and reports TimedOut when nothing has.
  TSocketReceive Receive(char* buffer, size_t size, bool wait = true);
  // Sends every byte (never raising SIGPIPE); false when the peer is gone or a send timed out.
  bool SendAll(std::string_view data);
  // Sends what the send buffer takes now, without waiting (never raising SIGPIPE).
  TSocketSend SendSome(std::string_view data);
  // Timeouts for each single receive / send; 0 waits for ever.
  void SetReceiveTimeout(int milliseconds);
  void SetSendTimeout(int milliseconds);
  // Sends our FIN; receives go on.
  void ShutdownWrite();
  // Ends receiving: a blocked or later Receive sees Closed.
  void ShutdownRead();
  void ShutdownBoth();

  // For a listening socket: takes one pending connection; an empty socket when none is
  // pending or it failed. `outOfHandles` tells the process's (or the system's) handle limit
  // apart from an empty queue. It waits for a connection only after SetAcceptWaits(true).
  TSocket Accept(bool* outOfHandles = nullptr);
  // For a listening socket: whether Accept waits for a connection (the OS then wakes one
  // waiting thread per connection) or returns at once when none is pending, as at first.
  // Threads already waiting go on waiting.
  void SetAcceptWaits(bool wait);
  // For a listening socket, where AcceptWaitsCanBeStopped(): refuses new connections and
  // wakes every thread waiting in Accept, which returns an empty socket from then on.
  // Connections still queued are reset, so take them first (Accept without waiting).
  void StopAccepting();
  // The local port the socket is bound to, 0 when unknown.
  int LocalPort() const;

 private:
  TNative Native = InvalidNative;
};

// Opens a listening TCP socket on a numeric IPv4/IPv6 address or a host name (the first
// address it resolves to); port 0 takes a free port. The socket does not block in Accept.
// Throws trs::Exception: "Could not bind socket. Address and port are already in use." when
// the port is taken, else "Socket Error # <errno>\n<system text>".
TSocket ListenTcp(const std::string& address, int port, bool reuseAddress);

// Connects to address:port (blocking); an empty socket when that fails. For tests and
// benchmarks, which play the browser.
TSocket ConnectTcp(const std::string& address, int port);

// True where StopAccepting wakes the threads waiting in Accept, so that a server may let its
// threads wait there. Where it is false, a server watches its listeners with a TPoller.
bool AcceptWaitsCanBeStopped();

// True when the IPv6 loopback address ::1 can be bound on this machine.
bool LoopbackIpv6Available();

// How many handles (sockets, files) this process may hold, after raising its own limit
// toward `wanted` as far as the system allows.
size_t RaiseHandleLimit(size_t wanted);

// Waits until one of several listening sockets has a connection, or until Wake() is called
// from any thread. The wake is sticky: once woken, every later Wait returns at once, so a
// wake sent before the wait began is never lost.
class TSocketWaiter {
 public:
  TSocketWaiter();  // throws trs::Exception when the wake channel cannot be made
  ~TSocketWaiter();
  TSocketWaiter(const TSocketWaiter&) = delete;
  TSocketWaiter& operator=(const TSocketWaiter&) = delete;

  // Fills `ready` with the indices of the readable sockets and returns true; returns false
  // once woken.
  bool Wait(const std::vector<TSocket*>& sockets, std::vector<size_t>& ready);
  void Wake();

 private:
  TSocket::TNative WakeRead = TSocket::InvalidNative;
  TSocket::TNative WakeWrite = TSocket::InvalidNative;
};

}  // namespace trs
