// UTF-8 codecs: the lenient request-body decoder, the result encoder and the strict forms.
#include "platform/Utf8.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace trs::utf8 {
namespace {

inline bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Copies the run of ASCII bytes at the start of [in, end) into out. The caller guarantees
// that out has room for as many units as [in, end) has bytes, so the vector path may write
// up to 16 units past the run; they are overwritten by what follows.
[[gnu::always_inline]] inline const unsigned char* WidenAscii(const unsigned char* in, const unsigned char* end,
                                       char16_t*& out) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  while (end - in >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(bytes, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(bytes, zero));
    const int nonAscii = _mm_movemask_epi8(bytes);
    if (nonAscii != 0) {
      const int run = __builtin_ctz(static_cast<unsigned>(nonAscii));
      in += run;
      out += run;
      return in;
    }
    in += 16;
    out += 16;
  }
#endif
  while (in < end && *in < 0x80) *out++ = *in++;
  return in;
}

inline void PutSurrogatePair(uint32_t codePoint, char16_t*& out) {
  codePoint -= 0x10000;
  *out++ = static_cast<char16_t>(0xD800 + (codePoint >> 10));
  *out++ = static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
}

}  // namespace

namespace {

// The number of units a well-formed body decodes to: one per byte that is not a
// continuation byte, two for a four-byte lead. Sizing the output by it (rather than by the
// byte count) keeps a Chinese body's buffer at a third of the size.
size_t UnitsOfWellFormed(const unsigned char* in, size_t size) {
  size_t continuation = 0;
  size_t fourByteLeads = 0;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i continuationTop = _mm_set1_epi8(static_cast<char>(0xC0));  // signed: 0x80-0xBF lie below it
  const __m128i beforeFourByte = _mm_set1_epi8(static_cast<char>(0xEF));
  const __m128i afterFourByte = _mm_set1_epi8(static_cast<char>(0xF8));
  // Per-byte-lane counters (a true compare is -1, so subtracting counts up), folded into
  // 64-bit sums before a lane can overflow.
  __m128i continuationSums = zero;
  __m128i fourByteSums = zero;
  while (i + 16 <= size) {
    __m128i continuationLanes = zero;
    __m128i fourByteLanes = zero;
    for (int block = 0; block < 255 && i + 16 <= size; ++block, i += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      continuationLanes = _mm_sub_epi8(continuationLanes, _mm_cmplt_epi8(bytes, continuationTop));
      fourByteLanes = _mm_sub_epi8(fourByteLanes, _mm_and_si128(_mm_cmpgt_epi8(bytes, beforeFourByte),
                                                                _mm_cmplt_epi8(bytes, afterFourByte)));
    }
    continuationSums = _mm_add_epi64(continuationSums, _mm_sad_epu8(continuationLanes, zero));
    fourByteSums = _mm_add_epi64(fourByteSums, _mm_sad_epu8(fourByteLanes, zero));
  }
  uint64_t halves[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(halves), continuationSums);
  continuation = halves[0] + halves[1];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(halves), fourByteSums);
  fourByteLeads = halves[0] + halves[1];
#endif
  for (; i < size; ++i) {
    continuation += IsContinuation(in[i]);
    fourByteLeads += in[i] >= 0xF0 && in[i] <= 0xF7;
  }
  return size - continuation + fourByteLeads;
}

// Slack after the last unit for the 16-unit stores of the ASCII path.
constexpr size_t VectorSlack = 16;

}  // namespace

