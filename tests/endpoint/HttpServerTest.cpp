// The server on a real localhost port: the wire answer, errors, limits, connection handling,
// start and stop.
#include "endpoint/HttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Mutex.h"
#include "platform/Socket.h"
#include "support/TestOs.h"

namespace trs {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string FixedHeaders =
    "Connection: close\r\n"
    "Access-Control-Allow-Origin: *\r\n"
    "Access-Control-Allow-Methods: GET,POST,OPTIONS\r\n"
    "Access-Control-Allow-Headers: Origin,Content-Type,Accept\r\n"
    "\r\n";

std::string Ok(const std::string& content) {
  return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(content.size()) +
         "\r\n" + FixedHeaders + content;
}

// What a client saw of its connection: every byte until the server closed, and whether it
// did close (rather than our own timeout running out first).
struct TReply {
  std::string Bytes;
  bool Closed = false;
};

TReply ReadUntilClose(TSocket& socket, std::chrono::milliseconds timeout = 10s) {
  TReply reply;
  socket.SetReceiveTimeout(static_cast<int>(timeout.count()));
  char buffer[65536];
  for (;;) {
    const TSocketReceive r = socket.Receive(buffer, sizeof buffer);
    if (r.Kind == TSocketReceive::Data) {
      reply.Bytes.append(buffer, r.Count);
      continue;
    }
    reply.Closed = r.Kind == TSocketReceive::Closed;
    return reply;
  }
}

TSocket Connect(int port) {
  TSocket socket = ConnectTcp("127.0.0.1", port);
  EXPECT_TRUE(socket.Valid());
  return socket;
}

TReply Exchange(int port, const std::string& request, bool closeWriteSide = false) {
  TSocket socket = Connect(port);
  EXPECT_TRUE(socket.SendAll(request));
  if (closeWriteSide) socket.ShutdownWrite();
  return ReadUntilClose(socket);
}

class HttpServerTest : public testing::Test {
 protected:
  // The handler answers with what it saw, so tests can check the request too.
  void StartServer() {
    Server.ClearBindings();
    Server.AddBinding("127.0.0.1", 0);
    Server.Start();
    ASSERT_EQ(Server.BoundPorts().size(), 1u);
    Port = Server.BoundPorts()[0];
  }

  void Handle(const THttpRequest& request, THttpResponse& response) {
    ++Calls;
    if (request.Target == "/fail") throw Exception("Printer \xE4\xB8\xAD not found");
    if (request.Target == "/std") throw std::runtime_error("std failure");
    if (request.Target == "/big") {
      response.Content.assign(1 << 20, 'B');
      return;
    }
    if (request.Target == "/wait") {
      TLockGuard lock(GateMutex);
      ++InHandler;
      GateChanged.NotifyAll();
      GateChanged.Wait(GateMutex, [this]() TRS_REQUIRES(GateMutex) { return GateOpen; });
    }
    response.Content = request.Method + " " + request.Target + " [" + request.RawBody + "]";
    for (const std::string& param : request.Params) response.Content += " " + param;
  }

  // Until `count` requests wait at the gate.
  void WaitInHandler(int count = 1) {
    TLockGuard lock(GateMutex);
    ASSERT_TRUE(GateChanged.WaitFor(GateMutex, 10s,
                                    [&]() TRS_REQUIRES(GateMutex) { return InHandler >= count; }));
  }
  void OpenGate() {
    TLockGuard lock(GateMutex);
    GateOpen = true;
    GateChanged.NotifyAll();
  }

