// The connection threads, the life of a connection (reading, handling, writing, lingering),
// deadlines, limits, and the graceful close.
#include "endpoint/HttpServer.h"

#include <algorithm>

#include "platform/Exceptions.h"

namespace trs {

namespace {

// After the response, the client gets this long to close its side while we drain what it
// still sends; closing with unread input would reset the connection and could destroy the
// response before the client reads it.
constexpr std::chrono::milliseconds DrainTime{1500};
// Reads or writes on one connection before its thread lets the others have a turn.
constexpr int TurnsPerEvent = 16;
constexpr size_t ReadSize = 65536;
// Threads running handlers, plus those between events and the one that always polls.
constexpr size_t MaxThreads = 2 * THttpServer::MaxHandlerThreads + 2;
// Handles kept free of connections: listeners, the poller, files the drivers open, and one
// for each thread waiting in accept (the OS takes the next connection's handle before the
// wait).
constexpr size_t ReservedHandles = 128 + MaxThreads;

}  // namespace

struct THttpServer::TConnection {
  enum TPhase { Reading, Handling, Writing, Lingering };

  uint64_t Token = 0;
  TSocket Socket;
  // Guarded by Mutex:
  bool Busy = true;  // a thread owns it; otherwise it waits in the poller
  TClock::time_point Deadline;
  // Set by Stop or the destructor; the owner gives the connection up at its next step.
  std::atomic<bool> Cut{false};
  // Changed under Mutex by the thread that has it Busy (Stop looks at busy ones too):
  TPhase Phase = Reading;
  // Owned by the thread that has it Busy:
  bool Watched = false;  // known to the poller
  THttpRequestAssembler Assembler;
  // What may still wait unread in the socket when the answer is out: nothing (the last read
  // took less than it asked for, or the client closed its side), maybe something (it filled
  // its buffer), or surely more (the request was answered before it was whole).
  enum TInput { Drained, Unknown, Pending } Input = Unknown;
  TClock::time_point BodyStart;
  uint64_t Charged = 0;  // bytes counted in MemoryInUse
  std::string Output;
  size_t Sent = 0;
};

struct THttpServer::TListener {
  uint64_t Token = 0;
  TSocket Socket;
  // Threads waiting in accept on it (or about to), each counted by ChooseWaitingPlace.
  std::atomic<int> Accepting{0};
  // Set under Mutex when it leaves Listeners.
  std::atomic<bool> Closed{false};
};

THttpServer::THttpServer(THttpHandler handler)
    : Handler(std::move(handler)), AcceptInThreads(AcceptWaitsCanBeStopped()) {}

THttpServer::~THttpServer() {
  Stop();
  std::vector<std::thread> threads;
  {
    TLockGuard lock(Mutex);
    Quitting = true;
    for (auto it = Connections.begin(); it != Connections.end();) {
      TConnection& connection = *it->second;
      connection.Cut = true;
      connection.Socket.ShutdownBoth();  // wakes the owner of a busy one
      it = connection.Busy ? std::next(it) : Connections.erase(it);
    }
    // Requests queued for a handler are not run any more.
    for (TConnection* connection : Waiting) Connections.erase(connection->Token);
    Waiting.clear();
    threads.swap(Threads);  // no thread starts another once Quitting is set
  }
  Poller.Quit();
  for (std::thread& thread : threads) thread.join();
  TLockGuard lock(Mutex);
  Connections.clear();
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

void THttpServer::SetDeadlines(std::chrono::milliseconds head, std::chrono::milliseconds body,
                               std::chrono::milliseconds per64KiB) {
  HeadTimeoutMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(1, head.count()));
  BodyTimeoutMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(1, body.count()));
  Per64KiBMs = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, per64KiB.count()));
}

void THttpServer::SetMaxConnections(int count) { WantedConnections = std::max(1, count); }
void THttpServer::SetMaxBodySize(uint64_t bytes) { MaxBodySize = bytes; }
void THttpServer::SetMaxRequestMemory(uint64_t bytes) { MaxRequestMemory = bytes; }

