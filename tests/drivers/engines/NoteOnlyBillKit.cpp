// A bill library written from the engine binary interface note alone, without any of the
// project's headers: it has only the single-table print, whose packet comes by value. It
// writes what it receives, one line a call, to the file named by NOTE_ENGINE_LOG.
#include "NoteOnlyEngine.h"

using note::Log;
using note::VARIANT;

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