  std::atomic<int> Calls{0};
  TMutex GateMutex;
  TConditionVariable GateChanged;
  int InHandler TRS_GUARDED_BY(GateMutex) = 0;
  bool GateOpen TRS_GUARDED_BY(GateMutex) = false;
  THttpServer Server{[this](const THttpRequest& request, THttpResponse& response) { Handle(request, response); }};
  int Port = 0;
};

TEST_F(HttpServerTest, AnswersWithExactHeaders) {
  StartServer();
  struct TCase {
    std::string Request;
    bool HalfClose;
    std::string Expected;
  };
  const TCase cases[] = {
      {"GET /?Get=IsPrinting HTTP/1.1\r\nHost: localhost\r\n\r\n", false, Ok("GET /?Get=IsPrinting [] Get=IsPrinting")},
      {"HEAD /?a=1 HTTP/1.1\r\n\r\n", false, Ok("HEAD /?a=1 [] a=1")},  // HEAD keeps its body
      {"POST /?q=1 HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 8\r\n\r\nb=%u4E2D", false,
       Ok("POST /?q=1 [b=%u4E2D] b=中 q=1")},
      {"POST / HTTP/1.1\r\n\r\nuntil close", true, Ok("POST / [until close]")},
      {"OPTIONS / HTTP/1.1\r\nOrigin: http://x\r\n\r\n", false, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n" + FixedHeaders},
      {"GET /fail HTTP/1.1\r\n\r\n", false,
       "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/html\r\nContent-Length: 21\r\n" + FixedHeaders +
           "Printer \xE4\xB8\xAD not found"},
      {"GET /std HTTP/1.1\r\n\r\n", false,
       "HTTP/1.1 500 Internal Server Error\r\nContent-Type: text/html\r\nContent-Length: 11\r\n" + FixedHeaders + "std failure"},
      {"POST / HTTP/1.1\r\nContent-Length: 268435457\r\n\r\n", false,
       "HTTP/1.1 413 Payload Too Large\r\nContent-Type: text/html\r\nContent-Length: 52\r\n" + FixedHeaders +
           "Request body too large: the limit is 268435456 bytes"},
      // Nothing at all for what cannot be read.
      {"PUT / HTTP/1.1\r\n\r\n", false, ""},
      {"GET\r\n\r\n", false, ""},
      {"GET /" + std::string(HttpMaxLineLength, 'a') + " HTTP/1.1\r\n\r\n", false, ""},
  };
  for (const TCase& c : cases) {
    const TReply reply = Exchange(Port, c.Request, c.HalfClose);
    EXPECT_TRUE(reply.Closed) << c.Request.substr(0, 60);
    EXPECT_EQ(reply.Bytes, c.Expected) << c.Request.substr(0, 60);
  }
  EXPECT_EQ(Calls.load(), 6);  // OPTIONS, 413 and the dropped ones never reach the handler
}

TEST_F(HttpServerTest, ClosesRequestsThatMissTheirDeadline) {
  Server.SetDeadlines(300ms, 300ms, 0ms);
  StartServer();
  const std::string timeout = "HTTP/1.1 408 Request Timeout\r\nContent-Type: text/html\r\nContent-Length: 28\r\n" +
                              FixedHeaders + "Request not received in time";
  struct TCase {
    std::string Sent;
    std::string Expected;
  };
  const TCase cases[] = {
      {"", ""},  // a connection that never began a request is just closed
      {"GET / HTTP/1.1\r\n", timeout},
      {"POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc", timeout},
      {"POST / HTTP/1.1\r\n\r\nuntil close", timeout},
  };
  for (const TCase& c : cases) {
    TSocket socket = Connect(Port);
    ASSERT_TRUE(socket.SendAll(c.Sent));
    const auto start = Clock::now();
    const TReply reply = ReadUntilClose(socket);
    EXPECT_TRUE(reply.Closed) << c.Sent;
    EXPECT_EQ(reply.Bytes, c.Expected) << c.Sent;
    EXPECT_LT(Clock::now() - start, 5s) << c.Sent;
  }
  EXPECT_EQ(Calls.load(), 0);
}

TEST_F(HttpServerTest, AClientTricklingBytesStillMeetsItsDeadline) {
  // Every byte arrives well within the deadline, but the request as a whole does not.
  Server.SetDeadlines(400ms, 400ms, 0ms);
  StartServer();
  TSocket socket = Connect(Port);
  const std::string request = "GET /slow HTTP/1.1\r\nHost: x\r\n\r\n";
  bool cut = false;
  const auto start = Clock::now();
  for (size_t i = 0; i < request.size() && !cut; ++i) {
    cut = !socket.SendAll(request.substr(i, 1));
    std::this_thread::sleep_for(50ms);
    char byte;
    cut = cut || socket.Receive(&byte, 1, false).Kind != TSocketReceive::TimedOut;
  }
  EXPECT_TRUE(cut);
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_EQ(Calls.load(), 0);
}

TEST_F(HttpServerTest, ABodyGetsTimeByItsSize) {
  // 100 ms for the body, plus 400 ms for each 64 KiB it announces: a 256 KiB body sent in
  // pieces over 300 ms makes it, though the base time alone would not cover it.
  Server.SetDeadlines(2s, 100ms, 400ms);
  StartServer();
  TSocket socket = Connect(Port);
  const std::string body(256 * 1024, 'b');
  ASSERT_TRUE(socket.SendAll("POST /sized HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n"));
  for (size_t sent = 0; sent < body.size(); sent += body.size() / 4) {
    std::this_thread::sleep_for(75ms);
    ASSERT_TRUE(socket.SendAll(body.substr(sent, body.size() / 4)));
  }
  const TReply reply = ReadUntilClose(socket);
  EXPECT_EQ(reply.Bytes.substr(0, 15), "HTTP/1.1 200 OK");
  EXPECT_EQ(Calls.load(), 1);
}

TEST_F(HttpServerTest, AtTheConnectionLimitTheOldestIncompleteGoesFirst) {
  Server.SetMaxConnections(4);
  StartServer();
  ASSERT_EQ(Server.MaxConnections(), 4);
  std::vector<TSocket> slow;
  for (int i = 0; i < 4; ++i) {
    slow.push_back(Connect(Port));
    ASSERT_TRUE(slow.back().SendAll("GET /" + std::to_string(i) + " HTTP/1.1\r\n"));
    // Arrival order decides who goes; let each one arrive before the next.
    for (int wait = 0; wait < 200 && Server.OpenConnections() <= i; ++wait) std::this_thread::sleep_for(5ms);
  }
  // A fifth connection is served; it pushes out the first one only.
  EXPECT_EQ(Exchange(Port, "GET /new HTTP/1.1\r\n\r\n").Bytes, Ok("GET /new []"));
  const TReply first = ReadUntilClose(slow[0], 2s);
  EXPECT_TRUE(first.Closed);
  EXPECT_EQ(first.Bytes, "");
  for (int i = 1; i < 4; ++i) {
    ASSERT_TRUE(slow[i].SendAll("\r\n"));
    EXPECT_EQ(ReadUntilClose(slow[i]).Bytes, Ok("GET /" + std::to_string(i) + " []")) << i;
  }
}

TEST_F(HttpServerTest, RequestMemoryIsCappedAcrossConnections) {
  Server.SetMaxRequestMemory(100000);
  StartServer();
  // The first body takes most of the budget while it arrives.
  TSocket first = Connect(Port);
  ASSERT_TRUE(first.SendAll("POST /first HTTP/1.1\r\nContent-Length: 60000\r\n\r\nabc"));
  for (int wait = 0; wait < 400 && Server.RequestMemoryInUse() < 60000; ++wait) std::this_thread::sleep_for(5ms);
  ASSERT_GE(Server.RequestMemoryInUse(), 60000u);

  const TReply refused = Exchange(Port, "POST /second HTTP/1.1\r\nContent-Length: 60000\r\n\r\n" + std::string(60000, 'x'));
  const std::string message =
      "Server busy: the requests in progress already hold the 100000 bytes allowed for request data; "
      "send this request again later";
  EXPECT_EQ(refused.Bytes, "HTTP/1.1 503 Service Unavailable\r\nContent-Type: text/html\r\nContent-Length: " +
                               std::to_string(message.size()) + "\r\n" + FixedHeaders + message);
  // A small request still fits beside it, and the first one is not disturbed.
  EXPECT_EQ(Exchange(Port, "GET /small HTTP/1.1\r\n\r\n").Bytes, Ok("GET /small []"));
  ASSERT_TRUE(first.SendAll(std::string(59997, 'y')));
  EXPECT_EQ(ReadUntilClose(first).Bytes, Ok("POST /first [abc" + std::string(59997, 'y') + "]"));
  EXPECT_EQ(Calls.load(), 2);
  for (int wait = 0; wait < 400 && Server.RequestMemoryInUse() != 0; ++wait) std::this_thread::sleep_for(5ms);
  EXPECT_EQ(Server.RequestMemoryInUse(), 0u);
}

TEST_F(HttpServerTest, ABlockedHandlerStallsNoOtherConnection) {
  StartServer();
  TSocket blocked = Connect(Port);
  ASSERT_TRUE(blocked.SendAll("GET /wait HTTP/1.1\r\n\r\n"));
  WaitInHandler();
  // Slow clients, fresh requests and deadlines all go on meanwhile.
  std::vector<TSocket> slow;
  for (int i = 0; i < 20; ++i) {
    slow.push_back(Connect(Port));
    ASSERT_TRUE(slow.back().SendAll("GET /slow"));
  }
  for (int i = 0; i < 20; ++i)
    EXPECT_EQ(Exchange(Port, "GET /" + std::to_string(i) + " HTTP/1.1\r\n\r\n").Bytes, Ok("GET /" + std::to_string(i) + " []"));
  OpenGate();
  EXPECT_EQ(ReadUntilClose(blocked).Bytes, Ok("GET /wait []"));
}

// Handlers blocked at once, some taken straight from accepting on either listener and one
// completed through the poller (its request came in two parts), stall neither listener.
TEST_F(HttpServerTest, BlockedHandlersStallNeitherListener) {
  Server.AddBinding("127.0.0.1", 0);
  Server.AddBinding("127.0.0.1", 0);
  Server.Start();
  const std::vector<int> ports = Server.BoundPorts();
  ASSERT_EQ(ports.size(), 2u);
  std::vector<TSocket> blocked;
  for (const int port : {ports[0], ports[0], ports[0], ports[1], ports[1]}) {
    blocked.push_back(Connect(port));
    ASSERT_TRUE(blocked.back().SendAll("GET /wait HTTP/1.1\r\n\r\n"));
  }
  blocked.push_back(Connect(ports[1]));
  ASSERT_TRUE(blocked.back().SendAll("GET /wait HTTP/1.1\r\n"));
  std::this_thread::sleep_for(50ms);  // read and parked, most likely, before the rest comes
  ASSERT_TRUE(blocked.back().SendAll("\r\n"));
  WaitInHandler(static_cast<int>(blocked.size()));
  for (int i = 0; i < 10; ++i) {
    for (const int port : ports) {
      const std::string target = "/" + std::to_string(port) + "-" + std::to_string(i);
      EXPECT_EQ(Exchange(port, "GET " + target + " HTTP/1.1\r\n\r\n").Bytes, Ok("GET " + target + " []"));
    }
  }
  OpenGate();
  for (TSocket& client : blocked) EXPECT_EQ(ReadUntilClose(client).Bytes, Ok("GET /wait []"));
}

// However the server is stopped, threads waiting for connections on its listeners (two
// here, each with threads that have already taken connections) let it go, and a restart on
// the same ports serves again.
TEST_F(HttpServerTest, StopsWhileThreadsWaitForConnections) {
  const std::vector<std::pair<const char*, std::function<void(std::unique_ptr<THttpServer>&)>>> stops = {
      {"Stop", [](std::unique_ptr<THttpServer>& server) { server->Stop(); }},
      {"StopListening", [](std::unique_ptr<THttpServer>& server) { server->StopListening(); }},
      {"destructor", [](std::unique_ptr<THttpServer>& server) { server.reset(); }},
  };
  std::vector<int> ports = {0, 0};
  for (const auto& [name, stop] : stops) {
    SCOPED_TRACE(name);
    auto server = std::make_unique<THttpServer>([](const THttpRequest& request, THttpResponse& response) {
      response.Content = request.Target;
    });
    for (const int port : ports) server->AddBinding("127.0.0.1", port);
    server->Start();
    ports = server->BoundPorts();
    ASSERT_EQ(ports.size(), 2u);
    for (int i = 0; i < 4; ++i)
      for (const int port : ports) EXPECT_EQ(Exchange(port, "GET /before HTTP/1.1\r\n\r\n").Bytes, Ok("/before"));
    auto stopped = std::async(std::launch::async, [&, &stop = stop] { stop(server); });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready);
    for (const int port : ports) EXPECT_FALSE(ConnectTcp("127.0.0.1", port).Valid());
    if (!server) continue;
    server->ClearBindings();
    for (const int port : ports) server->AddBinding("127.0.0.1", port);
    server->Start();
    EXPECT_EQ(server->BoundPorts(), ports);
    for (const int port : ports) EXPECT_EQ(Exchange(port, "GET /after HTTP/1.1\r\n\r\n").Bytes, Ok("/after"));
  }
}

// Each move hands accepting over to the new port: a connection queued on the old one is
// served, the new one answers, the old one refuses.
TEST_F(HttpServerTest, RepeatedPortMovesKeepAccepting) {
  StartServer();
  int oldPort = Port;
  for (int move = 0; move < 5; ++move) {
    SCOPED_TRACE(move);
    TSocket queued = Connect(oldPort);
    ASSERT_TRUE(queued.SendAll("GET /queued HTTP/1.1\r\n\r\n"));
    Server.StopListening();
    StartServer();
    EXPECT_EQ(ReadUntilClose(queued).Bytes, Ok("GET /queued []"));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Exchange(Port, "GET /new HTTP/1.1\r\n\r\n").Bytes, Ok("GET /new []"));
    EXPECT_FALSE(ConnectTcp("127.0.0.1", oldPort).Valid());
    oldPort = Port;
  }
}