std::vector<int> THttpServer::BoundPorts() const {
  TLockGuard lock(ControlMutex);
  return Ports;
}

int THttpServer::OpenConnections() const {
  TLockGuard lock(Mutex);
  return static_cast<int>(Connections.size());
}

int THttpServer::SweepIntervalMs() const {
  // A tenth of the shortest deadline, so that deadlines are kept to within 10 %.
  return std::clamp(std::min(HeadTimeoutMs.load(), BodyTimeoutMs.load()) / 10, 5, 200);
}

THttpServer::TClock::duration THttpServer::TimeFor(uint64_t bytes) const {
  const uint64_t blocks = (bytes + 65535) / 65536;
  return std::chrono::milliseconds(BodyTimeoutMs.load()) +
         std::chrono::milliseconds(static_cast<int64_t>(blocks) * Per64KiBMs.load());
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
  std::vector<std::shared_ptr<TListener>> listeners;
  std::vector<int> ports;
  for (const auto& [address, port] : bindings) {
    auto listener = std::make_shared<TListener>();
    listener->Socket = ListenTcp(address, port, ReuseAddress);
    if (AcceptInThreads) listener->Socket.SetAcceptWaits(true);
    ports.push_back(listener->Socket.LocalPort());
    listeners.push_back(std::move(listener));
  }
  const auto wanted = static_cast<size_t>(WantedConnections.load());
  const size_t handles = RaiseHandleLimit(wanted + ReservedHandles);
  ConnectionLimit = static_cast<int>(std::clamp<size_t>(handles > ReservedHandles ? handles - ReservedHandles : 1, 1, wanted));
  {
    TLockGuard state(Mutex);
    // Where threads wait in accept, one for each new listener (those of an earlier Start
    // wait on the poller by now) and one for the poller; otherwise two on the poller.
    const size_t threads = AcceptInThreads ? Threads.size() + listeners.size() + (Threads.empty() ? 1 : 0)
                                           : std::max<size_t>(Threads.size(), 2);
    while (Threads.size() < threads && SpawnThread()) {
    }
    if (Threads.empty()) throw Exception("Could not start a connection thread.");
    for (std::shared_ptr<TListener>& listener : listeners) {
      listener->Token = NextToken++;
      if (!AcceptInThreads && !Poller.Watch(listener->Socket, listener->Token, TPoller::Readable))
        throw Exception("Could not watch the listening socket.");
      Listeners.emplace(listener->Token, std::move(listener));
    }
  }
  Poller.ArmTimer(SweepIntervalMs());
  Ports = std::move(ports);
  Running = true;
}

