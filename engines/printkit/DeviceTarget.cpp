// Raw jobs into a device file: a USB printer's /dev/usb/lpN or a serial port.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "FileDescriptor.h"
#include "PrintTarget.h"

namespace printkit {

namespace {

speed_t SpeedOf(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: throw TPrintError("unsupported serial speed " + std::to_string(baud));
  }
}

// Raw bytes, 8 data bits, no modem control: "\n" must not become "\r\n" on the way.
void MakeRawLine(int fd, int baud, const std::string& path) {
  termios line{};
  if (::tcgetattr(fd, &line) != 0) throw TPrintError("cannot read the line settings of " + path + ": " + std::strerror(errno));
  ::cfmakeraw(&line);
  line.c_cflag |= CS8 | CLOCAL;
  if (baud != 0) {
    ::cfsetospeed(&line, SpeedOf(baud));
    ::cfsetispeed(&line, SpeedOf(baud));
  }
  if (::tcsetattr(fd, TCSANOW, &line) != 0) throw TPrintError("cannot set up " + path + ": " + std::strerror(errno));
}

// Waits until the line has sent what it holds, or the deadline passes (tcdrain could wait
// for ever on a line nobody reads).
void DrainBefore(int fd, TDeadline deadline) {
  for (int queued = 0; ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0 && MillisecondsLeft(deadline) > 0;)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

}  // namespace

std::string DeliverToDevice(const std::string& path, const std::string& bytes, std::chrono::milliseconds limit, int baud) {
  const TDeadline deadline = std::chrono::steady_clock::now() + limit;
  TFileDescriptor device(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!device.Valid()) throw TPrintError("cannot open " + path + ": " + std::strerror(errno));
  const bool terminal = ::isatty(device.Get()) != 0;
  if (terminal) MakeRawLine(device.Get(), baud, path);
  WriteAllBefore(device.Get(), bytes, deadline, path);
  if (terminal) DrainBefore(device.Get(), deadline);
  return path;
}

}  // namespace printkit
