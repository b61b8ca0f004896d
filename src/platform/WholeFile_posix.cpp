// POSIX: a replacement is created exclusively beside the target, fsync'ed, then renamed.
#include "platform/WholeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>

#include "platform/Exceptions.h"

namespace trs {

namespace {

[[noreturn]] void ThrowCreateError(const std::string& path, int error) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", path.c_str(), std::strerror(error)));
}

[[noreturn]] void ThrowOpenError(const std::string& path, int error) {
  throw EFOpenError(Format("Cannot open file \"%s\". %s", path.c_str(), std::strerror(error)));
}

// ".~trs-<process id>-<counter>.tmp" in the target's directory: fixed length (so a target
// name at the file system's limit still leaves room), hidden, and marked with the process
// that writes it, so that a later start can tell a crash's leftovers from a save under way.
constexpr char ReplacementPrefix[] = ".~trs-";
constexpr char ReplacementSuffix[] = ".tmp";

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ReplacementName(const std::string& path) {
  static std::atomic<uint32_t> counter{0};
  const std::string name = Format("%s%08x-%08x%s", ReplacementPrefix, static_cast<unsigned>(::getpid()),
                                  static_cast<unsigned>(counter.fetch_add(1)), ReplacementSuffix);
  return DirectoryOf(path) + name;
}

// The process id in a name of ReplacementName's form, or nullopt for any other name.
std::optional<pid_t> ReplacementOwner(std::string_view name) {
  constexpr size_t prefix = sizeof ReplacementPrefix - 1;
  constexpr size_t suffix = sizeof ReplacementSuffix - 1;
  if (name.size() != ReplacementNameLength || name.substr(0, prefix) != ReplacementPrefix ||
      name.substr(name.size() - suffix) != ReplacementSuffix || name[prefix + 8] != '-')
    return std::nullopt;
  const auto hex = [](std::string_view digits) -> std::optional<uint32_t> {
    uint32_t value = 0;
    for (const char c : digits) {
      const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
      if (digit < 0) return std::nullopt;
      value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
  };
  const std::optional<uint32_t> owner = hex(name.substr(prefix, 8));
  if (!owner || !hex(name.substr(prefix + 9, 8))) return std::nullopt;
  return static_cast<pid_t>(*owner);
}

// Earlier versions named the new file "<target>.<20 hex digits>.tmp", without the process;
// such a file is a leftover once it is older than any save takes.
constexpr time_t LegacyLeftoverAge = 10 * 60;

bool IsLegacyReplacementName(std::string_view name) {
  constexpr size_t tail = 1 + 20 + 4;  // ".", the digits, ".tmp"
  if (name.size() <= tail || name.substr(name.size() - 4) != ".tmp" || name[name.size() - tail] != '.') return false;
  const std::string_view digits = name.substr(name.size() - tail + 1, 20);
  return std::all_of(digits.begin(), digits.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool ProcessRunning(pid_t process) {
  // EPERM: it exists, under another user.
  return process > 0 && (::kill(process, 0) == 0 || errno == EPERM);
}

int WriteAll(int handle, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(handle, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

// The new file beside the target until it is renamed over it; removed if that never happens.
class TTemporaryFile {
 public:
  explicit TTemporaryFile(const std::string& target) {
    for (int attempt = 0; attempt < 16 && Handle < 0; ++attempt) {
      Path = ReplacementName(target);
      Handle = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (Handle < 0 && errno != EEXIST) break;
    }
    if (Handle < 0) ThrowCreateError(target, errno);
  }
  ~TTemporaryFile() {
    if (Handle >= 0) ::close(Handle);
    if (!Path.empty()) ::unlink(Path.c_str());
  }
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  // 0 on success, else the errno of the failed step.
  int Write(std::string_view bytes) { return WriteAll(Handle, bytes); }
  // Gives the new file the old one's owner (where allowed) and permission bits.
  int TakeAttributes(const struct stat& old) {
    // Changing the owner needs privileges the program usually lacks; the file then stays
    // the writer's, as any new file would.
    [[maybe_unused]] const int ignored = ::fchown(Handle, old.st_uid, old.st_gid);
    return ::fchmod(Handle, old.st_mode & 07777) == 0 ? 0 : errno;
  }
  // Flushes the data to the disk and closes; only a file that got there is renamed.
  int Finish() {
    if (::fsync(Handle) != 0) return errno;
    const int handle = Handle;
    Handle = -1;
    return ::close(handle) == 0 ? 0 : errno;
  }
  int RenameOver(const std::string& target) {
    if (::rename(Path.c_str(), target.c_str()) != 0) return errno;
    Path.clear();
    return 0;
  }

 private:
  std::string Path;
  int Handle = -1;
};

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle < 0) ThrowOpenError(path, errno);
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(handle, buffer, sizeof buffer);
    if (got > 0) {
      bytes.append(buffer, static_cast<size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      const int error = errno;  // e.g. a directory opens but cannot be read
      ::close(handle);
      ThrowOpenError(path, error);
    }
  }
  ::close(handle);
  return bytes;
}

void ReplaceFile(const std::string& path, std::string_view bytes) {
  struct stat old {};
  const bool hasOld = ::stat(path.c_str(), &old) == 0;
  TTemporaryFile file(path);
  int error = file.Write(bytes);
  if (error == 0 && hasOld) error = file.TakeAttributes(old);
  if (error == 0) error = file.Finish();
  if (error == 0) error = file.RenameOver(path);
  if (error != 0) ThrowCreateError(path, error);
}

bool AppendToFile(const std::string& path, std::string_view bytes) {
  const int handle = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (handle < 0) return false;
  const int error = WriteAll(handle, bytes);
  return ::close(handle) == 0 && error == 0;
}

size_t RemoveStaleReplacements(const std::string& directory) {
  DIR* listing = ::opendir(directory.c_str());
  if (listing == nullptr) return 0;
  const std::string prefix = directory.empty() || directory.back() == '/' ? directory : directory + "/";
  size_t removed = 0;
  const time_t now = ::time(nullptr);
  while (const dirent* entry = ::readdir(listing)) {
    const std::string path = prefix + entry->d_name;
    bool stale = false;
    if (const std::optional<pid_t> owner = ReplacementOwner(entry->d_name)) {
      stale = *owner != ::getpid() && !ProcessRunning(*owner);
    } else if (IsLegacyReplacementName(entry->d_name)) {
      struct stat status {};
      stale = ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && now - status.st_mtime > LegacyLeftoverAge;
    }
    if (stale && ::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(listing);
  return removed;
}

}  // namespace trs