void THttpServer::Stop() {
  TLockGuard lock(ControlMutex);
  if (!Running) return;
  CloseListeners(false);
  std::vector<std::unique_ptr<TConnection>> cut;
  {
    TLockGuard state(Mutex);
    for (auto it = Connections.begin(); it != Connections.end();) {
      TConnection& connection = *it->second;
      if (connection.Busy) {
        if (connection.Phase == TConnection::Reading) {
          connection.Cut = true;
          connection.Socket.ShutdownRead();
        }
        ++it;
      } else if (connection.Phase == TConnection::Reading) {
        cut.push_back(std::move(it->second));
        it = Connections.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (std::unique_ptr<TConnection>& connection : cut) Release(*connection);
  Ports.clear();
  Running = false;
}

void THttpServer::StopListening() {
  TLockGuard lock(ControlMutex);
  if (!Running) return;
  CloseListeners(true);
  Ports.clear();
  Running = false;
}

void THttpServer::CloseListeners(bool takeQueued) {
  std::map<uint64_t, std::shared_ptr<TListener>> listeners;
  {
    TLockGuard state(Mutex);
    listeners.swap(Listeners);
    PausedListeners.clear();
    for (auto& [token, listener] : listeners) {
      listener->Closed = true;
      if (!AcceptInThreads) Poller.Forget(listener->Socket);
    }
  }
  AcceptResumed.NotifyAll();
  // Connections the OS has already completed wait in the listener's queue; closing or
  // stopping it would reset them. Taken over, they are served like any other. Threads
  // waiting in accept may take some of them meanwhile, and serve those; then they are woken.
  if (AcceptInThreads) {
    for (auto& [token, listener] : listeners) {
      if (takeQueued) TakeQueued(*listener);
      listener->Socket.StopAccepting();
    }
  }
  // A thread may still be accepting on one (it holds a reference just for the accept and the
  // registration, never while reading or handling). Nobody takes a new reference now, so
  // the count only falls; once it is ours alone, the listener closes when we say.
  for (auto& [token, listener] : listeners)
    while (listener.use_count() > 1) std::this_thread::sleep_for(std::chrono::microseconds(100));
  if (takeQueued && !AcceptInThreads)
    for (auto& [token, listener] : listeners) TakeQueued(*listener);
  listeners.clear();  // closed before returning: the port is free, and refuses connections
}

void THttpServer::TakeQueued(TListener& listener) {
  listener.Socket.SetAcceptWaits(false);
  for (TSocket socket = listener.Socket.Accept(); socket.Valid(); socket = listener.Socket.Accept())
    if (TConnection* connection = AddConnection(std::move(socket))) Park(*connection, TPoller::Readable);
}

bool THttpServer::SpawnThread() {
  if (Quitting || Threads.size() >= MaxThreads) return false;
  try {
    Threads.emplace_back(&THttpServer::ThreadLoop, this);
    ++ThreadsStarting;
    return true;
  } catch (const std::exception&) {
    // Out of threads: the ones there are carry on, and complete requests wait their turn.
    return false;
  }
}

std::shared_ptr<THttpServer::TListener> THttpServer::ChooseWaitingPlace(uint64_t previous) {
  // A place nobody waits on comes first; otherwise the thread goes back where it waited
  // before, so that the threads gather where they are taken from (a listener that hardly
  // gets connections keeps one), and one leaving again for a handler leaves the others
  // there. A new thread goes where the fewest wait.
  std::shared_ptr<TListener> chosen;
  if (AcceptInThreads && !Quitting && Polling.load() > 0) {
    int fewest = Polling.load();
    for (const auto& [token, listener] : Listeners) {
      const int waiting = listener->Accepting.load();
      if (waiting == 0 || (fewest > 0 && (token == previous || (previous == NoPlace && waiting < fewest)))) {
        fewest = waiting;
        chosen = listener;
      }
      if (waiting == 0) break;
    }
    if (previous == PollerPlace && fewest > 0) chosen.reset();
  }
  if (chosen)
    ++chosen->Accepting;
  else
    ++Polling;
  return chosen;
}

int THttpServer::PlacesWithoutWaiter() const {
  int missing = Polling.load() == 0 ? 1 : 0;
  if (AcceptInThreads)
    for (const auto& [token, listener] : Listeners) missing += listener->Accepting.load() == 0 ? 1 : 0;
  return missing - ThreadsStarting;
}

void THttpServer::ThreadLoop() {
  uint64_t previous = NoPlace;
  for (;;) {
    std::shared_ptr<TListener> accepting;
    {
      TLockGuard lock(Mutex);
      if (previous == NoPlace) --ThreadsStarting;
      accepting = ChooseWaitingPlace(previous);
    }
    if (accepting) {
      previous = accepting->Token;
      WaitInAccept(std::move(accepting));
      continue;
    }
    previous = PollerPlace;
    TPoller::TEvent event;
    bool failed = false;
    try {
      event = Poller.Wait();
    } catch (const std::exception&) {
      failed = true;
    }
    --Polling;
    std::shared_ptr<TListener> listener;
    TConnection* connection = nullptr;
    {
      TLockGuard lock(Mutex);
      if (event.Token == TPoller::QuitToken) return;
      if (!failed && event.Token != TPoller::TimerToken) {
        if (const auto found = Listeners.find(event.Token); found != Listeners.end()) {
          listener = found->second;
        } else if (const auto open = Connections.find(event.Token); open != Connections.end() && !open->second->Busy) {
          connection = open->second.get();
          connection->Busy = true;
        }
      }
    }
    if (failed) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));  // pause rather than spin
      continue;
    }
    try {
      if (event.Token == TPoller::TimerToken)
        Sweep();
      else if (listener)
        Accept(std::move(listener));
      else if (connection)
        Work(*connection);
    } catch (...) {
      // Out of memory, most likely (handlers' errors never get here). A connection that ran
      // into it is given up (it cannot have been parked or handed on yet); the timer or the
      // listener is armed again, so that deadlines and accepting go on.
      if (connection != nullptr) {
        Close(*connection);
      } else if (event.Token == TPoller::TimerToken) {
        Poller.ArmTimer(SweepIntervalMs());
      } else {
        TLockGuard lock(Mutex);
        if (const auto found = Listeners.find(event.Token); found != Listeners.end())
          Poller.Rearm(found->second->Socket, event.Token, TPoller::Readable);
      }
    }
  }
}

