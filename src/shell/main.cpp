// Program entry. Until the tray shell exists the program runs headless: it serves requests
// until SIGINT or SIGTERM, then stops the server and frees it.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "endpoint/fuReportServer.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/ProgramFile.h"
#include "platform/Text.h"

namespace {

// Blocks the stop signals in every thread (threads inherit the mask), so that the main
// thread alone takes them in sigwait.
sigset_t BlockStopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  return signals;
}

// TALLYREPORTSRV_PORT starts the service on another port (0: any free port); tests use it
// to run beside an installed copy.
std::optional<int> PortFromEnvironment() {
  const char* text = std::getenv("TALLYREPORTSRV_PORT");
  if (text == nullptr || *text == 0) return std::nullopt;
  return trs::StrToInt(text);
}

}  // namespace

int main() {
  trs::InitNarrowCodePage();
  const sigset_t stopSignals = BlockStopSignals();
  try {
    auto server = std::make_unique<trs::TReportServer>(
        PortFromEnvironment().value_or(trs::TReportServer::DefaultPort));
    std::vector<int> bound = server->BoundPorts();
    bound.erase(std::unique(bound.begin(), bound.end()), bound.end());  // IPv4 and IPv6 share it
    std::string ports;
    for (int port : bound) ports += (ports.empty() ? "" : ",") + std::to_string(port);
    std::printf("TallyReportSrv listening on port %s (program directory %s)\n", ports.c_str(),
                trs::ProgramDirectory().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::printf("TallyReportSrv stopping (signal %d)\n", signal);
    std::fflush(stdout);
    server->Stop();
    server.reset();
    return EXIT_SUCCESS;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "TallyReportSrv: %s\n", error.what());
    return EXIT_FAILURE;
  }
}
