// The connection workers, the listening role they share, and the graceful close.
#include "endpoint/HttpServer.h"

#include <algorithm>

#include "platform/Exceptions.h"

namespace trs {

namespace {

// After the response, the client gets this long to close its side while we drain what it
// still sends; closing with unread input would reset the connection and could destroy the
// response before the client reads it.
constexpr std::chrono::milliseconds DrainTime{1500};

// A connection's socket as the request reader sees it. A close seen after Stop() began is
// reported as a failure, so that a cut-off POST body never reaches the handler.
class TSocketStream : public IHttpStream {
 public:
  TSocketStream(TSocket& socket, const std::atomic<bool>& aborted, int timeoutMs)
      : Socket(socket), Aborted(aborted), TimeoutMs(timeoutMs) {}

  long Read(char* buffer, size_t size) override {
    // A browser's request has usually arrived by the time it is read; the timeout is set
    // (a system call) only once a read has to wait.
    TSocketReceive r = Socket.Receive(buffer, size, false);
    if (r.Kind == TSocketReceive::TimedOut) {
      if (!TimeoutSet) Socket.SetReceiveTimeout(TimeoutMs);
      TimeoutSet = true;
      r = Socket.Receive(buffer, size);
    }
    if (r.Kind == TSocketReceive::Data) return static_cast<long>(r.Count);
    if (r.Kind == TSocketReceive::Closed && !Aborted.load()) return 0;
    return -1;
  }
  bool WriteAll(std::string_view data) override {
    // A small answer fits the socket's send buffer and cannot block; only a larger one
    // needs the timeout against a client that stops reading.
    if (data.size() > SendBufferFloor) Socket.SetSendTimeout(TimeoutMs);
    return Socket.SendAll(data);
  }

 private:
  static constexpr size_t SendBufferFloor = 16384;
  TSocket& Socket;
  const std::atomic<bool>& Aborted;
  const int TimeoutMs;
  bool TimeoutSet = false;
};

void CloseGracefully(TSocket& socket) {
  socket.ShutdownWrite();
  char buffer[4096];
  // Only input still unread at the close makes the OS answer with a reset. A client that
  // sent nothing beyond its request (a browser) is closed at once; one that did is drained.
  if (socket.Receive(buffer, sizeof buffer, false).Kind != TSocketReceive::Data) return;
  const auto deadline = std::chrono::steady_clock::now() + DrainTime;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    socket.SetReceiveTimeout(static_cast<int>(left.count()));
    if (socket.Receive(buffer, sizeof buffer).Kind != TSocketReceive::Data) break;
  }
}

}  // namespace

struct THttpServer::TConnection {
  TSocket Socket;
  bool Reading = true;  // still waiting for its request; guarded by StateMutex
  std::atomic<bool> Aborted{false};
};

// The listeners of one Start..Stop period, with the signal that wakes their waiters at Stop.
struct THttpServer::TListening {
  std::vector<TSocket> Listeners;
  std::vector<TSocket*> Handles;
  TWakeSignal Wake;
  uint64_t Generation = 0;  // counts from 1, one per Start
  int Waiters = 0;  // workers between taking this generation and their accept; StateMutex
};

THttpServer::THttpServer(THttpHandler handler) : Handler(std::move(handler)) {}

THttpServer::~THttpServer() {
  Stop();
  std::vector<std::thread> workers;
  {
    TLockGuard lock(StateMutex);
    WorkersQuit = true;
    for (TConnection* connection : Connections) {
      connection->Aborted = true;
      connection->Socket.ShutdownBoth();
    }
    workers.swap(Workers);  // no worker starts another once listening has ended
  }
  ListeningBegan.NotifyAll();
  for (std::thread& worker : workers) worker.join();
}

void THttpServer::SetDefaultPort(int port) {
  TLockGuard lock(ControlMutex);
  DefaultPort = port;
}

void THttpServer::SetReuseAddress(bool on) {
  TLockGuard lock(ControlMutex);
  ReuseAddress = on;
}

void THttpServer::ClearBindings() {
  TLockGuard lock(ControlMutex);
  Bindings.clear();
}

void THttpServer::AddBinding(const std::string& address, int port) {
  TLockGuard lock(ControlMutex);
  Bindings.emplace_back(address, port);
}

void THttpServer::SetIdleTimeout(std::chrono::milliseconds timeout) {
  IdleTimeoutMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(1, timeout.count()));
}

void THttpServer::SetMaxBodySize(uint64_t bytes) { MaxBodySize = bytes; }

std::vector<int> THttpServer::BoundPorts() const {
  TLockGuard lock(ControlMutex);
  return Ports;
}

