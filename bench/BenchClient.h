// A browser-style client for the benchmarks: one connection per request.
//
// The client ends each connection with a reset once it has the whole answer (SO_LINGER 0),
// so that no TIME_WAIT entry is left on either side. A run of tens of thousands of requests
// would otherwise fill the kernel's TIME_WAIT table, and every later packet would pay for
// the long hash chains: the figures would measure the table, not the servers.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdint>
#include <string>

namespace trs::bench {

// Sends `request` to 127.0.0.1:port and returns everything the server sent until it closed
// (empty on a connection failure).
inline std::string Fetch(int port, const std::string& request) {
  std::string reply;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return reply;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
    char buffer[4096];
    for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) reply.append(buffer, static_cast<size_t>(got));
  }
  const linger resetOnClose{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &resetOnClose, sizeof resetOnClose);
  ::close(fd);
  return reply;
}

}  // namespace trs::bench
