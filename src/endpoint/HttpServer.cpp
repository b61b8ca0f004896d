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
  const auto deadline = std::chrono::steady_clock::now() + DrainTime;
  char buffer[4096];
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

THttpServer::THttpServer(THttpHandler handler) : Handler(std::move(handler)) {}

THttpServer::~THttpServer() {
  Stop();
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(StateMutex);
    WorkersQuit = true;
    for (TConnection* connection : Connections) {
      connection->Aborted = true;
      connection->Socket.ShutdownBoth();
    }
    workers.swap(Workers);  // no worker starts another once listening has ended
  }
  LeaderWanted.notify_all();
  for (std::thread& worker : workers) worker.join();
}

void THttpServer::SetDefaultPort(int port) {
  std::lock_guard<std::mutex> lock(ControlMutex);
  DefaultPort = port;
}

void THttpServer::SetReuseAddress(bool on) {
  std::lock_guard<std::mutex> lock(ControlMutex);
  ReuseAddress = on;
}

void THttpServer::ClearBindings() {
  std::lock_guard<std::mutex> lock(ControlMutex);
  Bindings.clear();
}

void THttpServer::AddBinding(const std::string& address, int port) {
  std::lock_guard<std::mutex> lock(ControlMutex);
  Bindings.emplace_back(address, port);
}

void THttpServer::SetIdleTimeout(std::chrono::milliseconds timeout) {
  IdleTimeoutMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(1, timeout.count()));
}

void THttpServer::SetMaxBodySize(uint64_t bytes) { MaxBodySize = bytes; }

std::vector<int> THttpServer::BoundPorts() const {
  std::lock_guard<std::mutex> lock(ControlMutex);
  return Ports;
}

void THttpServer::Start() {
  std::lock_guard<std::mutex> lock(ControlMutex);
  if (Running) return;
  std::vector<std::pair<std::string, int>> bindings = Bindings;
  if (bindings.empty()) {
    bindings.emplace_back("127.0.0.1", DefaultPort);
    if (LoopbackIpv6Available()) bindings.emplace_back("::1", DefaultPort);
  }
  // Built locally first: a failure part-way closes what was opened and leaves us stopped.
  std::vector<TSocket> listeners;
  std::vector<int> ports;
  for (const auto& [address, port] : bindings) {
    listeners.push_back(ListenTcp(address, port, ReuseAddress));
    ports.push_back(listeners.back().LocalPort());
  }
  auto waiter = std::make_unique<TSocketWaiter>();
  std::vector<TSocket*> handles;
  for (TSocket& listener : listeners) handles.push_back(&listener);
  {
    std::lock_guard<std::mutex> state(StateMutex);
    Waiter = std::move(waiter);
    ListenerHandles = std::move(handles);
    Listening = true;
    PassLeadership();
    if (Workers.empty()) {  // not even one thread could be started
      Listening = false;
      Waiter.reset();
      ListenerHandles.clear();
      throw Exception("Could not start a connection thread.");
    }
  }
  Listeners = std::move(listeners);
  Ports = std::move(ports);
  Running = true;
}

void THttpServer::Stop() {
  std::lock_guard<std::mutex> lock(ControlMutex);
  if (!Running) return;
  {
    std::unique_lock<std::mutex> state(StateMutex);
    Listening = false;
    Waiter->Wake();
    LeaderLeft.wait(state, [this] { return !LeaderActive; });
    // Nobody uses the listeners now and nobody will until the next Start.
    ListenerHandles.clear();
    Waiter.reset();
    // Connections still waiting for their request would otherwise hold on until the idle
    // timeout; the ones being handled finish normally.
    for (TConnection* connection : Connections) {
      if (!connection->Reading) continue;
      connection->Aborted = true;
      connection->Socket.ShutdownRead();
    }
  }
  Listeners.clear();
  Ports.clear();
  Running = false;
}

void THttpServer::PassLeadership() {
  if (!Listening || LeaderActive || InService >= MaxConnections) return;
  if (IdleWorkers > 0) {
    LeaderWanted.notify_one();
  } else if (Workers.size() < static_cast<size_t>(MaxConnections)) {
    try {
      Workers.emplace_back(&THttpServer::WorkerLoop, this);
    } catch (const std::exception&) {
      // Out of threads: a worker that finishes its connection takes the role instead.
    }
  }
}

void THttpServer::WorkerLoop() {
  for (;;) {
    TSocketWaiter* waiter = nullptr;
    std::vector<TSocket*> listeners;
    {
      std::unique_lock<std::mutex> lock(StateMutex);
      ++IdleWorkers;
      LeaderWanted.wait(lock, [this] {
        return WorkersQuit || (Listening && !LeaderActive && InService < MaxConnections);
      });
      --IdleWorkers;
      if (WorkersQuit) return;
      LeaderActive = true;
      waiter = Waiter.get();
      listeners = ListenerHandles;
    }
    TSocket socket = Lead(*waiter, listeners);
    std::unique_ptr<TConnection> connection;
    {
      std::lock_guard<std::mutex> lock(StateMutex);
      LeaderActive = false;
      LeaderLeft.notify_all();
      if (socket.Valid()) {
        connection = std::make_unique<TConnection>();
        connection->Socket = std::move(socket);
        Connections.insert(connection.get());
        ++InService;
      }
      PassLeadership();
    }
    if (!connection) continue;
    try {
      Serve(*connection);
    } catch (...) {
      // Out of memory while reading, most likely; the connection is given up, the worker stays.
    }
    EndConnection(*connection);
  }
}

TSocket THttpServer::Lead(TSocketWaiter& waiter, const std::vector<TSocket*>& listeners) {
  std::vector<size_t> ready;
  for (;;) {
    try {
      if (!waiter.Wait(listeners, ready)) return TSocket();
    } catch (const std::exception&) {
      ready.clear();  // poll() itself failed; retried after the pause below
    }
    for (const size_t index : ready) {
      TSocket socket = listeners[index]->Accept();
      if (socket.Valid()) return socket;
    }
    // Readable yet nothing accepted: the client gave up in between, or the process is out
    // of descriptors. Pause rather than spin on a listener that stays readable.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void THttpServer::Serve(TConnection& connection) {
  TSocketStream stream(connection.Socket, connection.Aborted, IdleTimeoutMs.load());
  THttpRequest request;
  const uint64_t maxBodySize = MaxBodySize.load();
  THttpReadResult result = THttpRequestReader(stream, maxBodySize).Read(request);
  {
    std::lock_guard<std::mutex> lock(StateMutex);
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
    std::lock_guard<std::mutex> lock(StateMutex);
    Connections.erase(&connection);
    --InService;
    PassLeadership();  // nobody listens while the cap is reached
  }
  connection.Socket.Close();
}

}  // namespace trs
