// Start-up time and idle memory of the tray program on a private X desktop (Xvfb, openbox,
// trayer), beside a minimal Qt tray program measured in the same run; and of the headless
// service beside /bin/sleep.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/XvfbSession.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct TSample {
  double StartMs = 0;
  double ResidentMb = 0;
};

double ResidentMb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  return 0;
}

// Starts `program` with `environment` added, times the first line on its standard output
// (nullptr: no line to wait for), lets it idle for a second, reads its memory and ends it.
TSample Measure(const std::string& program, const std::vector<std::string>& environment,
                bool waitForLine) {
  int out[2];
  if (pipe(out) != 0) throw std::runtime_error("pipe");
  const Clock::time_point start = Clock::now();
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDERR_FILENO);
    close(out[0]);
    close(out[1]);
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    execl(program.c_str(), program.c_str(), "5", nullptr);
    _exit(127);
  }
  close(out[1]);
  TSample sample;
  if (waitForLine) {
    pollfd ready{out[0], POLLIN, 0};
    if (poll(&ready, 1, 20000) <= 0) throw std::runtime_error(program + " did not start");
    sample.StartMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
  std::this_thread::sleep_for(std::chrono::seconds(1));
  sample.ResidentMb = ResidentMb(child);
  kill(child, SIGTERM);
  waitpid(child, nullptr, 0);
  close(out[0]);
  return sample;
}

TSample Median(std::vector<TSample> samples) {
  auto middle = [&](auto field) {
    std::sort(samples.begin(), samples.end(),
              [&](const TSample& a, const TSample& b) { return a.*field < b.*field; });
    return samples[samples.size() / 2].*field;
  };
  return {middle(&TSample::StartMs), middle(&TSample::ResidentMb)};
}

void PrintRow(const char* name, const TSample& sample, bool withStart) {
  if (withStart)
    std::printf("  %-40s %8.1f ms %8.1f MB\n", name, sample.StartMs, sample.ResidentMb);
  else
    std::printf("  %-40s %11s %8.1f MB\n", name, "", sample.ResidentMb);
}

}  // namespace

int main() {
  const int rounds = 5;
  const fs::path dir = fs::temp_directory_path() / ("trs-bench-tray-" + std::to_string(getpid()));
  fs::create_directories(dir / "data");
  fs::create_directories(dir / "runtime");
  fs::permissions(dir / "runtime", fs::perms::owner_all);
  const fs::path built = fs::path(TRS_PROGRAM_PATH).parent_path();
  fs::copy_file(TRS_PROGRAM_PATH, dir / "TallyReportSrv");
  fs::copy_file(built / "TallyReportSrv-desktop.so", dir / "TallyReportSrv-desktop.so");
  std::ofstream(dir / "CONFIG.CFG", std::ios::binary) << "PORT=\r\nLISTEN=\r\nEND\r\n";

  trs::TXvfbSession session;
  session.StartProgram({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                        "--height", "24", "--transparent", "false"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the tray takes its selection

  const std::vector<std::string> desktop = {
      "DISPLAY=" + session.DisplayName(), "XDG_RUNTIME_DIR=" + (dir / "runtime").string(),
      "TALLYREPORTSRV_PORT=0", "QT_QPA_PLATFORM=xcb", "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"};
  const std::vector<std::string> headless = {
      "DISPLAY=", "WAYLAND_DISPLAY=", "XDG_RUNTIME_DIR=" + (dir / "runtime").string(),
      "TALLYREPORTSRV_PORT=0"};

  std::vector<TSample> tray, minimal, service, sleeper;
  for (int round = 0; round < rounds; ++round) {  // interleaved, so both meet the same load
    tray.push_back(Measure((dir / "TallyReportSrv").string(), desktop, true));
    minimal.push_back(Measure(TRS_MINIMAL_TRAY_PATH, desktop, true));
    service.push_back(Measure((dir / "TallyReportSrv").string(), headless, true));
    sleeper.push_back(Measure("/bin/sleep", {}, false));
  }
  fs::remove_all(dir);

  std::printf("start-up until ready, and idle memory (RSS) after 1 s; medians of %d runs\n", rounds);
  std::printf("  %-40s %11s %11s\n", "", "start", "memory");
  PrintRow("tray program (Xvfb, openbox, trayer)", Median(tray), true);
  PrintRow("minimal Qt tray program (reference)", Median(minimal), true);
  PrintRow("headless service", Median(service), true);
  PrintRow("/bin/sleep (reference)", Median(sleeper), false);
  return 0;
}
