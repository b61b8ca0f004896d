// Benchmark: the endpoint (TReportServer on its HTTP server) answering
// "GET /?Get=IsPrinting" one connection per request, as browsers call us, while 0, 64 and
// 1,000 slow clients hold connections to it; beside a floor server, the HTTP layer alone
// (a fixed answer, no driver) and nginx, measured in the same run. Each poll makes the
// engine calls it makes in use (a report created, asked whether a batch prints, released)
// on the stand-in V10 engine built beside the binary, which keeps no journal here.
//
// The floor does the least an answer takes: one thread accepts, reads up to the empty line,
// writes a fixed 200 answer with the same headers and Connection: close, and closes (it
// serves no slow client: one would stop it). nginx is Debian's, 2 workers, keep-alive off,
// a fixed 200 answer; it is measured when bench/setup.sh has installed it. Each server is
// measured sequentially (latency p50/p99 and requests/s; the servers interleaved in blocks
// of requests) and with concurrent clients (requests/s; the servers taking turns in short
// slices); each figure is the median over the rounds.
//
// A slow client sends a request head one byte every half second and never ends it; one
// that the server closes (at its deadline) connects again at once, as an attacker would.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BenchClient.h"
#include "endpoint/HttpResponseWriter.h"
#include "endpoint/HttpServer.h"
#include "endpoint/fuReportServer.h"
#include "platform/Exceptions.h"
#include "platform/Mutex.h"
#include "platform/Socket.h"

namespace {

using namespace trs;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const std::string Request = "GET /?Get=IsPrinting HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n";
const std::string Answer = FormatHttpResponse({200, "0"});

struct TOptions {
  int Requests = 2000;   // sequential requests per round and server
  double Seconds = 1.5;  // concurrent run length per round and server
  int Clients = 8;
  int Rounds = 5;
};

// One-thread accept/read/answer/close loop; its destructor wakes and ends it.
class TFloorServer {
 public:
  TFloorServer() : Listener(ListenTcp("127.0.0.1", 0, true)), Thread([this] { Run(); }) {}
  ~TFloorServer() {
    Waiter.Wake();
    Thread.join();
  }
  int Port() const { return Listener.LocalPort(); }

 private:
  void Run() {
    std::vector<TSocket*> listeners{&Listener};
    std::vector<size_t> ready;
    char buffer[4096];
    while (Waiter.Wait(listeners, ready)) {
      for (TSocket socket = Listener.Accept(); socket.Valid(); socket = Listener.Accept()) {
        std::string got;
        while (got.find("\r\n\r\n") == std::string::npos) {
          const TSocketReceive r = socket.Receive(buffer, sizeof buffer);
          if (r.Kind != TSocketReceive::Data) break;
          got.append(buffer, r.Count);
        }
        socket.SendAll(Answer);
      }
    }
  }

