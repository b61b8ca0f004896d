// What stands in for printers and displays in tests: a pty pair for a device file or a
// serial line, a TCP listener for a printer's raw port, and a private CUPS server. Every
// wait has a time limit.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace trs::test {

using namespace std::chrono_literals;

// A pseudo-terminal: the engine opens DevicePath() as it would /dev/ttyUSB0 or
// /dev/usb/lp0; the test reads what arrived on the other side.
class TPtyPair {
 public:
  TPtyPair();
  ~TPtyPair();
  TPtyPair(const TPtyPair&) = delete;
  TPtyPair& operator=(const TPtyPair&) = delete;

  std::string DevicePath() const { return Path; }
  // What arrived until `count` bytes are there or `limit` has passed.
  std::string Read(size_t count, std::chrono::milliseconds limit = 3000ms) const;
  // What arrived until nothing more comes for `quiet` (at most `limit` in all).
  std::string ReadAll(std::chrono::milliseconds quiet = 200ms, std::chrono::milliseconds limit = 3000ms) const;
  // The line speed the engine set on the device side.
  int OutputBaud() const;

 private:
  int Master = -1;
  int Slave = -1;  // kept open so the pty lives between the engine's opens
  std::string Path;
};

// A listener on 127.0.0.1 that takes one connection and keeps all it receives.
class TRawPortListener {
 public:
  TRawPortListener();
  ~TRawPortListener();
  TRawPortListener(const TRawPortListener&) = delete;
  TRawPortListener& operator=(const TRawPortListener&) = delete;

  int Port() const { return PortNumber; }
  // The bytes of the next connection, once its sender closes it; "" after `limit`.
  std::string Receive(std::chrono::milliseconds limit = 5000ms) const;

 private:
  int Socket = -1;
  int PortNumber = 0;
};

// cupsd with its configuration, spool and logs in a temporary folder, reached through a
// domain socket there (CUPS_SERVER is set for the test process while it lives).
class TPrivateCups {
 public:
  TPrivateCups();
  ~TPrivateCups();
  TPrivateCups(const TPrivateCups&) = delete;
  TPrivateCups& operator=(const TPrivateCups&) = delete;

  static bool Available();
  // A raw queue whose device is socket://127.0.0.1:port.
  void AddRawQueue(const std::string& name, int port) const;
  std::string Socket() const { return (Root / "cups.sock").string(); }

 private:
  std::filesystem::path Root;
  int Pid = -1;
};

// Runs a program with arguments and answers its standard output ("" when it failed).
std::string RunForOutput(const std::string& commandLine);

}  // namespace trs::test
