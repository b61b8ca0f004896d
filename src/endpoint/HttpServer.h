// The HTTP server pages talk to: listens on its bindings and serves one request per
// connection on a bounded pool of connection threads.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
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

// One listening thread polls every binding; each accepted connection is served by a worker
// thread: read one request, answer it (the handler, or 413, or nothing when the request
// cannot be read), close gracefully. Workers are reused; their number grows on demand up to
// MaxConnections.
//
// Invariants: at most MaxConnections connections are in service at once (the listener stops
// accepting until one ends; the rest wait in the backlog). Every connection is registered
// while its socket is open, so Stop and the destructor can reach it. Start/Stop are meant
// for one controlling thread; the handler runs on worker threads, several at a time.
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
  // How long one read may wait for the client before the connection is given up.
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

  void ListenLoop();
  void Dispatch(TSocket socket);
  void WorkerLoop();
  void Serve(TConnection& connection);
  void EndConnection(TConnection& connection);

  const THttpHandler Handler;
  std::atomic<int> IdleTimeoutMs{static_cast<int>(DefaultIdleTimeout.count())};
  std::atomic<uint64_t> MaxBodySize{HttpDefaultMaxBodySize};
  std::atomic<bool> Running{false};

  // Configuration and the listening side; held by Start, Stop and the setters.
  mutable std::mutex ControlMutex;
  int DefaultPort = 0;
  bool ReuseAddress = true;
  std::vector<std::pair<std::string, int>> Bindings;
  std::vector<int> Ports;
  std::vector<TSocket> Listeners;  // used only by the listening thread while it runs
  std::unique_ptr<TSocketWaiter> Waiter;
  std::thread ListenThread;

  // The connections and the worker pool.
  std::mutex StateMutex;
  std::condition_variable SlotFreed;   // InService fell, or the listener is to stop
  std::condition_variable WorkQueued;  // Queue grew, or the workers are to quit
  bool ListenStopping = false;
  bool WorkersQuit = false;
  int InService = 0;
  int IdleWorkers = 0;
  std::unordered_set<TConnection*> Connections;
  std::deque<std::shared_ptr<TConnection>> Queue;
  std::vector<std::thread> Workers;
};

}  // namespace trs
