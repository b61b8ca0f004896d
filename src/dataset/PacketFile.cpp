// Packet files: read whole, and replaced atomically.
#include "dataset/PacketFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

#include "platform/Exceptions.h"

namespace trs {
namespace {

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

[[noreturn]] void ThrowCreateError(const std::string& path, const std::string& reason) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", path.c_str(), reason.c_str()));
}

// A name no other saver (thread or process) picks: a per-process random tag and a counter.
std::string TemporaryName(const std::string& path) {
  static const unsigned long long processTag = [] {
    std::random_device device;
    const auto now = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    return (static_cast<unsigned long long>(device()) << 32 ^ device()) ^ now;
  }();
  static std::atomic<unsigned> counter{0};
  return Format("%s.%016llx%04x.tmp", path.c_str(), processTag, counter.fetch_add(1) & 0xFFFFu);
}

}  // namespace

std::string ReadPacketFile(const std::string& path) {
  errno = 0;
  const TFile file(std::fopen(path.c_str(), "rb"));
  if (!file) throw EFOpenError(Format("Cannot open file \"%s\". %s", path.c_str(), std::strerror(errno)));
  std::string bytes;
  char buffer[65536];
  size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) bytes.append(buffer, count);
  if (std::ferror(file.get()))
    throw EFOpenError(Format("Cannot open file \"%s\". %s", path.c_str(), std::strerror(errno)));
  return bytes;
}

void ReplacePacketFile(const std::string& path, std::string_view bytes) {
  std::string temporary;
  TFile file;
  for (int attempt = 0; attempt < 16 && !file; ++attempt) {
    temporary = TemporaryName(path);
    errno = 0;
    file.reset(std::fopen(temporary.c_str(), "wbx"));  // "x": never reuse an existing file
    if (!file && errno != EEXIST) break;
  }
  if (!file) ThrowCreateError(path, std::strerror(errno));

  errno = 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
                       std::fflush(file.get()) == 0;
  const int writeError = errno;
  const bool closed = std::fclose(file.release()) == 0;
  if (!written || !closed) {
    std::remove(temporary.c_str());
    ThrowCreateError(path, std::strerror(writeError != 0 ? writeError : errno));
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::remove(temporary.c_str());
    ThrowCreateError(path, error.message());
  }
}

}  // namespace trs
