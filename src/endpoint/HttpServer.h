// The HTTP server pages talk to: reads every connection without blocking on it, and hands
// only complete requests to the handler, one request per connection.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "endpoint/HttpMessage.h"
#include "endpoint/HttpRequestAssembler.h"
#include "endpoint/HttpResponseWriter.h"
#include "platform/Mutex.h"
#include "platform/Poller.h"
#include "platform/Socket.h"

namespace trs {

// A pool of threads shares one poller over every open connection. A thread takes one ready
// socket at a time, reads what has arrived into that connection's buffer without waiting,
// and goes back to waiting: a slow or silent client costs a buffer, never a thread. Only the
// thread that completes a request runs the handler and writes the answer (what does not fit
// the socket at once is written by the poller's threads as the client takes it).
//
// New connections: where the OS can wake threads waiting in accept (Linux), some threads of
// the pool wait in accept on each listener, and the OS hands each connection to exactly one
// of them, which reads it at once. That costs no poller wake-up and no re-arming of the
// listener per connection. Elsewhere the poller watches the listeners too, one-shot, and the
// thread that takes a listener's event accepts one connection and re-arms it.
//
// Invariants:
// - Some thread is always waiting on the poller, and (where threads wait in accept) on each
//   listener: a thread about to run a handler first makes sure each place it may have left
//   still has one (starting a thread, up to MaxHandlerThreads running handlers); when none
//   can be started the request waits in a queue until a handler finishes. So a handler that
//   blocks (an engine call, a dialog) never stalls reading, accepting or the deadlines.
// - A request arrives whole within its deadline: the head within the head timeout from the
//   connection, the body within the body timeout plus the time per 64 KiB it announces (or
//   has sent, when read until the close). Otherwise it is answered 408 (a connection that
//   sent nothing is just closed). The same rate bounds the writing of an answer.
// - At most MaxConnections connections are open (lowered to what the process's handle limit
//   allows); at the limit a new connection pushes out the oldest one still waiting for its
//   request.
// - All requests being read or handled together hold at most the request memory; one that
//   would go beyond it is answered 503 and closed, the others go on untouched.
// - A connection is touched by one thread at a time: the one that took its event (Busy).
//
// Stop ends listening and cuts connections still waiting for their request; StopListening
// ends listening only, after taking every connection already queued on the listeners, and
// serves all of them. Requests being handled finish and are answered either way, without
// Stop waiting for them. The destructor cuts every connection and joins every thread
// (waiting for the handlers that are running).
class THttpServer {
 public:
  static constexpr int DefaultMaxConnections = 4096;
  static constexpr int MaxHandlerThreads = 64;
  static constexpr std::chrono::milliseconds DefaultHeadTimeout{10000};
  static constexpr std::chrono::milliseconds DefaultBodyTimeout{10000};
  static constexpr std::chrono::milliseconds DefaultTimePer64KiB{1000};

  explicit THttpServer(THttpHandler handler);  // throws trs::Exception when no poller can be made
  ~THttpServer();
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  // Used when Start() finds no binding: 127.0.0.1, and ::1 when available, on this port.
  void SetDefaultPort(int port) TRS_EXCLUDES(ControlMutex);
  void SetReuseAddress(bool on) TRS_EXCLUDES(ControlMutex);  // on by default
  void ClearBindings() TRS_EXCLUDES(ControlMutex);
  void AddBinding(const std::string& address, int port) TRS_EXCLUDES(ControlMutex);
  // The deadlines described above; they apply to connections accepted afterwards.
  void SetDeadlines(std::chrono::milliseconds head, std::chrono::milliseconds body,
                    std::chrono::milliseconds per64KiB);
  // Takes effect at the next Start.
  void SetMaxConnections(int count);
  void SetMaxBodySize(uint64_t bytes);
  void SetMaxRequestMemory(uint64_t bytes);

  // Listens on every binding; throws trs::Exception on failure, leaving the server stopped.
  // Does nothing when already active.
  void Start() TRS_EXCLUDES(ControlMutex, Mutex);
  // Stops listening and cuts the connections still waiting for their request; idempotent.
  void Stop() TRS_EXCLUDES(ControlMutex, Mutex);
  // Stops listening; every connection already made (queued ones included) is served.
  void StopListening() TRS_EXCLUDES(ControlMutex, Mutex);
  bool Active() const { return Running.load(); }
  // The ports really bound, in binding order (port 0 asks for a free one).
  std::vector<int> BoundPorts() const TRS_EXCLUDES(ControlMutex);
  // The connection limit of the current (or last) Start.
  int MaxConnections() const { return ConnectionLimit.load(); }
  // Connections open now, and the request bytes they hold (for tests and diagnostics).
  int OpenConnections() const TRS_EXCLUDES(Mutex);
  uint64_t RequestMemoryInUse() const { return MemoryInUse.load(); }

 private:
  using TClock = std::chrono::steady_clock;
  struct TConnection;
  struct TListener;

