// What the logs say about the moment and place of an event: the local time, the calling
// thread's stack and the readable name of a type.
#pragma once

#include <string>
#include <typeinfo>

namespace trs {

// The calling thread's stack, one frame per line ("  <frame>\n"), without this function.
std::string CurrentStackTrace();
// The readable name of a type (demangled where the platform mangles).
std::string ReadableTypeName(const std::type_info& type);
// The local time as "yyyy-mm-dd hh:nn:ss", with ".zzz" milliseconds when asked.
std::string LocalTimestamp(bool withMilliseconds = false);

}  // namespace trs