TEST_F(HttpServerTest, StopListeningServesTheConnectionsAlreadyMade) {
  StartServer();
  TSocket partial = Connect(Port);
  ASSERT_TRUE(partial.SendAll("GET /partial HTTP/1.1\r\n"));
  // Completed by the OS but maybe not yet taken from the queue by the server.
  TSocket queued = Connect(Port);
  ASSERT_TRUE(queued.SendAll("GET /queued HTTP/1.1\r\n\r\n"));
  Server.StopListening();
  EXPECT_FALSE(Server.Active());
  EXPECT_FALSE(ConnectTcp("127.0.0.1", Port).Valid());
  ASSERT_TRUE(partial.SendAll("\r\n"));
  EXPECT_EQ(ReadUntilClose(partial).Bytes, Ok("GET /partial []"));
  EXPECT_EQ(ReadUntilClose(queued).Bytes, Ok("GET /queued []"));
}

TEST_F(HttpServerTest, PrivateNetworkPreflightsAreAllowed) {
  StartServer();
  const std::string preflight = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n" +
                                FixedHeaders.substr(0, FixedHeaders.size() - 2);
  struct TCase {
    std::string Request;
    std::string Expected;
  };
  const TCase cases[] = {
      {"OPTIONS / HTTP/1.1\r\nOrigin: https://shop.example\r\nAccess-Control-Request-Private-Network: true\r\n\r\n",
       preflight + "Access-Control-Allow-Private-Network: true\r\n\r\n"},
      {"OPTIONS / HTTP/1.1\r\naccess-control-request-private-network: TRUE\r\n\r\n",
       preflight + "Access-Control-Allow-Private-Network: true\r\n\r\n"},
      // Any other preflight, and any other method, keeps its answer.
      {"OPTIONS / HTTP/1.1\r\nAccess-Control-Request-Private-Network: false\r\n\r\n", preflight + "\r\n"},
      {"GET / HTTP/1.1\r\nAccess-Control-Request-Private-Network: true\r\n\r\n", Ok("GET / []")},
  };
  for (const TCase& c : cases) EXPECT_EQ(Exchange(Port, c.Request).Bytes, c.Expected) << c.Request;
}

