// POSIX part of the text model: the narrow code page is the locale's character set, converted
// through iconv.
#include <iconv.h>
#include <langinfo.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <memory>

#include "platform/Text.h"
#include "platform/Utf8.h"

namespace trs {
namespace {

// Set at start-up, before any other thread runs; read everywhere afterwards.
std::atomic<bool> NarrowPageIsUtf8{true};
std::string NarrowPageName = "UTF-8";
// Counts page changes, so that converters opened for an earlier page are reopened.
std::atomic<unsigned> NarrowPageGeneration{0};

bool IsUtf8Name(const std::string& name) {
  return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0;
}

struct IconvCloser {
  void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
// One cached converter, tied to the page it was opened for.
struct TConverterSlot {
  std::unique_ptr<void, IconvCloser> Handle;
  unsigned Generation = 0;
};

const iconv_t NoConverter = reinterpret_cast<iconv_t>(-1);

// iconv descriptors carry shift state, so each thread keeps its own; `toNarrow` picks the
// direction between UTF-16LE and the narrow page.
iconv_t Converter(bool toNarrow, TConverterSlot& slot) {
  const unsigned generation = NarrowPageGeneration.load();
  if (!slot.Handle || slot.Generation != generation) {
    slot.Handle.reset();
    const char* page = NarrowPageName.c_str();
    iconv_t handle = toNarrow ? iconv_open(page, "UTF-16LE") : iconv_open("UTF-16LE", page);
    if (handle == NoConverter) return handle;
    slot.Handle.reset(handle);
    slot.Generation = generation;
  }
  iconv(static_cast<iconv_t>(slot.Handle.get()), nullptr, nullptr, nullptr, nullptr);
  return static_cast<iconv_t>(slot.Handle.get());
}

iconv_t ToWideConverter() {
  thread_local TConverterSlot slot;
  return Converter(false, slot);
}

iconv_t ToNarrowConverter() {
  thread_local TConverterSlot slot;
  return Converter(true, slot);
}

// Runs iconv over the whole input; on a byte sequence it cannot convert it writes the
// replacement and skips `skip` input bytes.
std::string Convert(iconv_t cd, std::string_view input, std::string_view replacement,
                    size_t skip) {
  std::string out;
  if (cd == NoConverter) return out;
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
  static const char replacement[] = {'\xFD', '\xFF'};  // U+FFFD, little-endian
  return Convert(ToWideConverter(), text, std::string_view(replacement, 2), 1);
}

}  // namespace

void InitNarrowCodePage() {
  std::setlocale(LC_ALL, "");
  AdoptHostNarrowCodePage();
}

void AdoptHostNarrowCodePage() {
  const char* codeset = nl_langinfo(CODESET);
  UseNarrowCodePage(codeset == nullptr ? "" : codeset);
}

void UseNarrowCodePage(const std::string& codeset) {
  // A C/POSIX locale reports ASCII; the program treats it as UTF-8.
  const bool utf8 = codeset.empty() || IsUtf8Name(codeset) || strcasecmp(codeset.c_str(), "ANSI_X3.4-1968") == 0 ||
                    strcasecmp(codeset.c_str(), "ASCII") == 0;
  NarrowPageName = utf8 ? "UTF-8" : codeset;
  NarrowPageIsUtf8 = utf8;
  ++NarrowPageGeneration;
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
  const std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  return Convert(ToNarrowConverter(), bytes, "?", 2);
}

size_t NarrowCutLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  if (NarrowIsUtf8()) return utf8::PrefixLength(text, maxBytes);
  // Other multi-byte pages (GBK, Big5, ...): step through whole characters by converting one
  // at a time; iconv reports how many bytes each took.
  const iconv_t cd = ToWideConverter();
  if (cd == NoConverter) return maxBytes;
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  size_t pos = 0;
  while (pos < maxBytes && inLeft > 0) {
    char unit[4];
    size_t step = 0;
    for (size_t room : {size_t{2}, size_t{4}}) {  // one UTF-16 unit, else a surrogate pair
      char* dest = unit;
      size_t destLeft = room;
      char* from = in;
      size_t fromLeft = inLeft;
      const size_t rc = iconv(cd, &from, &fromLeft, &dest, &destLeft);
      step = inLeft - fromLeft;
      if (step > 0 || (rc == static_cast<size_t>(-1) && errno != E2BIG)) break;
    }
    if (step == 0) step = 1;  // not a character of the page: the byte counts on its own
    if (pos + step > maxBytes) break;
    pos += step;
    in += step;
    inLeft -= step;
  }
  return pos;
}

}  // namespace trs
