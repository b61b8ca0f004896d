// Windows sockets (Winsock 2): the OS side of platform/Socket.h.
//
// Sockets are made overlapped-capable (WSA_FLAG_OVERLAPPED): without it Winsock ignores the
// receive and send timeouts. A blocking call in one thread is woken by CancelIoEx from
// another, since shutdown() alone does not wake it. Listeners use SO_EXCLUSIVEADDRUSE, so no
// other program can bind the same port beside the service.
#include "platform/Win32_win.h"  // first: the lean windows.h that Winsock builds on

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <mutex>

#include "platform/Exceptions.h"
#include "platform/Socket.h"

namespace trs {

namespace {

SOCKET Raw(TSocket::TNative native) { return static_cast<SOCKET>(native); }
TSocket::TNative Native(SOCKET socket) {
  return socket == INVALID_SOCKET ? TSocket::InvalidNative : static_cast<TSocket::TNative>(socket);
}

// Winsock is started once for the process, the first time a socket is made.
void StartWinsock() {
  static std::once_flag started;
  std::call_once(started, [] {
    WSADATA data;
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) throw Exception("Winsock cannot be started");
  });
}

[[noreturn]] void ThrowSocketError(int error) {
  // WSAEACCES: another socket holds the port exclusively.
  if (error == WSAEADDRINUSE || error == WSAEACCES)
    throw Exception("Could not bind socket. Address and port are already in use.");
  throw Exception(Format("Socket Error # %d\n%s", error, win32::SystemErrorText(static_cast<DWORD>(error)).c_str()));
}

SOCKET NewSocket(int family, int type, int protocol) {
  StartWinsock();
  return ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

void SetBlocking(SOCKET socket, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  ::ioctlsocket(socket, FIONBIO, &nonBlocking);
}

// getaddrinfo for a stream socket; the caller frees the list. Empty address means "any IPv4".
addrinfo* Resolve(const std::string& address, int port, bool passive) {
  if (port < 0 || port > 65535) return nullptr;
  StartWinsock();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | (passive ? AI_PASSIVE : 0);
  const std::string service = std::to_string(port);
  const std::string host = address.empty() ? std::string("0.0.0.0") : address;
  addrinfo* list = nullptr;
  if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0) return nullptr;
  return list;
}

void SetTimeout(SOCKET socket, int option, int milliseconds) {
  const DWORD value = milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0;
  ::setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value);
}

// Whether the socket has input (or the peer's close, or an error) right now.
bool ReadableNow(SOCKET socket) {
  WSAPOLLFD entry{socket, POLLRDNORM, 0};
  return ::WSAPoll(&entry, 1, 0) > 0;
}

int ChunkOf(size_t size) { return static_cast<int>(std::min<size_t>(size, 1u << 30)); }

}  // namespace

void TSocket::Close() {
  if (Native != InvalidNative) ::closesocket(Raw(Release()));
}

TSocketReceive TSocket::Receive(char* buffer, size_t size, bool wait) {
  if (!wait && !ReadableNow(Raw(Native))) return {TSocketReceive::TimedOut, 0};
  const int n = ::recv(Raw(Native), buffer, ChunkOf(size), 0);
  if (n > 0) return {TSocketReceive::Data, static_cast<size_t>(n)};
  if (n == 0) return {TSocketReceive::Closed, 0};
  switch (::WSAGetLastError()) {
    case WSAETIMEDOUT:
    case WSAEWOULDBLOCK:
      return {TSocketReceive::TimedOut, 0};
    case WSAESHUTDOWN:          // after ShutdownRead
    case WSA_OPERATION_ABORTED:  // woken by ShutdownRead's cancellation
    case WSAEINTR:
      return {TSocketReceive::Closed, 0};
    default:
      return {TSocketReceive::Failed, 0};
  }
}

