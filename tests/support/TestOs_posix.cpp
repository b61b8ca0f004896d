// POSIX: the C library's environment and strerror texts.
#include <dlfcn.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "support/TestOs.h"

namespace trs::test {

const char PathSeparator[] = "/";
const bool FilesHavePermissionBits = true;

std::filesystem::path TestProgramFile() { return std::filesystem::read_symlink("/proc/self/exe"); }

TTestProductRegistry::TTestProductRegistry(const std::filesystem::path& scratch)
    : File(scratch / "etc/Tally/Quill/Report.conf") {
  std::filesystem::create_directories(File.parent_path());
  std::ofstream(File, std::ios::trunc);
  SetVariable("XDG_CONFIG_DIRS", (scratch / "etc").string());
}

TTestProductRegistry::~TTestProductRegistry() { UnsetVariable("XDG_CONFIG_DIRS"); }

void TTestProductRegistry::Register(const std::string& tag, const std::string& directory) const {
  std::ofstream(File, std::ios::app) << tag << "=" << directory << "\n";
}

void SetVariable(const std::string& name, const std::string& value) { ::setenv(name.c_str(), value.c_str(), 1); }

void UnsetVariable(const std::string& name) { ::unsetenv(name.c_str()); }

std::optional<void*> LoadedLibraryExport(const std::string& path, const char* name) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return std::nullopt;
  void* address = ::dlsym(handle, name);
  ::dlclose(handle);  // the reference NOLOAD took; the library stays with its owner
  return address;
}

long CurrentProcessNumber() { return static_cast<long>(::getpid()); }

long EndedProcessNumber() {
  const pid_t ended = ::fork();
  if (ended == 0) ::_exit(0);
  if (ended < 0) throw std::runtime_error("fork");
  ::waitpid(ended, nullptr, 0);
  return static_cast<long>(ended);
}

TRunningProcess::TRunningProcess() {
  const pid_t child = ::fork();
  if (child == 0) {
    for (;;) ::pause();
  }
  if (child < 0) throw std::runtime_error("fork");
  Process = child;
  ProcessNumber = static_cast<long>(child);
}

TRunningProcess::~TRunningProcess() {
  ::kill(static_cast<pid_t>(Process), SIGKILL);
  ::waitpid(static_cast<pid_t>(Process), nullptr, 0);
}

TFileSizeLimit::TFileSizeLimit(size_t bytes) {
  SavedHandler = std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  Saved = limit.rlim_cur;
  limit.rlim_cur = bytes;
  if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
    throw std::runtime_error(std::string("setrlimit: ") + std::strerror(errno));
}

TFileSizeLimit::~TFileSizeLimit() {
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = static_cast<rlim_t>(Saved);
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, SavedHandler);
}

int SystemErrorNumber(TSystemError error) {
  switch (error) {
    case TSystemError::NoSuchFile:
    case TSystemError::NoSuchDirectory:
    case TSystemError::NoSuchLibrary: return ENOENT;
    case TSystemError::DiskFull: return EFBIG;  // what the file size limit gives
    case TSystemError::AddressNotAvailable: return EADDRNOTAVAIL;
  }
  return 0;
}

std::string SystemErrorText(TSystemError error) { return std::strerror(SystemErrorNumber(error)); }

}  // namespace trs::test