TSocket THttpServer::AcceptMakingRoom(TListener& listener, bool& outOfHandles) {
  TSocket socket = listener.Socket.Accept(&outOfHandles);
  if (!outOfHandles) return socket;
  // The process ran out of handles before the connection limit: make room like at the limit.
  // Where threads wait in accept, the OS takes the handle for the next connection before
  // waiting for it, so this may happen before that connection comes: room is made in advance.
  std::unique_ptr<TConnection> evicted;
  {
    TLockGuard lock(Mutex);
    evicted = TakeOldestIncomplete();
  }
  if (!evicted) return socket;
  Release(*evicted);
  evicted.reset();
  return listener.Socket.Accept(&outOfHandles);
}

void THttpServer::ReadFirst(TConnection& connection) {
  try {
    ReadSome(connection);
  } catch (...) {
    Close(connection);  // out of memory while reading: this connection is given up
  }
}

void THttpServer::Accept(std::shared_ptr<TListener> listener) {
  bool outOfHandles = false;
  TSocket socket = AcceptMakingRoom(*listener, outOfHandles);
  if (socket.Valid()) {
    TConnection* connection = AddConnection(std::move(socket), listener.get());
    listener.reset();  // not held while the request is read and handled (see CloseListeners)
    if (connection != nullptr) ReadFirst(*connection);
    return;
  }
  TLockGuard lock(Mutex);
  if (Listeners.count(listener->Token) != 0) {
    if (outOfHandles)
      PausedListeners.push_back(listener->Token);  // Sweep tries again
    else
      Poller.Rearm(listener->Socket, listener->Token, TPoller::Readable);
  }
}

void THttpServer::WaitInAccept(std::shared_ptr<TListener> listener) {
  bool outOfHandles = false;
  TSocket socket = AcceptMakingRoom(*listener, outOfHandles);
  if (!socket.Valid()) {
    // Stopped, or out of handles, or a passing failure: the last two wait a moment before
    // trying again, still counted as the listener's waiter so that no thread is started
    // for it meanwhile.
    {
      TLockGuard lock(Mutex);
      AcceptResumed.WaitFor(Mutex, std::chrono::milliseconds(outOfHandles ? SweepIntervalMs() : 10),
                            [&]() TRS_REQUIRES(Mutex) { return listener->Closed.load() || Quitting; });
    }
    --listener->Accepting;
    return;
  }
  --listener->Accepting;
  TConnection* connection = nullptr;
  try {
    connection = AddConnection(std::move(socket));
  } catch (...) {
    return;  // out of memory: this connection is given up (its socket closed with the record)
  }
  listener.reset();  // not held while the request is read and handled (see CloseListeners)
  if (connection != nullptr) ReadFirst(*connection);
}

