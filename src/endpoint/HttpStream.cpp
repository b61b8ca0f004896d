// The in-memory byte stream.
#include "endpoint/HttpStream.h"

#include <algorithm>
#include <cstring>

namespace trs {

long THttpMemoryStream::Read(char* buffer, size_t size) {
  if (Position == Input.size()) return End == EndClosed ? 0 : -1;
  const size_t count = std::min({size, MaxChunk, Input.size() - Position});
  std::memcpy(buffer, Input.data() + Position, count);
  Position += count;
  return static_cast<long>(count);
}

bool THttpMemoryStream::WriteAll(std::string_view data) {
  Output.append(data);
  return true;
}

}  // namespace trs