TEST_F(HttpServerTest, ResponseSurvivesUnreadClientBytes) {
  StartServer();
  // The server never reads the bytes after a GET's headers; closing on top of them would reset
  // the connection and could destroy the response before the client reads it.
  for (int round = 0; round < 3; ++round) {
    TSocket socket = Connect(Port);
    ASSERT_TRUE(socket.SendAll("GET /big HTTP/1.1\r\n\r\n" + std::string(64 * 1024, 'x')));
    std::this_thread::sleep_for(300ms);  // the server has written and closed by now
    const TReply reply = ReadUntilClose(socket);
    EXPECT_TRUE(reply.Closed);
    ASSERT_GT(reply.Bytes.size(), 1u << 20);
    EXPECT_EQ(reply.Bytes.substr(reply.Bytes.size() - (1 << 20)), std::string(1 << 20, 'B'));
  }
}

TEST_F(HttpServerTest, ServesConcurrentClients) {
  StartServer();
  std::vector<std::future<int>> clients;
  for (int t = 0; t < 8; ++t) {
    clients.push_back(std::async(std::launch::async, [this, t] {
      int good = 0;
      for (int i = 0; i < 25; ++i) {
        const std::string target = "/?c=" + std::to_string(t) + "&i=" + std::to_string(i);
        const TReply reply = Exchange(Port, "GET " + target + " HTTP/1.1\r\n\r\n");
        good += reply.Bytes == Ok("GET " + target + " [] c=" + std::to_string(t) + " i=" + std::to_string(i));
      }
      return good;
    }));
  }
  for (auto& client : clients) EXPECT_EQ(client.get(), 25);
  EXPECT_EQ(Calls.load(), 200);
}

