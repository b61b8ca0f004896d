// Windows: a replacement is created exclusively beside the target, flushed, then moved over
// it with MoveFileExW (replace, write-through). Files are opened with delete sharing, yet the
// system may still refuse to move over a file that someone has open (a reader of ours, a
// virus scanner), so the move is retried for a moment before the save fails.
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/ReplacementNames.h"
#include "platform/WholeFile.h"
#include "platform/Win32_win.h"

namespace trs {

namespace {

[[noreturn]] void ThrowCreateError(const std::string& path, DWORD error) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", path.c_str(), win32::SystemErrorText(error).c_str()));
}

[[noreturn]] void ThrowOpenError(const std::string& path, DWORD error) {
  throw EFOpenError(Format("Cannot open file \"%s\". %s", path.c_str(), win32::SystemErrorText(error).c_str()));
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::atomic<size_t> ReplacementSizeLimit{SIZE_MAX};

DWORD WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
    bytes.remove_prefix(written);
  }
  return ERROR_SUCCESS;
}

// A move over a file that another handle holds open fails with one of these until it closes.
bool TargetBusy(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}
constexpr int MoveAttempts = 20;
constexpr DWORD MoveRetryMilliseconds = 50;

// Appenders take an exclusive lock on one byte far beyond any real end of file before they
// write: Wine gives append-only handles no atomic append, so without it concurrent entries
// overwrite each other there. Being past the end, the lock never blocks a reader.
constexpr DWORD AppendLockOffsetLow = 0xFFFFFFFE;
constexpr DWORD AppendLockOffsetHigh = 0x7FFFFFFF;

bool ProcessRunning(uint32_t process) {
  win32::THandle handle(::OpenProcess(SYNCHRONIZE, FALSE, process));
  if (!handle.Valid()) return ::GetLastError() == ERROR_ACCESS_DENIED;  // another user's
  return ::WaitForSingleObject(handle.Get(), 0) == WAIT_TIMEOUT;
}

// The new file beside the target until it is moved over it; removed if that never happens.
class TTemporaryFile {
 public:
  explicit TTemporaryFile(const std::string& target) {
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < 16 && !File.Valid(); ++attempt) {
      Path = win32::Widen(ReplacementName(target, ::GetCurrentProcessId()));
      File = win32::THandle(::CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr));
      error = ::GetLastError();
      if (!File.Valid() && error != ERROR_FILE_EXISTS) break;
    }
    if (!File.Valid()) {
      Path.clear();
      ThrowCreateError(target, error);
    }
  }
  ~TTemporaryFile() {
    File.Reset();
    if (!Path.empty()) ::DeleteFileW(Path.c_str());
  }
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  DWORD Write(std::string_view bytes) {
    const size_t limit = ReplacementSizeLimit.load();
    if (bytes.size() <= limit) return WriteAll(File.Get(), bytes);
    const DWORD error = WriteAll(File.Get(), bytes.substr(0, limit));
    return error != ERROR_SUCCESS ? error : ERROR_DISK_FULL;
  }
  // Flushes the data to the disk and closes; only a file that got there is moved.
  DWORD Finish() {
    if (!::FlushFileBuffers(File.Get())) return ::GetLastError();
    File.Reset();
    return ERROR_SUCCESS;
  }
  DWORD MoveOver(const std::string& target) {
    const std::wstring to = win32::Widen(target);
    // The new file is hidden only while it is being written.
    ::SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (int attempt = 1;; ++attempt) {
      if (::MoveFileExW(Path.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) break;
      const DWORD error = ::GetLastError();
      if (!TargetBusy(error) || attempt == MoveAttempts) return error;
      ::Sleep(MoveRetryMilliseconds);
    }
    Path.clear();
    return ERROR_SUCCESS;
  }

 private:
  std::wstring Path;
  win32::THandle File;
};

}  // namespace

std::string ReadWholeFile(const std::string& path) {
  win32::THandle file(::CreateFileW(win32::Widen(path).c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) ThrowOpenError(path, ::GetLastError());
  std::string bytes;
  std::vector<char> buffer(65536);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
      ThrowOpenError(path, ::GetLastError());
    if (got == 0) break;
    bytes.append(buffer.data(), got);
  }
  return bytes;
}

void ReplaceFile(const std::string& path, std::string_view bytes) {
  TTemporaryFile file(path);
  DWORD error = file.Write(bytes);
  if (error == ERROR_SUCCESS) error = file.Finish();
  if (error == ERROR_SUCCESS) error = file.MoveOver(path);
  if (error != ERROR_SUCCESS) ThrowCreateError(path, error);
}

void LimitReplacementSizeForTests(size_t bytes) { ReplacementSizeLimit = bytes; }

bool AppendToFile(const std::string& path, std::string_view bytes) {
  // Without FILE_WRITE_DATA every write lands at the end, as with O_APPEND; FILE_READ_DATA is
  // there because the system locks only for handles that may read or write data.
  win32::THandle file(::CreateFileW(win32::Widen(path).c_str(), FILE_APPEND_DATA | FILE_READ_DATA, ShareAll, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  OVERLAPPED lockPlace{};
  lockPlace.Offset = AppendLockOffsetLow;
  lockPlace.OffsetHigh = AppendLockOffsetHigh;
  // Closing the handle releases the lock, so a writer that dies holds it no longer.
  const bool locked = ::LockFileEx(file.Get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockPlace);
  const bool written = WriteAll(file.Get(), bytes) == ERROR_SUCCESS;
  if (locked) ::UnlockFileEx(file.Get(), 0, 1, 0, &lockPlace);
  return written;
}

size_t RemoveStaleReplacements(const std::string& directory) {
  const std::string prefix =
      directory.empty() || directory.back() == '\\' || directory.back() == '/' ? directory : directory + "\\";
  WIN32_FIND_DATAW entry;
  HANDLE search = ::FindFirstFileW(win32::Widen(prefix + "*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  size_t removed = 0;
  FILETIME nowFile;
  ::GetSystemTimeAsFileTime(&nowFile);
  const auto ticks = [](const FILETIME& time) {
    return static_cast<int64_t>(static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime);
  };
  const int64_t now = ticks(nowFile);
  constexpr int64_t TicksPerSecond = 10'000'000;  // FILETIME counts 100 ns
  do {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    const std::string name = win32::Narrow(entry.cFileName);
    bool stale = false;
    if (const std::optional<uint32_t> owner = ReplacementOwner(name)) {
      stale = *owner != ::GetCurrentProcessId() && !ProcessRunning(*owner);
    } else if (IsLegacyReplacementName(name)) {
      stale = now - ticks(entry.ftLastWriteTime) > LegacyLeftoverSeconds * TicksPerSecond;
    }
    if (stale && ::DeleteFileW(win32::Widen(prefix + name).c_str())) ++removed;
  } while (::FindNextFileW(search, &entry));
  ::FindClose(search);
  return removed;
}

}  // namespace trs