THttpServer::TConnection* THttpServer::AddConnection(TSocket socket, const TListener* from) {
  auto connection = std::make_unique<TConnection>();
  connection->Socket = std::move(socket);
  connection->Assembler = THttpRequestAssembler(MaxBodySize.load());
  connection->Deadline = TClock::now() + std::chrono::milliseconds(HeadTimeoutMs.load());
  // Rearmed before the new connection is read, so that other threads accept meanwhile, and
  // outside the lock: the thread it wakes takes the lock at once. The caller's reference
  // keeps the listener open; a listener already closed down was forgotten by the poller,
  // which then rearms nothing.
  if (from != nullptr) Poller.Rearm(from->Socket, from->Token, TPoller::Readable);
  std::unique_ptr<TConnection> evicted;
  TConnection* added = nullptr;
  {
    TLockGuard lock(Mutex);
    if (Quitting) return nullptr;
    if (Connections.size() >= static_cast<size_t>(ConnectionLimit.load())) evicted = TakeOldestIncomplete();
    if (Connections.size() < static_cast<size_t>(ConnectionLimit.load())) {
      connection->Token = NextToken++;
      added = connection.get();
      Connections.emplace(added->Token, std::move(connection));
    }
  }
  // The one pushed out, or the new one when every open connection is busy, is just closed.
  if (evicted) Release(*evicted);
  return added;
}

std::unique_ptr<THttpServer::TConnection> THttpServer::TakeOldestIncomplete() {
  for (auto it = Connections.begin(); it != Connections.end(); ++it) {
    TConnection& connection = *it->second;
    if (connection.Busy || (connection.Phase != TConnection::Reading && connection.Phase != TConnection::Lingering))
      continue;
    std::unique_ptr<TConnection> taken = std::move(it->second);
    Connections.erase(it);
    return taken;
  }
  return nullptr;
}

void THttpServer::Work(TConnection& connection) {
  switch (connection.Phase) {
    case TConnection::Reading: ReadSome(connection); break;
    case TConnection::Writing: WriteSome(connection); break;
    case TConnection::Lingering: DrainSome(connection); break;
    case TConnection::Handling: break;  // never in the poller
  }
}

void THttpServer::ReadSome(TConnection& connection) {
  char buffer[ReadSize];
  THttpRequestAssembler& assembler = connection.Assembler;
  for (int turn = 0; turn < TurnsPerEvent; ++turn) {
    const size_t wanted = std::min(ReadSize, assembler.PreferredReadSize());
    const TSocketReceive received = connection.Socket.Receive(buffer, wanted, false);
    std::optional<THttpReadResult> outcome;
    switch (received.Kind) {
      case TSocketReceive::Data: {
        connection.Input = received.Count < wanted ? TConnection::Drained : TConnection::Unknown;
        const bool hadHead = assembler.HeadComplete();
        outcome = assembler.Feed(std::string_view(buffer, received.Count));
        if ((!outcome || *outcome == THttpReadResult::Request) && !Charge(connection)) {
          outcome = THttpReadResult::OverBudget;
        } else if (!outcome && assembler.HeadComplete()) {
          // The body's deadline: from the end of the head, by the size announced, or for a
          // body read until the close, by the size sent so far.
          if (!hadHead) connection.BodyStart = TClock::now();
          const uint64_t size = std::max<uint64_t>(assembler.DeclaredBodySize(), assembler.Request().RawBody.size());
          TLockGuard lock(Mutex);
          connection.Deadline = connection.BodyStart + TimeFor(size);
        }
        break;
      }
      case TSocketReceive::Closed:
        connection.Input = TConnection::Drained;
        // A close forced by Stop is no client's end of body.
        outcome = connection.Cut ? THttpReadResult::Drop : assembler.FeedEnd();
        break;
      case TSocketReceive::TimedOut:  // nothing more has arrived
        Park(connection, TPoller::Readable);
        return;
      case TSocketReceive::Failed:
        outcome = THttpReadResult::Drop;
        break;
    }
    if (outcome) {
      Complete(connection, *outcome);
      return;
    }
  }
  Park(connection, TPoller::Readable);
}

