// The HTTP server pages talk to: listens on its bindings and serves one request per
// connection on a bounded pool of connection threads.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>
#include <vector>

#include "endpoint/HttpMessage.h"
#include "endpoint/HttpRequestReader.h"
#include "endpoint/HttpResponseWriter.h"
#include "platform/ListenWaiter.h"
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
  void SetDefaultPort(int port);
  void SetReuseAddress(bool on);  // on by default
  void ClearBindings();
  void AddBinding(const std::string& address, int port);
  // How long one read (or write) may wait for the client before the connection is given up.
  void SetIdleTimeout(std::chrono::milliseconds timeout);
  void SetMaxBodySize(uint64_t bytes);

  // Listens on every binding; throws trs::Exception on failure, leaving the server stopped.
  // Does nothing when already active.
  void Start();
  // Stops listening; idempotent.
  void Stop();
  bool Active() const { return Running.load(); }
  // The ports really bound, in binding order (port 0 asks for a free one).
  std::vector<int> BoundPorts() const;

 private:
  struct TConnection;
  struct TListening;

  void WorkerLoop();
  void SpawnWorker();  // with StateMutex held
  void Serve(TConnection& connection);
  void EndConnection(TConnection& connection);

  const THttpHandler Handler;
  std::atomic<int> IdleTimeoutMs{static_cast<int>(DefaultIdleTimeout.count())};
  std::atomic<uint64_t> MaxBodySize{HttpDefaultMaxBodySize};
  std::atomic<bool> Running{false};

  // Configuration; held by Start, Stop and the setters.
  mutable std::mutex ControlMutex;
  int DefaultPort = 0;
  bool ReuseAddress = true;
  std::vector<std::pair<std::string, int>> Bindings;
  std::vector<int> Ports;
  uint64_t Generations = 0;

  // What the workers share.
  std::mutex StateMutex;
  std::condition_variable ListeningBegan;  // Current was set, or the workers are to quit
  std::condition_variable WaitersLeft;     // a listening generation lost its last waiter
  std::shared_ptr<TListening> Current;     // the listeners between Start and Stop, else null
  bool WorkersQuit = false;
  int InService = 0;
  int IdleWorkers = 0;  // workers waiting for a connection
  std::unordered_set<TConnection*> Connections;
  std::vector<std::thread> Workers;
};

}  // namespace trs
