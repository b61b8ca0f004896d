// Fuzz target: the version record reader, which takes any bytes as an ELF image and must
// stay inside them.
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/FileVersion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view image(reinterpret_cast<const char*>(data), size);
  const std::optional<trs::TFixedFileInfo> info = trs::ParseFixedFileInfo(image);
  if (!info) return 0;
  if (info->Signature != trs::FixedFileInfoSignature) std::abort();
  // A found record is 52 bytes of the image, word for word.
  static_assert(std::endian::native == std::endian::little);
  static_assert(sizeof(trs::TFixedFileInfo) == trs::FixedFileInfoSize);
  unsigned char record[trs::FixedFileInfoSize];
  std::memcpy(record, &*info, sizeof record);
  if (image.find(std::string_view(reinterpret_cast<const char*>(record), sizeof record)) == std::string_view::npos)
    std::abort();
  return 0;
}
