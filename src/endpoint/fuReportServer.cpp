// The command endpoint: request parameters to driver calls, driver text to the response.
#include "endpoint/fuReportServer.h"

#include <algorithm>

#include "drivers/DataDirectory.h"
#include "drivers/DriverTable.h"
#include "endpoint/HttpServer.h"
#include "endpoint/ReportHostProbe.h"
#include "platform/Convert.h"
#include "platform/InternetZone.h"
#include "platform/ProgramFile.h"
#include "platform/Socket.h"

namespace trs {

TReportServer::TReportServer(int port, std::string listenAddress)
    : Server(std::make_unique<THttpServer>(
          [this](const THttpRequest& request, THttpResponse& response) {
            HandleCommand(request, response);
          })),
      Drivers(CreateDrivers()),
      ListenAddress(std::move(listenAddress)) {
  ReportV10 = DriverOfType(ReportV10Type);
  ReportV11 = DriverOfType(ReportV11Type);
  Express = DriverOfType(ExpressType);
  // Saves cut short by an earlier crash left their new files behind; none of ours runs yet.
  RemoveStaleSaves();
  // Pages on other sites may read our answers (a no-op where the system has no such zone);
  // a failure stops the start-up.
  AllowCrossDomainDataAccess();
  // A control that is missing or fails its probe is logged; start-up goes on. The control
  // is a library in the program's directory on every platform: there is nothing to register.
  ProbeReportHost(ProgramDirectory());
  // Listening starts once every driver exists, so no request can reach a half-built server.
  ListenOn(port);
}

TReportServer::~TReportServer() {
  // The server goes first: its destructor waits for the requests in flight, which may still
  // be using the drivers.
  Server.reset();
  for (TDriverEntry& entry : Drivers) entry.Driver.reset();  // in creation order
}

void TReportServer::SetPort(int port) {
  Port = port;
  ListenOn(port);
}

void TReportServer::ListenOn(int port) {
  // Already listening there (CONFIG.CFG names the port we started on): a restart would only
  // reset connections on their way in.
  const std::vector<int> bound = Server->BoundPorts();
  if (Server->Active() && port != 0 && !bound.empty() &&
      std::all_of(bound.begin(), bound.end(), [port](int p) { return p == port; }))
    return;
  // A real move: the old port stops taking connections, while those it already took are
  // served to the end.
  Server->StopListening();
  Server->SetReuseAddress(true);
  Server->ClearBindings();
  if (!ListenAddress.empty()) {
    Server->AddBinding(ListenAddress, port);  // the owner chose it in CONFIG.CFG
  } else {
    // Loopback by default: a print service must not take commands from other machines.
    Server->AddBinding("127.0.0.1", port);
    if (LoopbackIpv6Available()) Server->AddBinding("::1", port);
  }
  Server->Start();
}

void TReportServer::SetMaxRequestMemory(uint64_t bytes) { Server->SetMaxRequestMemory(bytes); }

void TReportServer::Stop() { Server->Stop(); }

bool TReportServer::Listening() const { return Server->Active(); }

std::vector<int> TReportServer::BoundPorts() const { return Server->BoundPorts(); }

void TReportServer::HandleCommand(const THttpRequest& request, THttpResponse& response) {
  const WideString type = LowerAscii(ParamValue(request.Params, "type"));
  WideString result;
  if (TReportBase* driver = DriverOfType(type.empty() ? std::u16string_view(ReportV10Type) : type))
    result = DispatchToDriver(*driver, request);
  response.Content = EncodeUtf8Result(result);
}

TReportBase* TReportServer::DriverOfType(std::u16string_view type) const {
  for (const TDriverEntry& entry : Drivers)
    if (entry.Type == type) return entry.Driver.get();
  return nullptr;
}

WideString TReportServer::DispatchToDriver(TReportBase& driver, const THttpRequest& request) {
  // Each call holds the lock of the driver it runs on, so a driver sees one call at a time.
  WideString result;
  if (const WideString method = ParamValue(request.Params, "Method"); !method.empty()) {
    const std::pair<std::string, std::string> command = SplitCommand(method);
    const std::string name = LowerAscii(command.first);
    // Three methods take their data from the request body rather than the argument text.
    if (name == "loaddatafromquill3") {
      const WideString body = DecodeUtf8Body(request.RawBody);
      // The V10 driver takes its own report data; every other type hands it to V11.
      TReportBase& target = &driver == ReportV10 ? *ReportV10 : *ReportV11;
      TLockGuard guard(target.CallLock);
      result = NarrowToWide(IntToStr(target.LoadDataFromQuill3(body, 0)));
    } else if (name == "loaddatafromjson") {
      const WideString body = DecodeUtf8Body(request.RawBody);
      TLockGuard guard(Express->CallLock);
      result = NarrowToWide(IntToStr(Express->LoadDataFromJson(body)));
    } else if (name == "setproducttag") {
      const std::string tag = WideToNarrow(DecodeUtf8Body(request.RawBody));
      TLockGuard guard(driver.CallLock);
      driver.SetProductTag(tag);
    } else {
      TLockGuard guard(driver.CallLock);
      result = driver.InvokeMethod(name, command.second);
    }
  }
  if (const WideString set = ParamValue(request.Params, "Set"); !set.empty()) {
    const std::pair<std::string, std::string> property = SplitCommand(set);
    TLockGuard guard(driver.CallLock);
    driver.SetProperty(LowerAscii(property.first), property.second);
  }
  if (const WideString get = ParamValue(request.Params, "Get"); !get.empty()) {
    const std::string name = LowerAscii(SplitCommand(get).first);
    if (std::optional<WideString> answer = driver.GetPropertyWithoutWaiting(name)) {
      result = std::move(*answer);
    } else {
      TLockGuard guard(driver.CallLock);
      result = driver.GetProperty(name);
    }
  }
  return result;
}

WideString ParamValue(const std::vector<std::string>& paramLines, std::string_view name) {
  const WideString wanted = LowerAscii(NarrowToWide(name));
  for (const std::string& line : paramLines) {
    const WideString wide = NarrowToWide(line);
    const std::u16string_view text(wide);
    const size_t equals = text.find(u'=');
    const std::u16string_view lineName = equals == std::u16string_view::npos ? std::u16string_view() : Trim(text.substr(0, equals));
    if (LowerAscii(lineName) == wanted)
      return WideString(Trim(equals == std::u16string_view::npos ? text : text.substr(equals + 1)));
  }
  return WideString();
}

std::pair<std::string, std::string> SplitCommand(std::u16string_view text) {
  const size_t colon = text.find(u':');
  if (colon == std::u16string_view::npos) return {WideToNarrow(text), std::string()};
  return {WideToNarrow(Trim(text.substr(0, colon))), WideToNarrow(Trim(text.substr(colon + 1)))};
}

}  // namespace trs