bool TSocket::SendAll(std::string_view data) {
  while (!data.empty()) {
    const int n = ::send(Raw(Native), data.data(), ChunkOf(data.size()), 0);
    if (n == SOCKET_ERROR) return false;  // gone, or the send timeout ran out
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

TSocketSend TSocket::SendSome(std::string_view data) {
  // Winsock has no per-call "don't wait": the socket is non-blocking for this one send.
  SetBlocking(Raw(Native), false);
  const int n = ::send(Raw(Native), data.data(), ChunkOf(data.size()), 0);
  const int error = n == SOCKET_ERROR ? ::WSAGetLastError() : 0;
  SetBlocking(Raw(Native), true);
  if (n >= 0) return {false, static_cast<size_t>(n)};
  if (error == WSAEWOULDBLOCK) return {false, 0};
  return {true, 0};
}

void TSocket::SetReceiveTimeout(int milliseconds) { SetTimeout(Raw(Native), SO_RCVTIMEO, milliseconds); }
void TSocket::SetSendTimeout(int milliseconds) { SetTimeout(Raw(Native), SO_SNDTIMEO, milliseconds); }

void TSocket::ShutdownWrite() { ::shutdown(Raw(Native), SD_SEND); }

void TSocket::ShutdownRead() {
  ::shutdown(Raw(Native), SD_RECEIVE);
  ::CancelIoEx(reinterpret_cast<HANDLE>(Raw(Native)), nullptr);
}

void TSocket::ShutdownBoth() {
  ::shutdown(Raw(Native), SD_BOTH);
  ::CancelIoEx(reinterpret_cast<HANDLE>(Raw(Native)), nullptr);
}

TSocket TSocket::Accept(bool* outOfHandles) {
  if (outOfHandles != nullptr) *outOfHandles = false;
  for (;;) {
    const SOCKET accepted = ::accept(Raw(Native), nullptr, nullptr);
    if (accepted != INVALID_SOCKET) {
      // An accepted socket inherits the listener's non-blocking mode; connections block.
      SetBlocking(accepted, true);
      return TSocket(trs::Native(accepted));
    }
    const int error = ::WSAGetLastError();
    if (error == WSAECONNRESET || error == WSAEINTR) continue;
    if (outOfHandles != nullptr) *outOfHandles = error == WSAEMFILE || error == WSAENOBUFS;
    return TSocket();
  }
}

void TSocket::SetAcceptWaits(bool wait) { SetBlocking(Raw(Native), wait); }

// Winsock has no way to wake a thread waiting in accept short of closing the socket under
// it, which could hand its handle to another socket meanwhile: servers here watch their
// listeners with the poller instead (AcceptWaitsCanBeStopped is false) and stop one by
// closing it, so there is nothing to do here.
void TSocket::StopAccepting() {}

bool AcceptWaitsCanBeStopped() { return false; }

int TSocket::LocalPort() const {
  sockaddr_storage address{};
  int length = sizeof address;
  if (::getsockname(Raw(Native), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return 0;
}

// `reuseAddress` has no Windows counterpart worth having: SO_REUSEADDR there would let
// another program take the port, and a port in TIME_WAIT can be bound again anyway.
TSocket ListenTcp(const std::string& address, int port, [[maybe_unused]] bool reuseAddress) {
  addrinfo* list = Resolve(address, port, true);
  if (list == nullptr) ThrowSocketError(port < 0 || port > 65535 ? WSAEINVAL : WSAEADDRNOTAVAIL);
  const addrinfo info = *list;
  sockaddr_storage bindAddress{};
  std::memcpy(&bindAddress, list->ai_addr, list->ai_addrlen);
  ::freeaddrinfo(list);
  TSocket socket(Native(NewSocket(info.ai_family, info.ai_socktype, info.ai_protocol)));
  if (!socket.Valid()) ThrowSocketError(::WSAGetLastError());
  const SOCKET raw = Raw(socket.Handle());
  const BOOL on = TRUE;
  ::setsockopt(raw, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  if (info.ai_family == AF_INET6)
    ::setsockopt(raw, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&on), sizeof on);
  if (::bind(raw, reinterpret_cast<sockaddr*>(&bindAddress), static_cast<int>(info.ai_addrlen)) != 0)
    ThrowSocketError(::WSAGetLastError());
  if (::listen(raw, SOMAXCONN) != 0) ThrowSocketError(::WSAGetLastError());
  SetBlocking(raw, false);
  return socket;
}

TSocket ConnectTcp(const std::string& address, int port) {
  addrinfo* list = Resolve(address, port, false);
  if (list == nullptr) return TSocket();
  TSocket socket(Native(NewSocket(list->ai_family, list->ai_socktype, list->ai_protocol)));
  if (socket.Valid() && ::connect(Raw(socket.Handle()), list->ai_addr, static_cast<int>(list->ai_addrlen)) != 0)
    socket.Close();
  ::freeaddrinfo(list);
  return socket;
}

bool LoopbackIpv6Available() {
  TSocket socket(Native(NewSocket(AF_INET6, SOCK_STREAM, 0)));
  if (!socket.Valid()) return false;
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_addr = in6addr_loopback;
  return ::bind(Raw(socket.Handle()), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

// Windows sets no per-process limit on sockets; kernel memory is the bound.
size_t RaiseHandleLimit(size_t wanted) { return wanted; }

// The wake channel is a connected loopback pair: Winsock can wait only on sockets.
TSocketWaiter::TSocketWaiter() {
  TSocket listener = ListenTcp("127.0.0.1", 0, false);
  TSocket writer = ConnectTcp("127.0.0.1", listener.LocalPort());
  if (!writer.Valid()) ThrowSocketError(::WSAGetLastError());
  SetBlocking(Raw(listener.Handle()), true);
  TSocket reader(Native(::accept(Raw(listener.Handle()), nullptr, nullptr)));
  if (!reader.Valid()) ThrowSocketError(::WSAGetLastError());
  WakeRead = reader.Release();
  WakeWrite = writer.Release();
}

TSocketWaiter::~TSocketWaiter() {
  ::closesocket(Raw(WakeRead));
  ::closesocket(Raw(WakeWrite));
}

bool TSocketWaiter::Wait(const std::vector<TSocket*>& sockets, std::vector<size_t>& ready) {
  std::vector<WSAPOLLFD> entries;
  entries.reserve(sockets.size() + 1);
  for (const TSocket* socket : sockets) entries.push_back({Raw(socket->Handle()), POLLRDNORM, 0});
  entries.push_back({Raw(WakeRead), POLLRDNORM, 0});
  for (;;) {
    ready.clear();
    for (WSAPOLLFD& entry : entries) entry.revents = 0;
    if (::WSAPoll(entries.data(), static_cast<ULONG>(entries.size()), -1) == SOCKET_ERROR)
      ThrowSocketError(::WSAGetLastError());
    // The wake byte is never read, so the pair stays readable: the wake is sticky.
    if (entries.back().revents != 0) return false;
    for (size_t i = 0; i + 1 < entries.size(); ++i)
      if (entries[i].revents != 0) ready.push_back(i);
    if (!ready.empty()) return true;
  }
}

void TSocketWaiter::Wake() {
  const char byte = 1;
  // A full buffer already holds a wake, so a failed send loses nothing.
  ::send(Raw(WakeWrite), &byte, 1, 0);
}

}  // namespace trs
