// POSIX sockets (Linux, BSD): the OS side of platform/Socket.h.
#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Exceptions.h"

#ifndef MSG_NOSIGNAL
#define MSG_NOSIGNAL 0  // BSDs: SO_NOSIGPIPE on the socket does the same job
#endif

namespace trs {

namespace {

int Fd(TSocket::TNative native) { return static_cast<int>(native); }

[[noreturn]] void ThrowSocketError(int error) {
  if (error == EADDRINUSE) throw Exception("Could not bind socket. Address and port are already in use.");
  throw Exception(Format("Socket Error # %d\n%s", error, std::strerror(error)));
}

void SuppressSigPipe([[maybe_unused]] int fd) {
#ifdef SO_NOSIGPIPE
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

// getaddrinfo for a stream socket; the caller frees the list. Empty address means "any IPv4".
addrinfo* Resolve(const std::string& address, int port, bool passive) {
  if (port < 0 || port > 65535) return nullptr;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
  const std::string service = std::to_string(port);
  const std::string host = address.empty() ? std::string("0.0.0.0") : address;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) return nullptr;
  return list;
}

void SetTimeout(int fd, int option, int milliseconds) {
  timeval tv{};
  if (milliseconds > 0) {
    tv.tv_sec = milliseconds / 1000;
    tv.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
  }
  setsockopt(fd, SOL_SOCKET, option, &tv, sizeof tv);
}

}  // namespace

void TSocket::Close() {
  if (Native != InvalidNative) ::close(Fd(Release()));
}

TSocketReceive TSocket::Receive(char* buffer, size_t size, bool wait) {
  for (;;) {
    const ssize_t n = ::recv(Fd(Native), buffer, size, wait ? 0 : MSG_DONTWAIT);
    if (n > 0) return {TSocketReceive::Data, static_cast<size_t>(n)};
    if (n == 0) return {TSocketReceive::Closed, 0};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {TSocketReceive::TimedOut, 0};
    return {TSocketReceive::Failed, 0};
  }
}

bool TSocket::SendAll(std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::send(Fd(Native), data.data(), data.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;  // gone, or the send timeout ran out
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

TSocketSend TSocket::SendSome(std::string_view data) {
  for (;;) {
    const ssize_t n = ::send(Fd(Native), data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return {false, static_cast<size_t>(n)};
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return {false, 0};
    return {true, 0};
  }
}

void TSocket::SetReceiveTimeout(int milliseconds) { SetTimeout(Fd(Native), SO_RCVTIMEO, milliseconds); }
void TSocket::SetSendTimeout(int milliseconds) { SetTimeout(Fd(Native), SO_SNDTIMEO, milliseconds); }

void TSocket::ShutdownWrite() { ::shutdown(Fd(Native), SHUT_WR); }
void TSocket::ShutdownRead() { ::shutdown(Fd(Native), SHUT_RD); }
void TSocket::ShutdownBoth() { ::shutdown(Fd(Native), SHUT_RDWR); }

TSocket TSocket::Accept(bool* outOfHandles) {
  if (outOfHandles != nullptr) *outOfHandles = false;
  for (;;) {
#ifdef __linux__
    const int fd = ::accept4(Fd(Native), nullptr, nullptr, SOCK_CLOEXEC);
#else
    const int fd = ::accept(Fd(Native), nullptr, nullptr);
    if (fd >= 0) {
      fcntl(fd, F_SETFD, FD_CLOEXEC);
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // BSDs inherit it from the listener
    }
#endif
    if (fd >= 0) {
      SuppressSigPipe(fd);
      return TSocket(fd);
    }
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (outOfHandles != nullptr) *outOfHandles = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
    return TSocket();
  }
}

void TSocket::SetAcceptWaits(bool wait) {
  const int fd = Fd(Native);
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, wait ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

// Linux stops a listener on a read shutdown: the queue is reset, the socket refuses
// connections, and every accept waiting on it (or made later) fails with EINVAL.
void TSocket::StopAccepting() { ::shutdown(Fd(Native), SHUT_RD); }

// The read shutdown above wakes them on Linux, the one POSIX system this file is built for
// (other systems differ in what a shutdown does to a listener).
bool AcceptWaitsCanBeStopped() { return true; }

int TSocket::LocalPort() const {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(Fd(Native), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return 0;
}

TSocket ListenTcp(const std::string& address, int port, bool reuseAddress) {
  addrinfo* list = Resolve(address, port, true);
  if (list == nullptr) ThrowSocketError(port < 0 || port > 65535 ? EINVAL : EADDRNOTAVAIL);
  const addrinfo info = *list;
  sockaddr_storage bindAddress{};
  std::memcpy(&bindAddress, list->ai_addr, list->ai_addrlen);
  freeaddrinfo(list);

  TSocket socket(::socket(info.ai_family, info.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, info.ai_protocol));
  if (!socket.Valid()) ThrowSocketError(errno);
  const int fd = Fd(socket.Handle());
  const int on = 1;
  if (reuseAddress) setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  // An IPv6 binding covers only IPv6, so that 0.0.0.0 and :: (or 127.0.0.1 and ::1) on the
  // same port are two separate bindings, as they are on Windows.
  if (info.ai_family == AF_INET6) setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&bindAddress), info.ai_addrlen) != 0) ThrowSocketError(errno);
  if (::listen(fd, SOMAXCONN) != 0) ThrowSocketError(errno);
  return socket;
}

TSocket ConnectTcp(const std::string& address, int port) {
  addrinfo* list = Resolve(address, port, false);
  if (list == nullptr) return TSocket();
  TSocket socket(::socket(list->ai_family, list->ai_socktype | SOCK_CLOEXEC, list->ai_protocol));
  if (socket.Valid()) {
    SuppressSigPipe(Fd(socket.Handle()));
    if (::connect(Fd(socket.Handle()), list->ai_addr, list->ai_addrlen) != 0) socket.Close();
  }
  freeaddrinfo(list);
  return socket;
}

bool LoopbackIpv6Available() {
  TSocket socket(::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.Valid()) return false;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  return ::bind(Fd(socket.Handle()), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

size_t RaiseHandleLimit(size_t wanted) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? wanted : std::min<rlim_t>(wanted, limit.rlim_max);
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur == RLIM_INFINITY ? wanted : static_cast<size_t>(limit.rlim_cur);
}

TSocketWaiter::TSocketWaiter() {
  int fds[2];
#ifdef __linux__
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) ThrowSocketError(errno);
#else
  if (::pipe(fds) != 0) ThrowSocketError(errno);
  for (const int fd : fds) {
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(fd, F_SETFL, O_NONBLOCK);
  }
#endif
  WakeRead = fds[0];
  WakeWrite = fds[1];
}

TSocketWaiter::~TSocketWaiter() {
  ::close(Fd(WakeRead));
  ::close(Fd(WakeWrite));
}

bool TSocketWaiter::Wait(const std::vector<TSocket*>& sockets, std::vector<size_t>& ready) {
  std::vector<pollfd> fds;
  fds.reserve(sockets.size() + 1);
  for (const TSocket* socket : sockets) fds.push_back({Fd(socket->Handle()), POLLIN, 0});
  fds.push_back({Fd(WakeRead), POLLIN, 0});
  for (;;) {
    ready.clear();
    const int n = ::poll(fds.data(), static_cast<nfds_t>(fds.size()), -1);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowSocketError(errno);
    }
    // The wake byte is never read, so the pipe stays readable: the wake is sticky.
    if (fds.back().revents != 0) return false;
    for (size_t i = 0; i + 1 < fds.size(); ++i)
      if (fds[i].revents != 0) ready.push_back(i);
    if (!ready.empty()) return true;
  }
}

void TSocketWaiter::Wake() {
  const char byte = 1;
  // A full pipe already holds a wake, so a failed write loses nothing.
  [[maybe_unused]] const ssize_t n = ::write(Fd(WakeWrite), &byte, 1);
}

}  // namespace trs
