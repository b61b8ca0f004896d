// An owned POSIX file descriptor, and writing to one within a deadline.
#pragma once

#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>

namespace printkit {

class TFileDescriptor {
 public:
  TFileDescriptor() = default;
  explicit TFileDescriptor(int fd) : Fd(fd) {}
  ~TFileDescriptor() {
    if (Fd >= 0) ::close(Fd);
  }
  TFileDescriptor(TFileDescriptor&& other) noexcept : Fd(std::exchange(other.Fd, -1)) {}
  TFileDescriptor& operator=(TFileDescriptor&& other) noexcept {
    if (this != &other) {
      if (Fd >= 0) ::close(Fd);
      Fd = std::exchange(other.Fd, -1);
    }
    return *this;
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  int Get() const { return Fd; }
  bool Valid() const { return Fd >= 0; }

 private:
  int Fd = -1;
};

using TDeadline = std::chrono::steady_clock::time_point;

// Writes all of `bytes` to a non-blocking descriptor, waiting for room until `deadline`.
// TPrintError naming `where` when the time is up or the write fails.
void WriteAllBefore(int fd, const std::string& bytes, TDeadline deadline, const std::string& where);

// Milliseconds left until `deadline`, at least 0.
int MillisecondsLeft(TDeadline deadline);

}  // namespace printkit