bool THttpServer::Charge(TConnection& connection) {
  const uint64_t claimed = connection.Assembler.MemoryClaimed();
  if (claimed <= connection.Charged) return true;
  const uint64_t more = claimed - connection.Charged;
  if (MemoryInUse.fetch_add(more) + more > MaxRequestMemory.load()) {
    MemoryInUse.fetch_sub(more);
    return false;
  }
  connection.Charged = claimed;
  return true;
}

void THttpServer::Release(TConnection& connection) {
  MemoryInUse.fetch_sub(connection.Charged);
  connection.Charged = 0;
  connection.Assembler = THttpRequestAssembler(0);
}

void THttpServer::Complete(TConnection& connection, THttpReadResult outcome) {
  // Refused before its end (413, 503): the client is likely still sending.
  if (outcome != THttpReadResult::Request) connection.Input = TConnection::Pending;
  if (outcome != THttpReadResult::Request || connection.Assembler.Request().Method == "OPTIONS") {
    Respond(connection, AnswerHttpRequest(outcome, connection.Assembler.Request(), Handler, MaxBodySize.load(),
                                          MaxRequestMemory.load()));
    return;
  }
  {
    TLockGuard lock(Mutex);
    connection.Phase = TConnection::Handling;
    // This thread leaves its waiting place (the poller or a listener) for the handler, which
    // may block: someone must stay in each. When nobody can, the request waits for a
    // handler to finish and this thread goes back to waiting (unless no handler runs at
    // all: then nothing would ever take it).
    bool covered = HandlersRunning < MaxHandlerThreads;
    for (int missing = PlacesWithoutWaiter(); covered && missing > 0; --missing) covered = SpawnThread();
    if (!covered && HandlersRunning > 0) {
      Waiting.push_back(&connection);
      return;
    }
    ++HandlersRunning;
  }
  TConnection* next = &connection;
  while (next != nullptr) {
    RunHandler(*next);
    TLockGuard lock(Mutex);
    next = nullptr;
    if (!Waiting.empty()) {
      next = Waiting.front();
      Waiting.pop_front();
    } else {
      --HandlersRunning;
    }
  }
}

void THttpServer::RunHandler(TConnection& connection) {
  try {
    Respond(connection, AnswerHttpRequest(THttpReadResult::Request, connection.Assembler.Request(), Handler,
                                          MaxBodySize.load(), MaxRequestMemory.load()));
  } catch (...) {
    Close(connection);  // out of memory for the answer, most likely
  }
}

void THttpServer::Respond(TConnection& connection, const std::optional<THttpResponse>& response) {
  Release(connection);
  if (!response) {
    Close(connection);
    return;
  }
  connection.Output = FormatHttpResponse(*response);
  connection.Sent = 0;
  WriteSome(connection);
}

void THttpServer::WriteSome(TConnection& connection) {
  for (int turn = 0; connection.Sent < connection.Output.size(); ++turn) {
    const TSocketSend sent = turn == TurnsPerEvent
                                 ? TSocketSend{}
                                 : connection.Socket.SendSome(std::string_view(connection.Output).substr(connection.Sent));
    if (sent.Failed) {
      Close(connection);
      return;
    }
    if (sent.Count == 0) {
      // The client is not taking it yet (or others want a turn): the poller's threads go on
      // when it does. The answer has its own deadline, from its first wait on.
      if (connection.Phase != TConnection::Writing) {
        TLockGuard lock(Mutex);
        connection.Phase = TConnection::Writing;
        connection.Deadline = TClock::now() + TimeFor(connection.Output.size());
      }
      Park(connection, TPoller::Writable);
      return;
    }
    connection.Sent += sent.Count;
  }
  connection.Output = std::string();
  // Only input still unread at the close makes the OS answer with a reset, which can destroy
  // the answer before the client reads it. A client that sent nothing beyond its request (a
  // browser) is closed at once, which sends our FIN after the answer; one that sent more, or
  // may have, gets the FIN first and is drained.
  char buffer[4096];
  if (connection.Input == TConnection::Drained ||
      (connection.Input == TConnection::Unknown &&
       connection.Socket.Receive(buffer, sizeof buffer, false).Kind != TSocketReceive::Data)) {
    Close(connection);
    return;
  }
  connection.Socket.ShutdownWrite();
  {
    TLockGuard lock(Mutex);
    connection.Phase = TConnection::Lingering;
    connection.Deadline = TClock::now() + DrainTime;
  }
  DrainSome(connection);
}

