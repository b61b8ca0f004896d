// The report engine's short strings: narrow text of at most 255 bytes behind a length byte.
#pragma once

#include <string>
#include <string_view>

#include "engineabi/QPrint.h"

namespace trs {

// `narrow` as a short string, cut to 255 bytes without splitting a multi-byte character.
ShortString ToShortString(std::string_view narrow);
// The narrow text a short string holds.
std::string FromShortString(const ShortString& text);

}  // namespace trs
