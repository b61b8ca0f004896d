// Benchmark: the endpoint (TReportServer on its HTTP server) answering
// "GET /?Get=IsPrinting" one connection per request, as browsers call us, beside a floor
// server measured in the same run.
//
// The floor does the least an answer takes: one thread accepts, reads up to the empty line,
// writes a fixed 200 answer with the same headers and Connection: close, and closes. Both
// are measured sequentially (latency p50/p99 and requests/s; the two runs interleaved in
// blocks of requests) and with concurrent clients (requests/s); each figure is the median
// over the rounds.
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BenchClient.h"
#include "endpoint/HttpResponseWriter.h"
#include "endpoint/HttpServer.h"
#include "endpoint/fuReportServer.h"
#include "platform/Socket.h"

namespace {

using namespace trs;
using Clock = std::chrono::steady_clock;

const std::string Request = "GET /?Get=IsPrinting HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept: */*\r\n\r\n";
const std::string Answer = FormatHttpResponse({200, "0"});

struct TOptions {
  int Requests = 2000;   // sequential requests per round and server
  double Seconds = 1.5;  // concurrent run length per round and server
  int Clients = 8;
  int Rounds = 5;
};

// One-thread accept/read/answer/close loop; Stop() wakes it.
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

// One browser-style request: connect, send, read until the server closes. False on a wrong answer.
bool OneRequest(int port) { return bench::Fetch(port, Request) == Answer; }

struct TSequential {
  double P50Us, P99Us, PerSecond;
};

// Both servers' sequential runs, interleaved in blocks of requests, so that both meet the
// same machine: on a small VM the scheduler drifts between phases where waking a thread on
// the other CPU is cheap and phases where it costs more than the request, and a server
// measured whole, after the other, can land in either.
constexpr int SequentialBlock = 10;

std::array<TSequential, 2> RunSequential(const int (&ports)[2], int requests, int& errors) {
  std::array<std::vector<double>, 2> latencies;
  std::array<double, 2> seconds{0, 0};
  for (int done = 0; done < requests; done += SequentialBlock) {
    for (int which = 0; which < 2; ++which) {
      const auto blockStart = Clock::now();
      for (int i = done; i < std::min(requests, done + SequentialBlock); ++i) {
        const auto begin = Clock::now();
        errors += !OneRequest(ports[which]);
        latencies[which].push_back(std::chrono::duration<double, std::micro>(Clock::now() - begin).count());
      }
      seconds[which] += std::chrono::duration<double>(Clock::now() - blockStart).count();
    }
  }
  std::array<TSequential, 2> result;
  for (int which = 0; which < 2; ++which) {
    std::vector<double>& sorted = latencies[which];
    std::sort(sorted.begin(), sorted.end());
    result[which] = {sorted[sorted.size() / 2], sorted[sorted.size() * 99 / 100], requests / seconds[which]};
  }
  return result;
}

double RunConcurrent(int port, int clients, double seconds, int& errors) {
  std::atomic<long> done{0};
  std::atomic<int> failed{0};
  const auto until = Clock::now() + std::chrono::duration<double>(seconds);
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int c = 0; c < clients; ++c)
    threads.emplace_back([&] {
          while (Clock::now() < until) {
        failed += !OneRequest(port);
        ++done;
      }
    });
  for (std::thread& thread : threads) thread.join();
  errors += failed;
  return static_cast<double>(done) / std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const double value = std::atof(argv[i + 1]);
    if (name == "--requests") options.Requests = std::max(100, static_cast<int>(value));
    else if (name == "--seconds") options.Seconds = std::max(0.1, value);
    else if (name == "--clients") options.Clients = std::max(1, static_cast<int>(value));
    else if (name == "--rounds") options.Rounds = std::max(1, static_cast<int>(value));
    else {
      std::fprintf(stderr, "usage: bench_http [--requests N] [--seconds S] [--clients C] [--rounds R]\n");
      std::exit(2);
    }
  }
  if (argc % 2 == 0) {
    std::fprintf(stderr, "usage: bench_http [--requests N] [--seconds S] [--clients C] [--rounds R]\n");
    std::exit(2);
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const TOptions options = ParseOptions(argc, argv);
  TFloorServer floor;
  // The real endpoint, listening as the program does (loopback, IPv4 and IPv6).
  TReportServer server(0);
  const int serverPort = server.BoundPorts().at(0);

  int errors = 0;
  for (int i = 0; i < 200; ++i) errors += !OneRequest(floor.Port()) + !OneRequest(serverPort);  // warm-up

  std::vector<double> p50[2], p99[2], seq[2], conc[2];
  for (int round = 0; round < options.Rounds; ++round) {
    const int ports[2] = {floor.Port(), serverPort};
    const std::array<TSequential, 2> sequential = RunSequential(ports, options.Requests, errors);
    for (int which = 0; which < 2; ++which) {
      p50[which].push_back(sequential[which].P50Us);
      p99[which].push_back(sequential[which].P99Us);
      seq[which].push_back(sequential[which].PerSecond);
    }
    for (int which = 0; which < 2; ++which)
      conc[which].push_back(RunConcurrent(ports[which], options.Clients, options.Seconds, errors));
  }

  std::printf("bench_http: %d sequential requests and %.1f s of %d concurrent clients per round, %d rounds (medians)\n",
              options.Requests, options.Seconds, options.Clients, options.Rounds);
  std::printf("%-28s %12s %12s %8s\n", "", "floor", "endpoint", "ratio");
  const auto row = [](const char* name, double floorValue, double serverValue, bool higherIsBetter) {
    const double ratio = higherIsBetter ? serverValue / floorValue : floorValue / serverValue;
    std::printf("%-28s %12.1f %12.1f %7.2fx\n", name, floorValue, serverValue, ratio);
  };
  row("sequential p50 latency (us)", Median(p50[0]), Median(p50[1]), false);
  row("sequential p99 latency (us)", Median(p99[0]), Median(p99[1]), false);
  row("sequential requests/s", Median(seq[0]), Median(seq[1]), true);
  char name[64];
  std::snprintf(name, sizeof name, "%d clients requests/s", options.Clients);
  row(name, Median(conc[0]), Median(conc[1]), true);
  std::printf("(ratio: the endpoint relative to the floor, higher is better; failed requests: %d)\n", errors);
  return errors == 0 ? 0 : 1;
}
