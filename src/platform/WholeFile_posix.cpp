// POSIX: a replacement is created exclusively beside the target, fsync'ed, then renamed.
#include "platform/WholeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>

#include "platform/Exceptions.h"
#include "platform/ReplacementNames.h"

namespace trs {

namespace {

[[noreturn]] void ThrowCreateError(const std::string& path, int error) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", path.c_str(), std::strerror(error)));
}

[[noreturn]] void ThrowOpenError(const std::string& path, int error) {
  throw EFOpenError(Format("Cannot open file \"%s\". %s", path.c_str(), std::strerror(error)));
}

bool ProcessRunning(pid_t process) {
  // EPERM: it exists, under another user.
  return process > 0 && (::kill(process, 0) == 0 || errno == EPERM);
}

std::atomic<size_t> ReplacementSizeLimit{SIZE_MAX};

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
      Path = ReplacementName(target, static_cast<uint32_t>(::getpid()));
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
  int Write(std::string_view bytes) {
    const size_t limit = ReplacementSizeLimit.load();
    if (bytes.size() <= limit) return WriteAll(Handle, bytes);
    const int error = WriteAll(Handle, bytes.substr(0, limit));
    return error != 0 ? error : EFBIG;
  }
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

void LimitReplacementSizeForTests(size_t bytes) { ReplacementSizeLimit = bytes; }

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
    if (const std::optional<uint32_t> owner = ReplacementOwner(entry->d_name)) {
      const auto process = static_cast<pid_t>(*owner);
      stale = process != ::getpid() && !ProcessRunning(process);
    } else if (IsLegacyReplacementName(entry->d_name)) {
      struct stat status {};
      stale = ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && now - status.st_mtime > LegacyLeftoverSeconds;
    }
    if (stale && ::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(listing);
  return removed;
}

}  // namespace trs
