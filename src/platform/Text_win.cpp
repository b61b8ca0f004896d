// Windows part of the text model: the narrow code page is the system's ANSI page (GetACP),
// converted with MultiByteToWideChar / WideCharToMultiByte.
#include <atomic>
#include <cctype>
#include <clocale>
#include <cstdlib>

#include "platform/Text.h"
#include "platform/Utf8.h"
#include "platform/Win32_win.h"

namespace trs {
namespace {

constexpr UINT Utf8Page = CP_UTF8;
constexpr UINT Gb18030Page = 54936;

// Set at start-up, before any other thread runs; read everywhere afterwards.
std::atomic<UINT> NarrowPage{Utf8Page};

UINT Page() { return NarrowPage.load(std::memory_order_relaxed); }

std::string UpperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// The code page of a character-set name as Linux locales and iconv spell them; 0 when the
// name is unknown.
UINT PageOfName(const std::string& name) {
  const std::string upper = UpperAscii(name);
  if (upper.empty() || upper == "UTF-8" || upper == "UTF8" || upper == "ASCII" || upper == "ANSI_X3.4-1968")
    return Utf8Page;
  if (upper == "GBK" || upper == "GB2312" || upper == "EUC-CN" || upper == "CP936") return 936;
  if (upper == "GB18030") return Gb18030Page;
  if (upper == "BIG5" || upper == "CP950") return 950;
  if (upper == "SHIFT_JIS" || upper == "SJIS" || upper == "CP932") return 932;
  if (upper == "EUC-KR" || upper == "CP949") return 949;
  const std::string digits = upper.rfind("CP", 0) == 0 ? upper.substr(2) : upper;
  if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos)
    return static_cast<UINT>(std::strtoul(digits.c_str(), nullptr, 10));
  return 0;
}

// Converts bytes of the narrow page exactly; false when any of them is not valid there.
bool ConvertStrict(std::string_view bytes, WideString& out) {
  if (bytes.empty()) return true;
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(Page(), MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) return false;
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(length));
  ::MultiByteToWideChar(Page(), MB_ERR_INVALID_CHARS, bytes.data(), size, reinterpret_cast<wchar_t*>(&out[start]),
                        length);
  return true;
}

// The length in bytes of the character at the start of `text` (1, 2 or 4 bytes, as the
// pages used here have), or 0 when no valid character starts there.
size_t CharacterLength(std::string_view text) {
  for (size_t length : {size_t{1}, size_t{2}, size_t{4}}) {
    if (length > text.size()) break;
    WideString ignored;
    if (ConvertStrict(text.substr(0, length), ignored)) return length;
  }
  return 0;
}

}  // namespace

void InitNarrowCodePage() {
  // The C library's character type follows the user's locale, as on Linux: engine libraries
  // loaded later take the program's page from it (AdoptHostNarrowCodePage). Numbers keep the
  // C locale's format.
  std::setlocale(LC_CTYPE, "");
  UseNarrowCodePage("CP" + std::to_string(::GetACP()));
}

void AdoptHostNarrowCodePage() {
  // The page of the process's C-library locale ("Chinese (Simplified)_China.936" gives 936);
  // the C locale of a process that never chose one counts as UTF-8, as on Linux.
  const char* name = std::setlocale(LC_CTYPE, nullptr);
  const std::string locale = name == nullptr ? "C" : name;
  const size_t dot = locale.rfind('.');
  UseNarrowCodePage(dot == std::string::npos ? "" : locale.substr(dot + 1));
}

void UseNarrowCodePage(const std::string& codeset) {
  const UINT page = PageOfName(codeset);
  // An unknown name, or a page this system cannot convert (Wine lacks GB18030), keeps the
  // system's own page, which the program's files are written in.
  NarrowPage = page == Utf8Page || (page != 0 && ::IsValidCodePage(page)) ? page : ::GetACP();
}

bool NarrowIsUtf8() { return Page() == Utf8Page; }

WideString NarrowToWide(std::string_view text) {
  if (NarrowIsUtf8()) return utf8::ToUtf16(text);
  WideString out;
  if (ConvertStrict(text, out)) return out;
  // Some bytes are not valid in the page: convert character by character, each invalid
  // byte becoming U+FFFD.
  out.clear();
  while (!text.empty()) {
    const size_t length = CharacterLength(text);
    if (length == 0) {
      out += u'\uFFFD';
      text.remove_prefix(1);
    } else {
      ConvertStrict(text.substr(0, length), out);
      text.remove_prefix(length);
    }
  }
  return out;
}

std::string WideToNarrow(std::u16string_view text) {
  if (NarrowIsUtf8()) return utf8::FromUtf16(text);
  if (text.empty()) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int size = static_cast<int>(text.size());
  // Pages that can't hold every character put "?" in place of the missing ones, without the
  // system's "best fit" look-alikes (A for U+0100, 8 for U+221E), which would change the text
  // silently. GB18030 holds every character and takes neither the flag nor a replacement.
  const bool everyCharacter = Page() == Gb18030Page;
  const DWORD flags = everyCharacter ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* replacement = everyCharacter ? nullptr : "?";
  const int length = ::WideCharToMultiByte(Page(), flags, wide, size, nullptr, 0, replacement, nullptr);
  std::string out(static_cast<size_t>(length > 0 ? length : 0), '\0');
  if (length > 0) ::WideCharToMultiByte(Page(), flags, wide, size, out.data(), length, replacement, nullptr);
  return out;
}

size_t NarrowCutLength(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text.size();
  if (NarrowIsUtf8()) return utf8::PrefixLength(text, maxBytes);
  size_t pos = 0;
  while (pos < maxBytes) {
    size_t step = CharacterLength(text.substr(pos));
    if (step == 0) step = 1;  // not a character of the page: the byte counts on its own
    if (pos + step > maxBytes) break;
    pos += step;
  }
  return pos;
}

}  // namespace trs
