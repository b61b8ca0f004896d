// The server on a real localhost port: the wire answer, errors, limits, connection handling,
// start and stop.
#include "endpoint/HttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Mutex.h"
#include "platform/Socket.h"

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
      InHandler = true;
      GateChanged.NotifyAll();
      GateChanged.Wait(GateMutex, [this]() TRS_REQUIRES(GateMutex) { return GateOpen; });
    }
    response.Content = request.Method + " " + request.Target + " [" + request.RawBody + "]";
    for (const std::string& param : request.Params) response.Content += " " + param;
  }

  void WaitInHandler() {
    TLockGuard lock(GateMutex);
    ASSERT_TRUE(GateChanged.WaitFor(GateMutex, 10s,
                                    [this]() TRS_REQUIRES(GateMutex) { return InHandler; }));
  }
  void OpenGate() {
    TLockGuard lock(GateMutex);
    GateOpen = true;
    GateChanged.NotifyAll();
  }

  std::atomic<int> Calls{0};
  TMutex GateMutex;
  TConditionVariable GateChanged;
  bool InHandler TRS_GUARDED_BY(GateMutex) = false;
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

TEST_F(HttpServerTest, ClosesIdleConnectionsWithoutAnswer) {
  Server.SetIdleTimeout(200ms);
  StartServer();
  for (const std::string sent : {"", "GET / HTTP/1.1\r\n", "POST / HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc"}) {
    TSocket socket = Connect(Port);
    ASSERT_TRUE(socket.SendAll(sent));
    const auto start = Clock::now();
    const TReply reply = ReadUntilClose(socket);
    EXPECT_TRUE(reply.Closed) << sent;
    EXPECT_EQ(reply.Bytes, "") << sent;
    EXPECT_LT(Clock::now() - start, 5s) << sent;
  }
  EXPECT_EQ(Calls.load(), 0);
}

TEST_F(HttpServerTest, ServesAtMost64ConnectionsAtOnce) {
  StartServer();
  std::vector<TSocket> idle;
  for (int i = 0; i < THttpServer::MaxConnections; ++i) idle.push_back(Connect(Port));
  // The 65th connects (the backlog takes it) but is not served while the others hold their places.
  TSocket waiting = Connect(Port);
  ASSERT_TRUE(waiting.SendAll("GET /65 HTTP/1.1\r\n\r\n"));
  char byte;
  waiting.SetReceiveTimeout(500);
  EXPECT_EQ(waiting.Receive(&byte, 1).Kind, TSocketReceive::TimedOut);
  EXPECT_EQ(Calls.load(), 0);

  idle.front().Close();
  const TReply reply = ReadUntilClose(waiting);
  EXPECT_EQ(reply.Bytes, Ok("GET /65 []"));
  // The remaining ones are still served.
  ASSERT_TRUE(idle.back().SendAll("GET /64 HTTP/1.1\r\n\r\n"));
  EXPECT_EQ(ReadUntilClose(idle.back()).Bytes, Ok("GET /64 []"));
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
      {"192.0.2.1", 0, Format("Socket Error # %d\n%s", EADDRNOTAVAIL, std::strerror(EADDRNOTAVAIL))},
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
