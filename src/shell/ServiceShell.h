// What the tray window does apart from its widgets: the endpoint's life, the port from
// CONFIG.CFG, port changes and the program's version text. The Qt form and the headless
// program both drive it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace trs {

class TReportServer;

class TServiceShell {
 public:
  // The text the port edit shows until CONFIG.CFG gives a port.
  static constexpr const char* DefaultPortText = "29709";

  TServiceShell();
  ~TServiceShell();
  TServiceShell(const TServiceShell&) = delete;
  TServiceShell& operator=(const TServiceShell&) = delete;

  // The first creation step of the form: the endpoint on `initialPort` (8086 in the
  // program), on the LISTEN address of CONFIG.CFG when it names one. Errors reach the caller.
  void CreateServer(int initialPort);

  // Reads PORT with GetConfig (adding an empty PORT line when missing). When the value,
  // trimmed, is not empty, the server moves to it and the trimmed value is returned for the
  // port edit (whole, whatever its length); otherwise nothing changes and nullopt is
  // returned. A value that is no port fails before the server is touched.
  std::optional<std::string> LoadPort();

  // The port button: the text as a port number, SetPort, then PORT := text in CONFIG.CFG;
  // stops at the first error, which reaches the caller. A text that is no port changes
  // nothing.
  void ChangePort(const std::string& portText);

  // Stops the endpoint (the exit menu item); the server object lives until the shell goes.
  void Stop();

  TReportServer* Server() const { return ReportServer.get(); }
  // The ports listened on now, as "8086" or "8086,8087"; empty when stopped.
  std::string ListeningPortsText() const;

 private:
  std::unique_ptr<TReportServer> ReportServer;
};

// The port number of a PORT value or of the port edit's text: the integer conversion's
// error for what is no number, EConvertError "Port N is out of range (1 to 65535)" for a
// number that is no TCP port.
int PortNumber(std::string_view text);

// The program file's version as "%d.%d.%d.%d"; empty when it carries none.
std::string getVersion();

}  // namespace trs
