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
#include "platform/Socket.h"

namespace trs {

// Connections are served by a pool of worker threads that take the listening role in turn:
// one worker at a time (the leader) waits on every binding; when it accepts a connection
// it hands the role on and serves that connection itself: read one request, answer it (the
// handler, or 413, or nothing when the request cannot be read), close gracefully. No
// hand-off between threads lies on a request's path. The pool grows on demand up to
// MaxConnections threads and is reused across Stop/Start.
//
// Invariants: at most MaxConnections connections are in service at once (nobody listens
// until one ends; the rest wait in the backlog). At most one thread listens, and only
// between Start and Stop. Every connection is registered while its socket is open, so Stop
// and the destructor can reach it. Start/Stop are meant for one controlling thread; the
// handler runs on worker threads, several at a time.
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

  void WorkerLoop();
  TSocket Lead(TSocketWaiter& waiter, const std::vector<TSocket*>& listeners);
  void PassLeadership();  // with StateMutex held
  void Serve(TConnection& connection);
  void EndConnection(TConnection& connection);

  const THttpHandler Handler;
  std::atomic<int> IdleTimeoutMs{static_cast<int>(DefaultIdleTimeout.count())};
  std::atomic<uint64_t> MaxBodySize{HttpDefaultMaxBodySize};
  std::atomic<bool> Running{false};

  // Configuration and the listening sockets; held by Start, Stop and the setters.
  mutable std::mutex ControlMutex;
  int DefaultPort = 0;
  bool ReuseAddress = true;
  std::vector<std::pair<std::string, int>> Bindings;
  std::vector<int> Ports;
  std::vector<TSocket> Listeners;

  // The listening role, the connections and the pool.
  std::mutex StateMutex;
  std::condition_variable LeaderWanted;  // the role may be free to take, or the workers are to quit
  std::condition_variable LeaderLeft;    // the leader gave the role up (Stop waits for it)
  bool Listening = false;     // between Start and Stop
  bool LeaderActive = false;  // a worker holds the role; Listeners and Waiter stay open meanwhile
  bool WorkersQuit = false;
  int InService = 0;
  int IdleWorkers = 0;        // workers waiting for the role
  std::vector<TSocket*> ListenerHandles;
  std::unique_ptr<TSocketWaiter> Waiter;
  std::unordered_set<TConnection*> Connections;
  std::vector<std::thread> Workers;
};

}  // namespace trs
