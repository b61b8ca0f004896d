// The command endpoint: request parameters to driver calls, driver text to the response.
#include "endpoint/fuReportServer.h"

#include "drivers/fuBarcode.h"
#include "drivers/fuBillPrint.h"
#include "drivers/fuEshopReport.h"
#include "drivers/fuPosDriver.h"
#include "drivers/fuQuillReport.h"
#include "drivers/fuTallyReport.h"
#include "endpoint/HttpServer.h"
#include "platform/Convert.h"
#include "platform/Socket.h"

namespace trs {

TReportServer::TReportServer(int port, std::string listenAddress)
    : Server(std::make_unique<THttpServer>(
          [this](const THttpRequest& request, THttpResponse& response) {
            HandleCommand(request, response);
          })),
      ReportV10(std::make_unique<TTallyReport>()),
      ReportV11(std::make_unique<TQuillReport>()),
      Express(std::make_unique<TEShopReport>()),
      Barcode(std::make_unique<TBarcode>()),
      BillPrint(std::make_unique<TBillPrint>()),
      PosDriver(std::make_unique<TPosDriver>()),
      ListenAddress(std::move(listenAddress)) {
  // Listening starts once every driver exists, so no request can reach a half-built server.
  // (The Internet-zone setting and the control registration of the Windows program have no
  // counterpart here.)
  ListenOn(port);
}

TReportServer::~TReportServer() {
  // The server goes first: its destructor waits for the requests in flight, which may still
  // be using the drivers.
  Server.reset();
  ReportV10.reset();
  ReportV11.reset();
  Express.reset();
  Barcode.reset();
  BillPrint.reset();
  PosDriver.reset();
}

void TReportServer::SetPort(int port) {
  Port = port;
  ListenOn(port);
}

void TReportServer::ListenOn(int port) {
  // From a running server: stop first, so that the new port may be the old one.
  Server->Stop();
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

void TReportServer::Stop() { Server->Stop(); }

bool TReportServer::Listening() const { return Server->Active(); }

std::vector<int> TReportServer::BoundPorts() const { return Server->BoundPorts(); }

void TReportServer::HandleCommand(const THttpRequest& request, THttpResponse& response) {
  const WideString type = LowerAscii(ParamValue(request.Params, "type"));
  WideString result;
  if (type.empty() || type == u"reportv10") result = DispatchToDriver(*ReportV10, request);
  if (type == u"reportv11") result = DispatchToDriver(*ReportV11, request);
  if (type == u"express") result = DispatchToDriver(*Express, request);
  if (type == u"barcode") result = DispatchToDriver(*Barcode, request);
  if (type == u"billprint") result = DispatchToDriver(*BillPrint, request);
  if (type == u"posdriver") result = DispatchToDriver(*PosDriver, request);
  response.Content = EncodeUtf8Result(result);
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
      int answer;
      if (&driver == ReportV10.get()) {
        TLockGuard guard(ReportV10->CallLock);
        answer = ReportV10->LoadDataFromQuill3(body, 0);
      } else {
        TLockGuard guard(ReportV11->CallLock);
        answer = ReportV11->LoadDataFromQuill3(body, 0);
      }
      result = NarrowToWide(IntToStr(answer));
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
    TLockGuard guard(driver.CallLock);
    result = driver.GetProperty(name);
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