  void ThreadLoop() TRS_EXCLUDES(Mutex);
  bool SpawnThread() TRS_REQUIRES(Mutex);
  // Where a thread should wait next, given where it waited before (a listener's token, or
  // one of these two): a listener, or none for the poller. Counts the thread as waiting there.
  static constexpr uint64_t NoPlace = 0;
  static constexpr uint64_t PollerPlace = UINT64_MAX;
  std::shared_ptr<TListener> ChooseWaitingPlace(uint64_t previous) TRS_REQUIRES(Mutex);
  // Places (the poller, listeners) that no thread waits on, less the threads starting.
  int PlacesWithoutWaiter() const TRS_REQUIRES(Mutex);
  void CloseListeners(bool takeQueued) TRS_EXCLUDES(Mutex);
  void TakeQueued(TListener& listener) TRS_EXCLUDES(Mutex);
  // Takes one connection from the listener; out of handles, drops the oldest incomplete
  // connection and tries once more.
  TSocket AcceptMakingRoom(TListener& listener, bool& outOfHandles) TRS_EXCLUDES(Mutex);
  // Reads what a connection just taken has already sent; the poller watches it for the rest.
  void ReadFirst(TConnection& connection) TRS_EXCLUDES(Mutex);
  // One listener event of the poller: accept, re-arm.
  void Accept(std::shared_ptr<TListener> listener) TRS_EXCLUDES(Mutex);
  // A thread waiting in accept on the listener, then reading what came.
  void WaitInAccept(std::shared_ptr<TListener> listener) TRS_EXCLUDES(Mutex);
  // Registers an accepted socket (and rearms the listener it came from, when given).
  TConnection* AddConnection(TSocket socket, const TListener* from = nullptr) TRS_EXCLUDES(Mutex);
  std::unique_ptr<TConnection> TakeOldestIncomplete() TRS_REQUIRES(Mutex);
  void Work(TConnection& connection) TRS_EXCLUDES(Mutex);
  void ReadSome(TConnection& connection) TRS_EXCLUDES(Mutex);
  bool Charge(TConnection& connection);
  void Release(TConnection& connection);
  void Complete(TConnection& connection, THttpReadResult outcome) TRS_EXCLUDES(Mutex);
  void RunHandler(TConnection& connection) TRS_EXCLUDES(Mutex);
  void Respond(TConnection& connection, const std::optional<THttpResponse>& response) TRS_EXCLUDES(Mutex);
  void WriteSome(TConnection& connection) TRS_EXCLUDES(Mutex);
  void DrainSome(TConnection& connection) TRS_EXCLUDES(Mutex);
  void Park(TConnection& connection, TPoller::TInterest interest) TRS_EXCLUDES(Mutex);
  void Close(TConnection& connection) TRS_EXCLUDES(Mutex);
  void Sweep() TRS_EXCLUDES(Mutex);
  void Expire(std::unique_ptr<TConnection> connection) TRS_EXCLUDES(Mutex);
  TClock::duration TimeFor(uint64_t bytes) const;
  int SweepIntervalMs() const;

  const THttpHandler Handler;
  // Threads wait in accept on the listeners, rather than the poller watching them.
  const bool AcceptInThreads;
  TPoller Poller;
  std::atomic<int> HeadTimeoutMs{static_cast<int>(DefaultHeadTimeout.count())};
  std::atomic<int> BodyTimeoutMs{static_cast<int>(DefaultBodyTimeout.count())};
  std::atomic<int> Per64KiBMs{static_cast<int>(DefaultTimePer64KiB.count())};
  std::atomic<int> WantedConnections{DefaultMaxConnections};
  std::atomic<int> ConnectionLimit{DefaultMaxConnections};
  std::atomic<uint64_t> MaxBodySize{HttpDefaultMaxBodySize};
  std::atomic<uint64_t> MaxRequestMemory{HttpDefaultRequestMemory};
  std::atomic<uint64_t> MemoryInUse{0};
  std::atomic<bool> Running{false};
  std::atomic<int> Polling{0};  // threads waiting on the poller

  // Configuration; held by Start, Stop and the setters.
  mutable TMutex ControlMutex;
  int DefaultPort TRS_GUARDED_BY(ControlMutex) = 0;
  bool ReuseAddress TRS_GUARDED_BY(ControlMutex) = true;
  std::vector<std::pair<std::string, int>> Bindings TRS_GUARDED_BY(ControlMutex);
  std::vector<int> Ports TRS_GUARDED_BY(ControlMutex);

  // What the threads share. Taken after ControlMutex when both are held. Poller tokens are
  // the keys of these maps, never reused, so a late event for a closed socket finds nothing.
  mutable TMutex Mutex;
  uint64_t NextToken TRS_GUARDED_BY(Mutex) = 1;
  std::map<uint64_t, std::shared_ptr<TListener>> Listeners TRS_GUARDED_BY(Mutex);
  // In token order, which is the order of arrival: the oldest connection comes first.
  std::map<uint64_t, std::unique_ptr<TConnection>> Connections TRS_GUARDED_BY(Mutex);
  std::deque<TConnection*> Waiting TRS_GUARDED_BY(Mutex);  // complete requests no thread could take yet
  std::vector<uint64_t> PausedListeners TRS_GUARDED_BY(Mutex);  // out of handles; retried by Sweep
  int HandlersRunning TRS_GUARDED_BY(Mutex) = 0;  // threads running a handler
  int ThreadsStarting TRS_GUARDED_BY(Mutex) = 0;  // started, not yet waiting anywhere
  // Wakes threads waiting in accept that paused for want of handles.
  TConditionVariable AcceptResumed;
  bool Quitting TRS_GUARDED_BY(Mutex) = false;
  std::vector<std::thread> Threads TRS_GUARDED_BY(Mutex);
};

}  // namespace trs
