// What the engines written from the engine binary interface note share: the note's OLE
// types, declared here and not taken from the project, how BSTRs and arrays handed to the
// program are allocated on this platform (NoteMemory.h, chosen by the include directory),
// and a log of what they receive (one line a call, appended to the file named by
// NOTE_ENGINE_LOG).
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "NoteMemory.h"

namespace note {

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

inline void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline void Log(const char* format, ...) {
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

}  // namespace note
