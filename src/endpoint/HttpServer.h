// The HTTP server pages talk to: listens on its bindings and serves one request per
// connection on a bounded pool of connection threads.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "endpoint/HttpMessage.h"
#include "endpoint/HttpRequestReader.h"
#include "endpoint/HttpResponseWriter.h"
#include "platform/ListenWaiter.h"
#include "platform/Mutex.h"
#include "platform/Socket.h"

namespace trs {

// Connections are served by a pool of worker threads that all wait on the listeners at once;
// the OS wakes one of them per new connection, and that worker serves it itself: read one
// request, answer it (the handler, or 413, or nothing when the request cannot be read),
// close gracefully. No hand-off between threads lies on a request's path. The pool grows on
// demand (a worker that takes the last idle place starts another) up to MaxConnections
// threads and is reused across Stop/Start.
//
// Invariants: at most MaxConnections connections are in service at once (with every worker
// busy nobody waits on the listeners, and the rest wait in the backlog). Workers wait on
// the listeners only between Start and Stop. Every connection is registered while its
// socket is open, so Stop and the destructor can reach it. Start/Stop are meant for one
// controlling thread; the handler runs on worker threads, several at a time.
//
// Stop ends listening and cuts connections still waiting for their request; requests being
// handled finish and are answered, without Stop waiting for them. The destructor also
// shuts down the sockets of those and joins every thread.
class THttpServer {
 public:
  static constexpr int MaxConnections = 64;
  static constexpr std::chrono::milliseconds DefaultIdleTimeout{30000};

  explicit THttpServer(THttpHandler handler);
  ~THttpServer();
  THttpServer(const THttpServer&) = delete;
  THttpServer& operator=(const THttpServer&) = delete;

  // Used when Start() finds no binding: 127.0.0.1, and ::1 when available, on this port.
  void SetDefaultPort(int port) TRS_EXCLUDES(ControlMutex);
  void SetReuseAddress(bool on) TRS_EXCLUDES(ControlMutex);  // on by default
  void ClearBindings() TRS_EXCLUDES(ControlMutex);
  void AddBinding(const std::string& address, int port) TRS_EXCLUDES(ControlMutex);
  // How long one read (or write) may wait for the client before the connection is given up.
  void SetIdleTimeout(std::chrono::milliseconds timeout);
  void SetMaxBodySize(uint64_t bytes);

  // Listens on every binding; throws trs::Exception on failure, leaving the server stopped.
  // Does nothing when already active.
  void Start() TRS_EXCLUDES(ControlMutex, StateMutex);
  // Stops listening; idempotent.
  void Stop() TRS_EXCLUDES(ControlMutex, StateMutex);
  bool Active() const { return Running.load(); }
  // The ports really bound, in binding order (port 0 asks for a free one).
  std::vector<int> BoundPorts() const TRS_EXCLUDES(ControlMutex);

 private:
  struct TConnection;
  struct TListening;

  void WorkerLoop() TRS_EXCLUDES(StateMutex);
  void SpawnWorker() TRS_REQUIRES(StateMutex);
  void Serve(TConnection& connection) TRS_EXCLUDES(StateMutex);
  void EndConnection(TConnection& connection) TRS_EXCLUDES(StateMutex);

  const THttpHandler Handler;
  std::atomic<int> IdleTimeoutMs{static_cast<int>(DefaultIdleTimeout.count())};
  std::atomic<uint64_t> MaxBodySize{HttpDefaultMaxBodySize};
  std::atomic<bool> Running{false};

  // Configuration; held by Start, Stop and the setters.
  mutable TMutex ControlMutex;
  int DefaultPort TRS_GUARDED_BY(ControlMutex) = 0;
  bool ReuseAddress TRS_GUARDED_BY(ControlMutex) = true;
  std::vector<std::pair<std::string, int>> Bindings TRS_GUARDED_BY(ControlMutex);
  std::vector<int> Ports TRS_GUARDED_BY(ControlMutex);
  uint64_t Generations TRS_GUARDED_BY(ControlMutex) = 0;

  // What the workers share. Taken after ControlMutex when both are held.
  TMutex StateMutex;
  TConditionVariable ListeningBegan;  // Current was set, or the workers are to quit
  TConditionVariable WaitersLeft;     // a listening generation lost its last waiter
  // The listeners between Start and Stop, else null.
  std::shared_ptr<TListening> Current TRS_GUARDED_BY(StateMutex);
  bool WorkersQuit TRS_GUARDED_BY(StateMutex) = false;
  int InService TRS_GUARDED_BY(StateMutex) = 0;
  int IdleWorkers TRS_GUARDED_BY(StateMutex) = 0;  // workers waiting for a connection
  std::unordered_set<TConnection*> Connections TRS_GUARDED_BY(StateMutex);
  std::vector<std::thread> Workers TRS_GUARDED_BY(StateMutex);
};

}  // namespace trs