void THttpServer::Start() {
  TLockGuard lock(ControlMutex);
  if (Running) return;
  std::vector<std::pair<std::string, int>> bindings = Bindings;
  if (bindings.empty()) {
    bindings.emplace_back("127.0.0.1", DefaultPort);
    if (LoopbackIpv6Available()) bindings.emplace_back("::1", DefaultPort);
  }
  // Built apart first: a failure part-way closes what was opened and leaves us stopped.
  auto listening = std::make_shared<TListening>();
  listening->Generation = ++Generations;
  std::vector<int> ports;
  for (const auto& [address, port] : bindings) {
    listening->Listeners.push_back(ListenTcp(address, port, ReuseAddress));
    ports.push_back(listening->Listeners.back().LocalPort());
  }
  for (TSocket& listener : listening->Listeners) listening->Handles.push_back(&listener);
  {
    TLockGuard state(StateMutex);
    if (IdleWorkers == 0) SpawnWorker();
    if (Workers.empty()) throw Exception("Could not start a connection thread.");
    Current = listening;
  }
  ListeningBegan.NotifyAll();
  Ports = std::move(ports);
  Running = true;
}

void THttpServer::Stop() {
  TLockGuard lock(ControlMutex);
  if (!Running) return;
  {
    TLockGuard state(StateMutex);
    const std::shared_ptr<TListening> stopping = std::move(Current);
    stopping->Wake.Wake();
    WaitersLeft.Wait(StateMutex, [&] { return stopping->Waiters == 0; });
    // Nobody waits on the listeners now and nobody will again: close them, so the port is
    // free at once (a worker still holding this generation only keeps the wake signal).
    stopping->Handles.clear();
    stopping->Listeners.clear();
    // Connections still waiting for their request would otherwise hold on until the idle
    // timeout; the ones being handled finish normally.
    for (TConnection* connection : Connections) {
      if (!connection->Reading) continue;
      connection->Aborted = true;
      connection->Socket.ShutdownRead();
    }
  }
  Ports.clear();
  Running = false;
}

void THttpServer::SpawnWorker() {
  if (Workers.size() >= static_cast<size_t>(MaxConnections)) return;
  try {
    Workers.emplace_back(&THttpServer::WorkerLoop, this);
  } catch (const std::exception&) {
    // Out of threads: a worker that finishes its connection waits for the next one instead.
  }
}

void THttpServer::WorkerLoop() {
  std::unique_ptr<TListenWaiter> waiter;
  uint64_t waiterFor = 0;  // the generation the waiter was built for
  for (;;) {
    std::shared_ptr<TListening> listening;
    {
      TLockGuard lock(StateMutex);
      ++IdleWorkers;
      ListeningBegan.Wait(StateMutex,
                          [this]() TRS_REQUIRES(StateMutex) { return WorkersQuit || Current != nullptr; });
      if (WorkersQuit) {
        --IdleWorkers;
        return;
      }
      listening = Current;
      ++listening->Waiters;
    }
    TSocket socket;
    try {
      if (waiterFor != listening->Generation) {
        waiter.reset();
        waiter = std::make_unique<TListenWaiter>(listening->Handles, listening->Wake);
        waiterFor = listening->Generation;
      }
      const int ready = waiter->Wait();
      if (ready >= 0) socket = listening->Handles[static_cast<size_t>(ready)]->Accept();
    } catch (const std::exception&) {
      // The wait could not be set up or failed; pause rather than spin, then try again.
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::unique_ptr<TConnection> connection;
    {
      TLockGuard lock(StateMutex);
      --IdleWorkers;
      if (--listening->Waiters == 0) WaitersLeft.NotifyAll();
      if (socket.Valid()) {
        connection = std::make_unique<TConnection>();
        connection->Socket = std::move(socket);
        Connections.insert(connection.get());
        ++InService;
        // Someone must still be waiting for the next connection.
        if (IdleWorkers == 0 && Current != nullptr) SpawnWorker();
      }
    }
    listening.reset();
    // Woken by Stop (Current is gone, so the next round waits for a Start), or another
    // worker took the connection.
    if (!connection) continue;
    try {
      Serve(*connection);
    } catch (...) {
      // Out of memory while reading, most likely; the connection is given up, the worker stays.
    }
    EndConnection(*connection);
  }
}

void THttpServer::Serve(TConnection& connection) {
  TSocketStream stream(connection.Socket, connection.Aborted, IdleTimeoutMs.load());
  THttpRequest request;
  const uint64_t maxBodySize = MaxBodySize.load();
  THttpReadResult result = THttpRequestReader(stream, maxBodySize).Read(request);
  {
    TLockGuard lock(StateMutex);
    connection.Reading = false;
    if (connection.Aborted) result = THttpReadResult::Drop;
  }
  const std::optional<THttpResponse> response = AnswerHttpRequest(result, request, Handler, maxBodySize);
  if (!response) return;
  if (stream.WriteAll(FormatHttpResponse(*response))) CloseGracefully(connection.Socket);
}

void THttpServer::EndConnection(TConnection& connection) {
  {
    // Unregistered before the close, so Stop never shuts down a descriptor number that the
    // OS has meanwhile handed to someone else.
    TLockGuard lock(StateMutex);
    Connections.erase(&connection);
    --InService;
  }
  connection.Socket.Close();
}

}  // namespace trs
