// The tray window's work without its widgets.
#include "shell/ServiceShell.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "desktop/ProgramVersion.h"
#include "endpoint/fuReportServer.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "shell/ConfigFile.h"
#include "shell/ProgramStart.h"

namespace trs {

namespace {

// LISTEN is read only from an existing CONFIG.CFG: a missing file is reported once, by the
// PORT lookup that follows.
std::string ConfiguredListenAddress() {
  std::error_code ignored;
  if (!std::filesystem::exists(ConfigFileName(), ignored)) return "";
  return std::string(Trim(GetConfig("LISTEN")));
}

}  // namespace

int PortNumber(std::string_view text) {
  const int port = StrToInt(text);
  // The listening layer would refuse it with a bare system error number ("Socket Error #
  // 22"); port 0 would listen on a port that no page knows.
  if (port < 1 || port > 65535)
    throw EConvertError("Port " + std::to_string(port) + " is out of range (1 to 65535)");
  return port;
}

TServiceShell::TServiceShell() = default;
TServiceShell::~TServiceShell() = default;

void TServiceShell::CreateServer(int initialPort) {
  ReportServer = std::make_unique<TReportServer>(initialPort, ConfiguredListenAddress());
  if (const std::optional<uint64_t> limit = RequestMemoryLimit()) ReportServer->SetMaxRequestMemory(*limit);
}

std::optional<std::string> TServiceShell::LoadPort() {
  const std::string value = GetConfig("PORT");
  const std::string trimmed(Trim(value));
  if (trimmed.empty()) return std::nullopt;
  ReportServer->SetPort(PortNumber(trimmed));
  return trimmed;
}

void TServiceShell::ChangePort(const std::string& portText) {
  const int port = PortNumber(portText);
  ReportServer->SetPort(port);
  SetConfig("PORT", portText);
}

void TServiceShell::Stop() {
  if (ReportServer) ReportServer->Stop();
}

std::string TServiceShell::ListeningPortsText() const {
  if (!ReportServer || !ReportServer->Listening()) return "";
  // In binding order (IPv4 first); with a fixed port IPv4 and IPv6 share the number.
  std::vector<int> ports = ReportServer->BoundPorts();
  ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
  std::string text;
  for (int port : ports) text += (text.empty() ? "" : ",") + std::to_string(port);
  return text;
}

std::string getVersion() { return ProgramVersionText(); }

}  // namespace trs