bool DecodeBody(std::string_view body, std::u16string& out) {
  auto* in = reinterpret_cast<const unsigned char*>(body.data());
  const auto* end = in + body.size();
  out.resize(UnitsOfWellFormed(in, body.size()) + VectorSlack);
  char16_t* dest = out.data();
  // Only the lenient rules' continuation-byte leads can give more units than the estimate;
  // the first one resizes to the byte count, which always suffices.
  bool byteCountRoom = false;
  while (in < end) {
    in = WidenAscii(in, end, dest);
    if (in == end) break;
    // Chinese text is mostly runs of three-byte sequences: take them in a tight loop.
    // Two sequences per 8-byte load (lead 1110xxxx, then two 10xxxxxx, little-endian).
    while (end - in >= 8) {
      uint64_t word;
      std::memcpy(&word, in, 8);
      if ((word & 0xC0C0F0C0C0F0ULL) != 0x8080E08080E0ULL) break;
      dest[0] = static_cast<char16_t>(((word & 0x0F) << 12) | ((word >> 2) & 0x0FC0) | ((word >> 16) & 0x3F));
      dest[1] = static_cast<char16_t>(((word >> 12) & 0xF000) | ((word >> 26) & 0x0FC0) | ((word >> 40) & 0x3F));
      dest += 2;
      in += 6;
    }
    while (end - in >= 3 && (in[0] & 0xF0) == 0xE0 && IsContinuation(in[1]) && IsContinuation(in[2])) {
      *dest++ = static_cast<char16_t>(((in[0] & 0x0F) << 12) | ((in[1] & 0x3F) << 6) | (in[2] & 0x3F));
      in += 3;
    }
    if (in == end) break;
    const unsigned char lead = *in;
    if (lead < 0x80) continue;
    if (IsContinuation(lead) && !byteCountRoom) {
      const size_t written = static_cast<size_t>(dest - out.data());
      out.resize(body.size() + VectorSlack);
      dest = out.data() + written;
      byteCountRoom = true;
    }
    // Pages have always been answered under these rules: any byte with the top bit set leads
    // a two-byte sequence, or a three-byte one when bit 5 is also set, with the value cut to
    // 16 bits. Leads F0-F7 now take a real four-byte sequence to a surrogate pair.
    if (lead >= 0xF0 && lead <= 0xF7) {
      if (end - in < 4 || !IsContinuation(in[1]) || !IsContinuation(in[2]) ||
          !IsContinuation(in[3]))
        return false;
      const uint32_t codePoint = (uint32_t(lead & 0x07) << 18) | (uint32_t(in[1] & 0x3F) << 12) |
                                 (uint32_t(in[2] & 0x3F) << 6) | (in[3] & 0x3F);
      if (codePoint < 0x10000 || codePoint > 0x10FFFF) return false;
      PutSurrogatePair(codePoint, dest);
      in += 4;
    } else if (lead & 0x20) {
      if (end - in < 3 || !IsContinuation(in[1]) || !IsContinuation(in[2])) return false;
      *dest++ = static_cast<char16_t>(((lead & 0x0F) << 12) | ((in[1] & 0x3F) << 6) |
                                      (in[2] & 0x3F));
      in += 3;
    } else {
      if (end - in < 2 || !IsContinuation(in[1])) return false;
      *dest++ = static_cast<char16_t>(((lead & 0x1F) << 6) | (in[1] & 0x3F));
      in += 2;
    }
  }
  out.resize(static_cast<size_t>(dest - out.data()));
  return true;
}

namespace {

// Writes each unit as one to three bytes and each surrogate pair as four; a lone surrogate
// keeps its three-byte form, or becomes "?" when strict UTF-8 is wanted.
void Encode(std::u16string_view text, std::string& out, bool strict) {
  out.clear();
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t unit = text[i];
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
               text[i + 1] < 0xE000) {
      const uint32_t codePoint = 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00);
      out += static_cast<char>(0xF0 | (codePoint >> 18));
      out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (strict && unit >= 0xD800 && unit < 0xE000) {
      out += '?';
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
}

}  // namespace

void EncodeResult(std::u16string_view text, std::string& out) { Encode(text, out, false); }

namespace {

// Length of the well-formed UTF-8 sequence at text[pos], or 0 when it is not one.
size_t SequenceLength(const unsigned char* p, size_t available) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return 1;
  size_t length;
  uint32_t codePoint;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (available < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(p[i])) return 0;
    codePoint = (codePoint << 6) | (p[i] & 0x3F);
  }
  if ((length == 3 && (codePoint < 0x800 || (codePoint >= 0xD800 && codePoint < 0xE000))) ||
      (length == 4 && (codePoint < 0x10000 || codePoint > 0x10FFFF)))
    return 0;
  return length;
}

}  // namespace

std::u16string ToUtf16(std::string_view text) {
  std::u16string out(text.size(), u'\0');
  char16_t* dest = out.data();
  auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = in + text.size();
  while (in < end) {
    in = WidenAscii(in, end, dest);
    if (in == end) break;
    const size_t length = SequenceLength(in, static_cast<size_t>(end - in));
    if (length == 0) {
      *dest++ = u'\uFFFD';
      ++in;
      continue;
    }
    uint32_t codePoint = in[0] & (length == 2 ? 0x1F : length == 3 ? 0x0F : 0x07);
    for (size_t i = 1; i < length; ++i) codePoint = (codePoint << 6) | (in[i] & 0x3F);
    if (codePoint >= 0x10000)
      PutSurrogatePair(codePoint, dest);
    else
      *dest++ = static_cast<char16_t>(codePoint);
    in += length;
  }
  out.resize(static_cast<size_t>(dest - out.data()));
  return out;
}

std::string FromUtf16(std::u16string_view text) {
  std::string out;
  Encode(text, out, true);
  return out;
}

size_t PrefixLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  size_t cut = maxBytes;
  // Step back over continuation bytes to the lead byte of the character that would be split.
  while (cut > 0 && IsContinuation(static_cast<unsigned char>(text[cut]))) --cut;
  return cut;
}

}  // namespace trs::utf8
