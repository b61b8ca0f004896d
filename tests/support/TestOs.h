// What tests need of the OS beyond the program's own platform layer: environment variables,
// the system's texts for the errors tests provoke. The OS part is in
// TestOs_posix.cpp / TestOs_win.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace trs::test {

// Sets or removes a variable of this process's environment (UTF-8), so that the code under
// test and the programs it starts see it.
void SetVariable(const std::string& name, const std::string& value);
void UnsetVariable(const std::string& name);

// The separator the program puts between a folder and a name ("/" on Linux, "\\" on Windows).
extern const char PathSeparator[];

// Whether files carry POSIX permission bits (Linux) or only a read-only flag (Windows).
extern const bool FilesHavePermissionBits;

// The file of this test program.
std::filesystem::path TestProgramFile();

// The product registry (product tag -> folder of its engines) as a test fills it, emptied
// again when the object goes; one at a time. On Linux it is the file Tally/Quill/Report.conf
// under a private XDG_CONFIG_DIRS in `scratch`, set for this process and the programs it
// starts; on Windows the local machine's key Software\Tally\Quill\Report, which under
// Wine belongs to the test prefix.
class TTestProductRegistry {
 public:
  explicit TTestProductRegistry(const std::filesystem::path& scratch);
  ~TTestProductRegistry();
  TTestProductRegistry(const TTestProductRegistry&) = delete;
  TTestProductRegistry& operator=(const TTestProductRegistry&) = delete;

  void Register(const std::string& tag, const std::string& directory) const;

 private:
  std::filesystem::path File;
};

// The address of the export `name` (null when it has none) of the library at `path`, when
// this process has that library loaded now; nothing when it has not. Never loads it.
std::optional<void*> LoadedLibraryExport(const std::string& path, const char* name);

// This process's number, for names of temporary folders no other test process takes.
long CurrentProcessNumber();

// A process that ran and has ended; its number, which no running process has now.
long EndedProcessNumber();

// Another process, which runs (doing nothing) while the object lives.
class TRunningProcess {
 public:
  TRunningProcess();
  ~TRunningProcess();
  TRunningProcess(const TRunningProcess&) = delete;
  TRunningProcess& operator=(const TRunningProcess&) = delete;
  long Number() const { return ProcessNumber; }

 private:
  std::intptr_t Process = -1;
  long ProcessNumber = 0;
};

// Makes every save of a whole file fail past `bytes` while it lives, as a full disk does:
// on Linux through the process's file size limit (RLIMIT_FSIZE, which root obeys too), on
// Windows, which has no such limit, through the whole-file unit's hook for tests.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(size_t bytes);
  ~TFileSizeLimit();
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  std::uint64_t Saved = 0;
  void (*SavedHandler)(int) = nullptr;
};

// The errors tests provoke on purpose, by what happened rather than by one OS's number.
enum class TSystemError {
  NoSuchFile,             // a file that does not exist in a folder that does
  NoSuchDirectory,        // a path through a folder that does not exist
  NoSuchLibrary,          // loading a library file that does not exist
  DiskFull,               // a write the file system refuses for want of room
  AddressNotAvailable,    // binding an address no interface of the machine has
};

// The system's own text for `error`, as the program's messages quote it ("No such file or
// directory" on Linux, the FormatMessage text on Windows).
std::string SystemErrorText(TSystemError error);
// The number the system gives `error` (errno on Linux, the Win32 or Winsock code on Windows).
int SystemErrorNumber(TSystemError error);

}  // namespace trs::test
