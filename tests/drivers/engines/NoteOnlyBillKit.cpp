// A bill library written from the engine binary interface note alone, without any of the
// project's headers: it has only the single-table print, whose packet comes by value. It
// writes what it receives, one line a call, to the file named by NOTE_ENGINE_LOG.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct SAFEARRAYBOUND { uint32_t cElements; int32_t lLbound; };
struct SAFEARRAY {
  uint16_t cDims; uint16_t fFeatures; uint32_t cbElements; uint32_t cLocks; void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};
struct VARIANT {
  uint16_t vt; uint16_t wReserved1, wReserved2, wReserved3;
  union { int32_t lVal; double dblVal; char16_t* bstrVal; SAFEARRAY* parray; unsigned char raw[16]; };
};
static_assert(sizeof(VARIANT) == 24 && sizeof(SAFEARRAY) == 32);

void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(const char* format, ...) {
  const char* path = std::getenv("NOTE_ENGINE_LOG");
  if (path == nullptr) return;
  FILE* file = std::fopen(path, "a");
  if (file == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(file, format, args);
  va_end(args);
  std::fputc('\n', file);
  std::fclose(file);
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) uint8_t PosBillPrint(int32_t zero, const char* name, VARIANT packet,
                                                            int32_t part, uint8_t flag) noexcept {
  const bool bytes = packet.vt == (0x2000 | 17) && packet.parray != nullptr && packet.parray->cDims == 1;
  uint32_t magic = 0;
  if (bytes && packet.parray->rgsabound[0].cElements >= 4) std::memcpy(&magic, packet.parray->pvData, 4);
  Log("PosBillPrint %d %s part=%d flag=%d magic=%08X", zero, name, part, flag, magic);
  return 1;
}

__attribute__((visibility("default"))) int32_t GetBillPrintCount() noexcept { return 5; }

}  // extern "C"
