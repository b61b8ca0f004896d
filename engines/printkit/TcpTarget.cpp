// Raw jobs over TCP, as to a printer's port 9100.
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "FileDescriptor.h"
#include "PrintTarget.h"

namespace printkit {

namespace {

struct TAddressListFree {
  void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

// A connected socket to one of `addresses`, or an invalid one with `error` set.
TFileDescriptor ConnectBefore(const addrinfo* address, TDeadline deadline, std::string& error) {
  TFileDescriptor socket(::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                  address->ai_protocol));
  if (!socket.Valid()) {
    error = std::strerror(errno);
    return {};
  }
  if (::connect(socket.Get(), address->ai_addr, address->ai_addrlen) == 0) return socket;
  if (errno != EINPROGRESS) {
    error = std::strerror(errno);
    return {};
  }
  pollfd ready{socket.Get(), POLLOUT, 0};
  if (::poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) {
    error = "no connection within the time limit";
    return {};
  }
  int status = 0;
  socklen_t length = sizeof status;
  ::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &status, &length);
  if (status != 0) {
    error = std::strerror(status);
    return {};
  }
  return socket;
}

}  // namespace

std::string DeliverToTcp(const std::string& hostAndPort, const std::string& bytes, std::chrono::milliseconds limit) {
  const TDeadline deadline = std::chrono::steady_clock::now() + limit;
  const std::string where = "tcp://" + hostAndPort;
  const size_t colon = hostAndPort.rfind(':');
  std::string host = hostAndPort.substr(0, colon);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const std::string port = hostAndPort.substr(colon + 1);

  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int status = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &found); status != 0)
    throw TPrintError("cannot resolve " + where + ": " + ::gai_strerror(status));
  const std::unique_ptr<addrinfo, TAddressListFree> addresses(found);

  std::string error = "no address";
  for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
    TFileDescriptor socket = ConnectBefore(address, deadline, error);
    if (!socket.Valid()) continue;
    WriteAllBefore(socket.Get(), bytes, deadline, where);
    ::shutdown(socket.Get(), SHUT_WR);
    return where;
  }
  throw TPrintError("cannot connect to " + where + ": " + error);
}

}  // namespace printkit