void THttpServer::DrainSome(TConnection& connection) {
  char buffer[ReadSize];
  for (int turn = 0; turn < TurnsPerEvent; ++turn) {
    const TSocketReceive received = connection.Socket.Receive(buffer, sizeof buffer, false);
    if (received.Kind == TSocketReceive::TimedOut) break;
    if (received.Kind != TSocketReceive::Data) {
      Close(connection);
      return;
    }
  }
  Park(connection, TPoller::Readable);
}

void THttpServer::Park(TConnection& connection, TPoller::TInterest interest) {
  bool watched = false;
  if (!connection.Cut) {
    TLockGuard lock(Mutex);
    connection.Busy = false;
    watched = connection.Watched ? Poller.Rearm(connection.Socket, connection.Token, interest)
                                 : Poller.Watch(connection.Socket, connection.Token, interest);
    connection.Watched = true;
    if (watched) return;  // from here on another thread may own it
    connection.Busy = true;
  }
  Close(connection);
}

void THttpServer::Close(TConnection& connection) {
  std::unique_ptr<TConnection> closing;
  {
    TLockGuard lock(Mutex);
    const auto found = Connections.find(connection.Token);
    if (found == Connections.end()) return;
    closing = std::move(found->second);
    Connections.erase(found);
  }
  Release(*closing);
  // The socket closes here; the OS drops it from the poller with it.
}

void THttpServer::Sweep() {
  const TClock::time_point now = TClock::now();
  std::vector<std::unique_ptr<TConnection>> expired;
  {
    TLockGuard lock(Mutex);
    for (auto it = Connections.begin(); it != Connections.end();) {
      TConnection& connection = *it->second;
      if (connection.Busy || now < connection.Deadline) {
        ++it;
        continue;
      }
      // A late event for it finds it busy or gone, and leaves it alone.
      connection.Busy = true;
      expired.push_back(std::move(it->second));
      it = Connections.erase(it);
    }
    for (const uint64_t token : PausedListeners)
      if (const auto found = Listeners.find(token); found != Listeners.end())
        Poller.Rearm(found->second->Socket, token, TPoller::Readable);
    PausedListeners.clear();
  }
  for (std::unique_ptr<TConnection>& connection : expired) Expire(std::move(connection));
  Poller.ArmTimer(SweepIntervalMs());
}

void THttpServer::Expire(std::unique_ptr<TConnection> connection) {
  // A client that has started a request is told why it is closed; one that never sent a
  // byte (a browser's spare connection) and one past its answer are simply closed.
  if (connection->Phase != TConnection::Reading || connection->Assembler.Untouched()) {
    Release(*connection);
    return;
  }
  TConnection* late = connection.get();
  late->Input = TConnection::Pending;  // a slow client is still sending
  {
    TLockGuard lock(Mutex);
    if (!Quitting) Connections.emplace(late->Token, std::move(connection));
  }
  if (connection) {
    Release(*connection);
    return;
  }
  Respond(*late, AnswerHttpRequest(THttpReadResult::TimedOut, late->Assembler.Request(), Handler, MaxBodySize.load(),
                                   MaxRequestMemory.load()));
}

}  // namespace trs
