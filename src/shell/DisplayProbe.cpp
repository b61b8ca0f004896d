// The display probe: a real connection to the X server (authentication included), and a
// connection to the Wayland compositor's socket.
#include "shell/DisplayProbe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QDir>
#include <QLibraryInfo>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace trs {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Empty when the X display named by DISPLAY accepts us; else what went wrong.
std::string XDisplayProblem() {
  const std::string display = Variable("DISPLAY");
  if (display.empty()) return "DISPLAY is not set";
  xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
  const int error = xcb_connection_has_error(connection);
  xcb_disconnect(connection);
  if (error == 0) return "";
  return "the X display " + display + " cannot be opened (" +
         (error == XCB_CONN_ERROR ? std::string("no X server answers there")
                                  : "xcb error " + std::to_string(error)) +
         ")";
}

// The compositor's socket: WAYLAND_DISPLAY as a path, or a name in XDG_RUNTIME_DIR.
std::string WaylandSocketPath() {
  const std::string name = Variable("WAYLAND_DISPLAY");
  if (name.empty() || name.front() == '/') return name;
  const std::string runtime = Variable("XDG_RUNTIME_DIR");
  return runtime.empty() ? "" : runtime + "/" + name;
}

bool HasWaylandPlatformPlugin() {
  const QDir platforms(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms"));
  return !platforms.entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files).isEmpty();
}

std::string WaylandDisplayProblem() {
  if (Variable("WAYLAND_DISPLAY").empty()) return "WAYLAND_DISPLAY is not set";
  const std::string path = WaylandSocketPath();
  sockaddr_un address{};
  if (path.empty() || path.size() >= sizeof address.sun_path)
    return "the Wayland display " + Variable("WAYLAND_DISPLAY") + " names no usable socket";
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int socketFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const bool connected =
      socketFd >= 0 && connect(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  const int error = errno;
  if (socketFd >= 0) close(socketFd);
  if (!connected)
    return "the Wayland display " + path + " cannot be opened (" + std::strerror(error) + ")";
  if (!HasWaylandPlatformPlugin()) return "the toolkit's Wayland platform is not installed";
  return "";
}

}  // namespace

TDisplayChoice ChooseDisplay() {
  const std::string named = Variable("QT_QPA_PLATFORM");
  const bool namesX = named.rfind("xcb", 0) == 0;
  const bool namesWayland = named.rfind("wayland", 0) == 0;
  if (!named.empty() && !namesX && !namesWayland) return {named, ""};

  const std::string xProblem = namesWayland ? "" : XDisplayProblem();
  if (!namesWayland && xProblem.empty()) return {named.empty() ? "xcb" : named, ""};
  const std::string waylandProblem = namesX ? "" : WaylandDisplayProblem();
  if (!namesX && waylandProblem.empty()) return {named.empty() ? "wayland" : named, ""};

  std::string problem = xProblem;
  if (!waylandProblem.empty() && waylandProblem != "WAYLAND_DISPLAY is not set")
    problem = problem.empty() || problem == "DISPLAY is not set" ? waylandProblem
                                                                  : problem + "; " + waylandProblem;
  return {"", problem};
}

}  // namespace trs
