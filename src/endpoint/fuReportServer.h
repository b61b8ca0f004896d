// The command endpoint: turns each HTTP request into at most three calls on one driver
// (Method, Set, Get) and answers with the driver's text as UTF-8.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Text.h"

namespace trs {

class THttpServer;
struct THttpRequest;
struct THttpResponse;
class TReportBase;
struct TDriverEntry;

// Owns the HTTP server and the six drivers. The server listens from the end of the
// constructor until Stop, a SetPort to another port, or the destructor. Requests run on the HTTP
// layer's connection threads; SetPort, Stop and the destructor belong to the caller's
// (user-interface) thread.
class TReportServer {
 public:
  static constexpr int DefaultPort = 8086;

  // Creates the drivers, removes what interrupted saves left in the data directories, and
  // starts listening on `port` (8086 in the program; tests pass 0 for a free one). A port that cannot be listened on ends construction with its error.
  // `listenAddress` empty means the loopback addresses (127.0.0.1, and ::1 where IPv6
  // exists); otherwise that one address (e.g. "0.0.0.0"), kept for later port changes.
  explicit TReportServer(int port = DefaultPort, std::string listenAddress = "");
  // Stops the server, then frees the server and the drivers in the order they were made.
  ~TReportServer();
  TReportServer(const TReportServer&) = delete;
  TReportServer& operator=(const TReportServer&) = delete;

  // Moves the server to another port: the old one stops taking connections, and requests it
  // took are still answered. The port already listened on changes nothing. If the new port
  // cannot be listened on, the server stays stopped and the error reaches the caller.
  void SetPort(int port);
  void Stop();
  bool Listening() const;
  // The most memory all requests being read may hold together; a body that would go beyond
  // it is answered 503.
  void SetMaxRequestMemory(uint64_t bytes);
  // The ports really listened on (differs from the asked port only for port 0).
  std::vector<int> BoundPorts() const;

  // The request handler of the HTTP server.
  void HandleCommand(const THttpRequest& request, THttpResponse& response);

 private:
  WideString DispatchToDriver(TReportBase& driver, const THttpRequest& request);
  // The driver of a lower-cased `type` (the empty type is the report V10 one), or nullptr.
  TReportBase* DriverOfType(std::u16string_view type) const;
  void ListenOn(int port);

  std::unique_ptr<THttpServer> Server;
  // The six drivers in creation order, each with the type that selects it.
  std::vector<TDriverEntry> Drivers;
  TReportBase* ReportV10 = nullptr;
  TReportBase* ReportV11 = nullptr;
  TReportBase* Express = nullptr;
  int Port = 0;
  std::string ListenAddress;
};

// The value of the first parameter line whose name matches (ASCII case ignored); lines are
// "name=value" in the narrow page, trimmed on both sides of the first "=". Empty when none.
WideString ParamValue(const std::vector<std::string>& paramLines, std::string_view name);

// Splits "name: argument text" at the first colon into the trimmed name and argument, both
// in the narrow page; without a colon the argument is empty.
std::pair<std::string, std::string> SplitCommand(std::u16string_view text);

}  // namespace trs
