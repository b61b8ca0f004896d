// POSIX: the narrow code page is the locale's character set, converted through iconv.
#include <iconv.h>
#include <langinfo.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <memory>

#include "platform/Text.h"
#include "platform/Utf8.h"

namespace trs {
namespace {

// Set once at start-up, before any other thread runs; read everywhere afterwards.
std::atomic<bool> NarrowPageIsUtf8{true};
std::string NarrowPageName = "UTF-8";

bool IsUtf8Name(const char* name) {
  return strcasecmp(name, "UTF-8") == 0 || strcasecmp(name, "UTF8") == 0;
}

struct IconvCloser {
  void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

// iconv descriptors carry shift state, so each thread keeps its own pair.
iconv_t Converter(const char* to, const char* from, IconvHandle& slot) {
  if (!slot) {
    iconv_t handle = iconv_open(to, from);
    if (handle == reinterpret_cast<iconv_t>(-1)) return handle;
    slot.reset(handle);
  }
  iconv(static_cast<iconv_t>(slot.get()), nullptr, nullptr, nullptr, nullptr);
  return static_cast<iconv_t>(slot.get());
}

// Runs iconv over the whole input; on a byte sequence it cannot convert it writes the
// replacement and skips `skip` input bytes.
std::string Convert(iconv_t cd, std::string_view input, std::string_view replacement,
                    size_t skip) {
  std::string out;
  if (cd == reinterpret_cast<iconv_t>(-1)) return out;
  out.resize(input.size() * 2 + 16);
  char* in = const_cast<char*>(input.data());
  size_t inLeft = input.size();
  size_t used = 0;
  while (inLeft > 0) {
    char* dest = out.data() + used;
    size_t destLeft = out.size() - used;
    const size_t rc = iconv(cd, &in, &inLeft, &dest, &destLeft);
    used = out.size() - destLeft;
    if (rc != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
    } else {  // EILSEQ or EINVAL (cut off at the end)
      if (out.size() - used < replacement.size()) out.resize(out.size() * 2);
      out.replace(used, replacement.size(), replacement);
      used += replacement.size();
      const size_t step = std::min(skip, inLeft);
      in += step;
      inLeft -= step;
    }
  }
  out.resize(used);
  return out;
}

std::string NarrowToUtf16Bytes(std::string_view text) {
  thread_local IconvHandle slot;
  static const char replacement[] = {'\xFD', '\xFF'};  // U+FFFD, little-endian
  return Convert(Converter("UTF-16LE", NarrowPageName.c_str(), slot), text,
                 std::string_view(replacement, 2), 1);
}

}  // namespace

void InitNarrowCodePage() {
  std::setlocale(LC_ALL, "");
  const char* codeset = nl_langinfo(CODESET);
  // A C/POSIX locale reports ASCII; the program treats it as UTF-8.
  if (codeset == nullptr || *codeset == 0 || IsUtf8Name(codeset) ||
      strcasecmp(codeset, "ANSI_X3.4-1968") == 0 || strcasecmp(codeset, "ASCII") == 0) {
    NarrowPageName = "UTF-8";
    NarrowPageIsUtf8 = true;
  } else {
    NarrowPageName = codeset;
    NarrowPageIsUtf8 = false;
  }
}

bool NarrowIsUtf8() { return NarrowPageIsUtf8.load(std::memory_order_relaxed); }

WideString NarrowToWide(std::string_view text) {
  if (NarrowIsUtf8()) return utf8::ToUtf16(text);
  const std::string bytes = NarrowToUtf16Bytes(text);
  WideString out(bytes.size() / 2, u'\0');
  std::memcpy(out.data(), bytes.data(), out.size() * 2);
  return out;
}

std::string WideToNarrow(std::u16string_view text) {
  if (NarrowIsUtf8()) return utf8::FromUtf16(text);
  thread_local IconvHandle slot;
  const std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  return Convert(Converter(NarrowPageName.c_str(), "UTF-16LE", slot), bytes, "?", 2);
}

std::string NarrowToUtf8(std::string_view text) {
  if (NarrowIsUtf8()) return std::string(text);
  return utf8::FromUtf16(NarrowToWide(text));
}

std::string Utf8ToNarrow(std::string_view text) {
  if (NarrowIsUtf8()) return std::string(text);
  return WideToNarrow(utf8::ToUtf16(text));
}

size_t NarrowCutLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  if (NarrowIsUtf8()) return utf8::PrefixLength(text, maxBytes);
  // Other multi-byte pages (GBK, Big5, ...): walk whole characters with the locale's decoder.
  std::mbstate_t state{};
  size_t pos = 0;
  while (pos < maxBytes) {
    const size_t length = std::mbrlen(text.data() + pos, text.size() - pos, &state);
    size_t step = length;
    if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2)) {
      state = std::mbstate_t{};  // not a character here: count the byte on its own
      step = 1;
    } else if (length == 0) {
      step = 1;
    }
    if (pos + step > maxBytes) break;
    pos += step;
  }
  return pos;
}

}  // namespace trs