  TSocket Listener;
  TSocketWaiter Waiter;
  std::thread Thread;
};

// Debian's nginx in a directory of its own: 2 workers, keep-alive off, "0" for every request.
class TNginx {
 public:
  TNginx() {
    const char* binary = "/usr/sbin/nginx";
    if (!fs::exists(binary)) return;
    Dir = fs::temp_directory_path() / ("trs-bench-nginx-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
    {
      TSocket probe = ListenTcp("127.0.0.1", 0, true);  // a free port, given back to nginx
      PortNumber = probe.LocalPort();
    }
    const std::string dir = Dir.string();
    std::ofstream(Dir / "nginx.conf") << "worker_processes 2;\ndaemon off;\npid " << dir << "/nginx.pid;\n"
        << "error_log " << dir << "/error.log;\nevents { worker_connections 4096; }\n"
        << "http {\n  access_log off;\n  keepalive_timeout 0;\n"
        << "  client_body_temp_path " << dir << "/body;\n  proxy_temp_path " << dir << "/proxy;\n"
        << "  fastcgi_temp_path " << dir << "/fastcgi;\n  uwsgi_temp_path " << dir << "/uwsgi;\n"
        << "  scgi_temp_path " << dir << "/scgi;\n"
        << "  server {\n    listen 127.0.0.1:" << PortNumber << ";\n"
        << "    location / { default_type text/html; add_header Access-Control-Allow-Origin *; return 200 \"0\"; }\n"
        << "  }\n}\n";
    Pid = ::fork();
    if (Pid == 0) {
      ::execl(binary, binary, "-p", dir.c_str(), "-e", (dir + "/error.log").c_str(), "-c",
              (dir + "/nginx.conf").c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int wait = 0; wait < 200; ++wait) {
      if (ConnectTcp("127.0.0.1", PortNumber).Valid()) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::fprintf(stderr, "nginx did not start; see %s/error.log\n", dir.c_str());
    Stop();
  }
  ~TNginx() {
    Stop();
    std::error_code ignored;
    if (!Dir.empty()) fs::remove_all(Dir, ignored);
  }
  bool Running() const { return Pid > 0; }
  int Port() const { return PortNumber; }

 private:
  void Stop() {
    if (Pid <= 0) return;
    ::kill(Pid, SIGQUIT);
    ::waitpid(Pid, nullptr, 0);
    Pid = -1;
  }

  fs::path Dir;
  pid_t Pid = -1;
  int PortNumber = 0;
};

// Connections that each hold a request head open, a byte at a time, reconnecting when the
// server closes one.
class TSlowClients {
 public:
  TSlowClients(int port, int count) : Port(port) {
    for (int i = 0; i < count; ++i) Clients.push_back(Open());
    if (count > 0) Thread = std::thread([this] { Run(); });
  }
  ~TSlowClients() {
    {
      TLockGuard lock(Mutex);
      Quit = true;
    }
    Changed.NotifyAll();
    if (Thread.joinable()) Thread.join();
  }
  long Reconnects() const { return Reopened.load(); }

 private:
  TSocket Open() {
    TSocket socket = ConnectTcp("127.0.0.1", Port);
    if (socket.Valid()) socket.SendAll("GET /?Get=IsPrinting HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
    return socket;
  }
  void Run() {
    char buffer[4096];
    for (;;) {
      {
        TLockGuard lock(Mutex);
        if (Changed.WaitFor(Mutex, std::chrono::milliseconds(500), [this]() TRS_REQUIRES(Mutex) { return Quit; }))
          return;
      }
      for (TSocket& client : Clients) {
        // Anything from the server (a 408) or its close means the connection is lost.
        const bool lost = !client.Valid() || client.Receive(buffer, sizeof buffer, false).Kind != TSocketReceive::TimedOut ||
                          !client.SendAll("x");
        if (lost) {
          client = Open();
          ++Reopened;
        }
      }
    }
  }

  const int Port;
  std::vector<TSocket> Clients;
  std::atomic<long> Reopened{0};
  TMutex Mutex;
  TConditionVariable Changed;
  bool Quit TRS_GUARDED_BY(Mutex) = false;
  std::thread Thread;
};

struct TServer {
  const char* Name;
  int Port;
  std::function<bool(const std::string&)> AnswerIsRight;
};

bool OneRequest(const TServer& server) { return server.AnswerIsRight(bench::Fetch(server.Port, Request)); }

struct TSequential {
  double P50Us, P99Us, PerSecond;
};

// The servers' sequential runs, interleaved in blocks of requests, so that all meet the same
// machine: on a small VM the scheduler drifts between phases where waking a thread on the
// other CPU is cheap and phases where it costs more than the request, and a server measured
// whole, after the other, can land in either.
constexpr int SequentialBlock = 10;

std::vector<TSequential> RunSequential(const std::vector<TServer>& servers, int requests, int& errors) {
  std::vector<std::vector<double>> latencies(servers.size());
  std::vector<double> seconds(servers.size(), 0);
  for (int done = 0; done < requests; done += SequentialBlock) {
    for (size_t which = 0; which < servers.size(); ++which) {
      const auto blockStart = Clock::now();
      for (int i = done; i < std::min(requests, done + SequentialBlock); ++i) {
        const auto begin = Clock::now();
        errors += !OneRequest(servers[which]);
        latencies[which].push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
      }
      seconds[which] += std::chrono::duration<double>(Clock::now() - blockStart).count();
    }
  }
  std::vector<TSequential> result;
  for (size_t which = 0; which < servers.size(); ++which) {
    std::vector<double>& sorted = latencies[which];
    std::sort(sorted.begin(), sorted.end());
    result.push_back({sorted[sorted.size() / 2], sorted[sorted.size() * 99 / 100], requests / seconds[which]});
  }
  return result;
}

// Requests answered in `seconds` by `clients` threads each sending one request at a time.
long RunConcurrentSlice(const TServer& server, int clients, double seconds, int& errors) {
  std::atomic<long> done{0};
  std::atomic<int> failed{0};
  const auto until = Clock::now() + std::chrono::duration<double>(seconds);
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c)
    threads.emplace_back([&] {
      while (Clock::now() < until) {
        failed += !OneRequest(server);
        ++done;
      }
    });
  for (std::thread& thread : threads) thread.join();
  errors += failed;
  return done;
}

// Each server's concurrent requests/s, the servers taking turns in short slices for the
// same reason as the sequential blocks.
constexpr double ConcurrentSlice = 0.25;

std::vector<double> RunConcurrent(const std::vector<TServer>& servers, int clients, double seconds, int& errors) {
  std::vector<long> done(servers.size(), 0);
  std::vector<double> spent(servers.size(), 0);
  for (double elapsed = 0; elapsed < seconds; elapsed += ConcurrentSlice) {
    for (size_t which = 0; which < servers.size(); ++which) {
      const auto start = Clock::now();
      done[which] += RunConcurrentSlice(servers[which], clients, ConcurrentSlice, errors);
      spent[which] += std::chrono::duration<double>(Clock::now() - start).count();
    }
  }
  std::vector<double> perSecond;
  for (size_t which = 0; which < servers.size(); ++which) perSecond.push_back(static_cast<double>(done[which]) / spent[which]);
  return perSecond;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  const auto usage = [] {
    std::fprintf(stderr, "usage: bench_http [--requests N] [--seconds S] [--clients C] [--rounds R]\n");
    std::exit(2);
  };
  if (argc % 2 == 0) usage();
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const double value = std::atof(argv[i + 1]);
    if (name == "--requests") options.Requests = std::max(100, static_cast<int>(value));
    else if (name == "--seconds") options.Seconds = std::max(0.1, value);
    else if (name == "--clients") options.Clients = std::max(1, static_cast<int>(value));
    else if (name == "--rounds") options.Rounds = std::max(1, static_cast<int>(value));
    else usage();
  }
  return options;
}

// Medians of one scenario, per server in the order given.
struct TFigures {
  std::vector<double> P50, P99, Sequential, Concurrent;
};

TFigures Measure(const std::vector<TServer>& servers, const TOptions& options, int& errors) {
  std::vector<std::vector<double>> p50(servers.size()), p99(servers.size()), seq(servers.size()), conc(servers.size());
  for (int round = 0; round < options.Rounds; ++round) {
    const std::vector<TSequential> sequential = RunSequential(servers, options.Requests, errors);
    for (size_t which = 0; which < servers.size(); ++which) {
      p50[which].push_back(sequential[which].P50Us);
      p99[which].push_back(sequential[which].P99Us);
      seq[which].push_back(sequential[which].PerSecond);
    }
    const std::vector<double> concurrent = RunConcurrent(servers, options.Clients, options.Seconds, errors);
    for (size_t which = 0; which < servers.size(); ++which) conc[which].push_back(concurrent[which]);
  }
  TFigures figures;
  for (size_t which = 0; which < servers.size(); ++which) {
    figures.P50.push_back(Median(p50[which]));
    figures.P99.push_back(Median(p99[which]));
    figures.Sequential.push_back(Median(seq[which]));
    figures.Concurrent.push_back(Median(conc[which]));
  }
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  const TOptions options = ParseOptions(argc, argv);
  // The endpoint and 1,000 slow clients live in this process: two handles each.
  RaiseHandleLimit(8192);
  TFloorServer floor;
  TNginx nginx;
  // The real endpoint, listening as the program does (loopback, IPv4 and IPv6).
  TReportServer server(0);
  // The HTTP layer alone (the same server with a handler that answers "0" at once): what the
  // transport costs without the driver dispatch.
  THttpServer layer([](const THttpRequest&, THttpResponse& response) { response.Content = "0"; });
  layer.AddBinding("127.0.0.1", 0);
  layer.Start();
  const auto exact = [](const std::string& reply) { return reply == Answer; };
  std::vector<TServer> servers = {{"floor", floor.Port(), exact},
                                  {"endpoint", server.BoundPorts().at(0), exact},
                                  {"layer", layer.BoundPorts().at(0), exact}};
  if (nginx.Running())
    servers.push_back({"nginx", nginx.Port(), [](const std::string& reply) {
                         return reply.rfind("HTTP/1.1 200 OK\r\n", 0) == 0 && reply.size() > 4 &&
                                reply.compare(reply.size() - 5, 5, "\r\n\r\n0") == 0;
                       }});

  int errors = 0;
  for (int i = 0; i < 200; ++i)
    for (const TServer& s : servers) errors += !OneRequest(s);  // warm-up

  std::printf("bench_http: %d sequential requests and %.1f s of %d concurrent clients per round and server, "
              "%d rounds (medians)%s\n",
              options.Requests, options.Seconds, options.Clients, options.Rounds,
              nginx.Running() ? "" : "; nginx not installed (bench/setup.sh), its columns are left out");
  std::printf("%-34s %10s %10s %8s %10s %8s", "", "floor", "endpoint", "/floor", "layer", "/floor");
  if (nginx.Running()) std::printf(" %10s %8s", "nginx", "/nginx");
  std::printf("\n");
  // Ratios: the endpoint (or the layer) relative to the reference, higher is better (latency
  // inverted).
  const auto row = [&](const std::string& name, const std::vector<double>& values, bool higherIsBetter) {
    const auto ratio = [&](double value, double reference) {
      return higherIsBetter ? value / reference : reference / value;
    };
    std::printf("%-34s %10.1f %10.1f %7.2fx %10.1f %7.2fx", name.c_str(), values[0], values[1],
                ratio(values[1], values[0]), values[2], ratio(values[2], values[0]));
    if (values.size() > 3) std::printf(" %10.1f %7.2fx", values[3], ratio(values[1], values[3]));
    std::printf("\n");
  };
  long reconnects = 0;
  for (const int slow : {0, 64, 1000}) {
    TSlowClients held(servers[1].Port, slow);
    const TFigures figures = Measure(servers, options, errors);
    reconnects += held.Reconnects();
    const std::string suffix = Format(", %d slow", slow);
    row("sequential p50 latency (us)" + suffix, figures.P50, false);
    row("sequential p99 latency (us)" + suffix, figures.P99, false);
    row("sequential requests/s" + suffix, figures.Sequential, true);
    row(Format("%d clients requests/s", options.Clients) + suffix, figures.Concurrent, true);
  }
  std::printf("(slow clients are held by the endpoint only; the floor, the layer and nginx serve none. Failed requests: %d; "
              "slow clients closed by their deadline and reconnected: %ld)\n",
              errors, reconnects);
  return errors == 0 ? 0 : 1;
}
