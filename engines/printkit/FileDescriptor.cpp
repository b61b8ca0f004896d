#include "FileDescriptor.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "PrintTarget.h"

namespace printkit {

int MillisecondsLeft(TDeadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void WriteAllBefore(int fd, const std::string& bytes, TDeadline deadline, const std::string& where) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + sent, bytes.size() - sent);
    if (written > 0) {
      sent += static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
      throw TPrintError("cannot write to " + where + ": " + std::strerror(errno));
    pollfd ready{fd, POLLOUT, 0};
    const int left = MillisecondsLeft(deadline);
    if (left == 0 || ::poll(&ready, 1, left) == 0)
      throw TPrintError("timed out writing to " + where + " after " + std::to_string(sent) + " of " +
                        std::to_string(bytes.size()) + " bytes");
  }
}

}  // namespace printkit
