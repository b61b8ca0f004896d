// How an engine written from the note allocates what it hands to the program, on Linux:
// BSTRs and arrays on malloc, laid out as the note says.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace note {

// A BSTR of `length` characters: the byte length in the 4 bytes before the text, one
// malloc block.
inline char16_t* NewBstr(const char16_t* text, uint32_t length) {
  const uint32_t bytes = length * 2;
  auto* block = static_cast<unsigned char*>(std::malloc(4 + bytes + 2));
  std::memcpy(block, &bytes, 4);
  auto* characters = reinterpret_cast<char16_t*>(block + 4);
  std::memcpy(characters, text, bytes);
  characters[length] = 0;
  return characters;
}

inline void FreeBstr(char16_t* text) {
  if (text != nullptr) std::free(reinterpret_cast<unsigned char*>(text) - 4);
}

// A one-dimensional array of `size` bytes: header and data, two malloc blocks.
template <typename SafeArray>
SafeArray* NewByteArray(const void* bytes, uint32_t size) {
  auto* array = static_cast<SafeArray*>(std::calloc(1, sizeof(SafeArray)));
  array->cDims = 1;
  array->cbElements = 1;
  array->rgsabound[0].cElements = size;
  array->pvData = std::malloc(size);
  std::memcpy(array->pvData, bytes, size);
  return array;
}

}  // namespace note
