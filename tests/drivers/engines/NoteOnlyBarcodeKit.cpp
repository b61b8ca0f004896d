// A barcode label library written from the engine binary interface note alone, without any
// of the project's headers: the proof that the program needs nothing the note does not say.
// It writes what it receives, one line a call, to the file named by NOTE_ENGINE_LOG.
#include "NoteOnlyEngine.h"

namespace {

using note::Log;
using note::VARIANT;

// File version 4.2 and product version x.x.0.7: the version text is 4.2.0.7.
[[gnu::section(".vs_fixedfileinfo"), gnu::used]] const uint32_t VersionRecord[13] = {
    0xFEEF04BD, 0x00010000, (4u << 16) | 2u, 0, (4u << 16) | 2u, 7, 0x3F, 0, 0, 0, 0, 0, 0};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void BarConfigCds(int32_t zero, VARIANT* packet) noexcept {
  const bool bytes = packet != nullptr && packet->vt == (0x2000 | 17) && packet->parray != nullptr &&
                     packet->parray->cDims == 1 && packet->parray->cbElements == 1;
  uint32_t magic = 0;
  if (bytes && packet->parray->rgsabound[0].cElements >= 4) std::memcpy(&magic, packet->parray->pvData, 4);
  Log("BarConfigCds %d bytes=%u magic=%08X", zero, bytes ? packet->parray->rgsabound[0].cElements : 0u, magic);
}

__attribute__((visibility("default"))) uint8_t PrintBarOutEx(int32_t number, const char* styleName) noexcept {
  Log("PrintBarOutEx %d %s", number, styleName == nullptr ? "(null)" : styleName);
  return 1;
}

__attribute__((visibility("default"))) void GetStyleNames(char16_t** names) noexcept {
  static const char16_t text[] = u"Note A|Note B";
  Log("GetStyleNames entry=%s", *names == nullptr ? "null" : "set");
  *names = note::NewBstr(text, sizeof(text) / sizeof(char16_t) - 1);
}

__attribute__((visibility("default"))) uint8_t GetIsShowedForm() noexcept { return 0; }

}  // extern "C"
