// A seekable in-memory byte stream filled from base64 text: how a binary cell of a staged
// bill table reaches its blob field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trs {

// Where a Seek offset counts from.
enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// The decoded bytes of one base64 text, read from position 0 on.
//
// The text uses the MIME alphabet (A-Z a-z 0-9 + /) in groups of four characters, each
// group giving three bytes; only the last group may end in "=" or "==" and then gives two
// or one. Nothing is skipped: a length that is not a multiple of four raises
// "Uneven size in DecodeToStream.", and any character outside the alphabet, or "=" anywhere
// but the end of the last group, raises an error too (EConvertError in both cases). The
// bits that padding leaves over are ignored, as MIME decoders do. The empty text gives an
// empty stream.
//
// Invariant: 0 <= Position(); Position() may lie beyond Size() after a Seek, and a Read
// there gives nothing.
class TBase64DecodeStream {
 public:
  // Converts the text to the narrow page first: base64 is ASCII, and whatever is not
  // becomes a character outside the alphabet.
  explicit TBase64DecodeStream(std::u16string_view text);
  // From text already in the narrow page, such as a staged table's cell.
  static TBase64DecodeStream FromNarrow(std::string_view text);

  const std::string& Bytes() const { return Data; }
  int64_t Size() const { return static_cast<int64_t>(Data.size()); }
  int64_t Position() const { return Pos; }
  // Moves the position and returns it. A target before the start raises EConvertError
  // "Invalid stream position" and leaves the position where it was.
  int64_t Seek(int64_t offset, TSeekOrigin origin);
  // Copies up to `count` bytes from the position on and advances past them; returns how
  // many were copied (0 at or beyond the end).
  size_t Read(void* buffer, size_t count);

 private:
  explicit TBase64DecodeStream(std::string bytes) : Data(std::move(bytes)) {}
  std::string Data;
  int64_t Pos = 0;
};

// The decoding alone: the bytes of narrow base64 text, with the errors described above.
std::string DecodeBase64Strict(std::string_view text);

}  // namespace trs
