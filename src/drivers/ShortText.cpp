// Short strings to and from narrow text.
#include "drivers/ShortText.h"

#include <cstring>

#include "platform/Text.h"

namespace trs {

ShortString ToShortString(std::string_view narrow) {
  ShortString text{};
  // A cut inside a multi-byte character would hand the engine a broken last character.
  const size_t length = NarrowCutLength(narrow, sizeof text.text);
  text.length = static_cast<uint8_t>(length);
  std::memcpy(text.text, narrow.data(), length);
  return text;
}

std::string FromShortString(const ShortString& text) { return std::string(text.text, text.length); }

}  // namespace trs
