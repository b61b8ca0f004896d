#include "NarrowText.h"

#include <langinfo.h>

#include <mutex>

#include "platform/Text.h"

namespace printkit {

namespace {

// The engine carries its own copy of the text layer: it takes the code page of the locale
// that the program has already set.
void UseProgramCodePage() {
  static std::once_flag done;
  std::call_once(done, [] {
    const char* codeset = ::nl_langinfo(CODESET);
    trs::UseNarrowCodePage(codeset == nullptr ? "" : codeset);
  });
}

}  // namespace

std::string NarrowToUtf8(const char* text) { return text == nullptr ? std::string() : NarrowToUtf8(std::string(text)); }

std::string NarrowToUtf8(const std::string& text) {
  UseProgramCodePage();
  return trs::NarrowToUtf8(text);
}

std::string Utf8ToNarrow(const std::string& text) {
  UseProgramCodePage();
  return trs::Utf8ToNarrow(text);
}

}  // namespace printkit
