// POSIX: the guard is an exclusive flock on "<name>.lock" in $XDG_RUNTIME_DIR (the user's
// session directory), or in the temporary directory with the user id in the name.
#include "platform/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Exceptions.h"

namespace trs {

namespace {

std::string GuardDirectory(std::string& suffix) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && *runtime != 0) return runtime;
  suffix = "-" + std::to_string(getuid());  // the temporary directory is shared by all users
  const char* temp = std::getenv("TMPDIR");
  return temp != nullptr && *temp != 0 ? temp : "/tmp";
}

}  // namespace

TSingleInstance::TSingleInstance(const std::string& name) {
  std::string suffix;
  GuardPath = GuardDirectory(suffix) + "/" + name + suffix + ".lock";
  const int file = ::open(GuardPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (file < 0)
    throw Exception(Format("Cannot open the single-instance guard \"%s\".", GuardPath.c_str()));
  if (::flock(file, LOCK_EX | LOCK_NB) != 0) {
    ::close(file);
    return;
  }
  Handle = file;
}

TSingleInstance::~TSingleInstance() {
  // Closing releases the lock; the file stays for the next run.
  if (Handle != NoHandle) ::close(static_cast<int>(Handle));
}

}  // namespace trs