TEST_F(HttpServerTest, StopsAndRestartsOnTheSamePort) {
  StartServer();
  ASSERT_TRUE(Server.Active());
  EXPECT_EQ(Exchange(Port, "GET /1 HTTP/1.1\r\n\r\n").Bytes, Ok("GET /1 []"));
  TSocket idle = Connect(Port);  // waits for the rest of its request: Stop must not hang on it
  ASSERT_TRUE(idle.SendAll("GET /idle HTTP/1.1\r\n"));
  std::this_thread::sleep_for(100ms);  // let a worker pick it up

  const auto start = Clock::now();
  Server.Stop();
  Server.Stop();
  EXPECT_LT(Clock::now() - start, 2s);
  EXPECT_FALSE(Server.Active());
  EXPECT_TRUE(Server.BoundPorts().empty());
  EXPECT_TRUE(ReadUntilClose(idle).Closed);
  EXPECT_FALSE(ConnectTcp("127.0.0.1", Port).Valid());

  Server.ClearBindings();
  Server.AddBinding("127.0.0.1", Port);
  Server.Start();
  ASSERT_EQ(Server.BoundPorts(), std::vector<int>{Port});
  EXPECT_EQ(Exchange(Port, "GET /2 HTTP/1.1\r\n\r\n").Bytes, Ok("GET /2 []"));
}

