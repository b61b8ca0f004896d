// PDF jobs as files in a folder: the default when nothing is configured.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "PrintTarget.h"

namespace printkit {

namespace {

// The title as a file name: path separators and control characters become "_".
std::string FileNameOf(const std::string& title) {
  std::string name = title.empty() ? "job" : title;
  for (char& c : name)
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) c = '_';
  return name;
}

std::string Timestamp() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  ::localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  char full[48];
  std::snprintf(full, sizeof full, "%s-%03d", text, static_cast<int>(millis));
  return full;
}

}  // namespace

std::string DeliverToPdfFolder(const std::string& folder, const TJob& job) {
  namespace fs = std::filesystem;
  static std::atomic<unsigned> sequence{0};
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) throw TPrintError("cannot create the folder " + folder + ": " + error.message());
  const std::string path = folder + FileNameOf(job.Title) + "-" + Timestamp() + "-" + std::to_string(++sequence) + ".pdf";
  // Written under another name first, so that whoever watches the folder never opens half a file.
  const std::string partial = path + ".part";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(job.Bytes.data(), static_cast<std::streamsize>(job.Bytes.size()));
    if (!out.flush()) throw TPrintError("cannot write " + partial);
  }
  fs::rename(partial, path, error);
  if (error) throw TPrintError("cannot write " + path + ": " + error.message());
  return path;
}

}  // namespace printkit
