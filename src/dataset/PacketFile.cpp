// Packet files: read whole, and replaced atomically.
#include "dataset/PacketFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/Exceptions.h"
#include "platform/FileReplace.h"

namespace trs {
namespace {

struct TFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

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
  ReplaceFile(path, bytes);
}

}  // namespace trs