TEST_F(HttpServerTest, StopLetsARequestInTheHandlerFinish) {
  StartServer();
  TSocket client = Connect(Port);
  ASSERT_TRUE(client.SendAll("GET /wait HTTP/1.1\r\n\r\n"));
  WaitInHandler();
  Server.Stop();  // returns with the handler still running
  EXPECT_FALSE(Server.Active());
  OpenGate();
  EXPECT_EQ(ReadUntilClose(client).Bytes, Ok("GET /wait []"));
}

TEST_F(HttpServerTest, DestructorCutsIdleClients) {
  int port = 0;
  TSocket idle;
  const auto start = Clock::now();
  {
    THttpServer server([](const THttpRequest&, THttpResponse&) {});
    server.AddBinding("127.0.0.1", 0);
    server.Start();
    port = server.BoundPorts().at(0);
    idle = Connect(port);
    ASSERT_TRUE(idle.SendAll("GET / HTTP/1.1\r\n"));
    std::this_thread::sleep_for(50ms);  // let a worker pick it up
  }
  EXPECT_LT(Clock::now() - start, 3s);
  EXPECT_TRUE(ReadUntilClose(idle, 2s).Closed);
}

TEST_F(HttpServerTest, ReportsBindFailures) {
  StartServer();
  struct TCase {
    std::string Address;
    int BindPort;
    std::string Message;
  };
  const TCase cases[] = {
      {"127.0.0.1", Port, "Could not bind socket. Address and port are already in use."},
      {"192.0.2.1", 0,
       Format("Socket Error # %d\n%s", test::SystemErrorNumber(test::TSystemError::AddressNotAvailable),
              test::SystemErrorText(test::TSystemError::AddressNotAvailable).c_str())},
  };
  for (const TCase& c : cases) {
    THttpServer other([](const THttpRequest&, THttpResponse&) {});
    other.AddBinding("127.0.0.1", 0);  // opened first, closed again when the next one fails
    other.AddBinding(c.Address, c.BindPort);
    try {
      other.Start();
      ADD_FAILURE() << "Start succeeded on " << c.Address;
    } catch (const Exception& e) {
      EXPECT_EQ(e.GetMessage(), c.Message);
    }
    EXPECT_FALSE(other.Active());
    EXPECT_TRUE(other.BoundPorts().empty());
  }
  EXPECT_EQ(Exchange(Port, "GET / HTTP/1.1\r\n\r\n").Bytes, Ok("GET / []"));
}

TEST_F(HttpServerTest, DefaultBindingIsLoopback) {
  Server.SetDefaultPort(0);
  Server.Start();
  const std::vector<int> ports = Server.BoundPorts();
  const bool ipv6 = LoopbackIpv6Available();
  ASSERT_EQ(ports.size(), ipv6 ? 2u : 1u);
  EXPECT_EQ(Exchange(ports[0], "GET /v4 HTTP/1.1\r\n\r\n").Bytes, Ok("GET /v4 []"));
  if (ipv6) {
    TSocket socket = ConnectTcp("::1", ports[1]);
    ASSERT_TRUE(socket.Valid());
    ASSERT_TRUE(socket.SendAll("GET /v6 HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(ReadUntilClose(socket).Bytes, Ok("GET /v6 []"));
  }
}

}  // namespace
}  // namespace trs
