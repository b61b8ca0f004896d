// The table in the form both packet formats share: column descriptors as a binary packet
// declares them, and posted rows encoded exactly as binary packet rows (a status byte, two
// bits of field status per field, then the present values), so writing a binary packet is
// close to a copy and every value costs its real length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/ClientDataSet.h"

namespace trs::packet {

// Base type codes, bits 0-5 of a type word.
enum : uint8_t {
  btSigned = 1,
  btUnsigned = 2,
  btBoolean = 3,
  btFloat = 4,
  btBCD = 5,
  btDate = 6,
  btTime = 7,
  btTimestamp = 8,
  btString = 9,
  btUnicode = 10,
  btBytes = 11,
};
inline constexpr uint16_t BaseTypeMask = 0x3F;
inline constexpr uint16_t TypeVarying = 0x40;  // a length prefix `size` bytes wide
inline constexpr uint16_t TypeArray = 0x80;    // a u32 count of `size`-byte elements

// Field attribute flags.
enum : uint16_t { AttrHidden = 1, AttrReadOnly = 2, AttrRequired = 4, AttrLink = 8 };

// Field status values, two bits per field.
enum : unsigned { fsValue = 0, fsNull = 1, fsNotChanged = 2 };
// Row status bits that keep a row out of the current view: old version, deleted, unused.
inline constexpr uint8_t RowNotCurrentMask = 0x01 | 0x02 | 0x20;

enum class TStorage : uint8_t {
  Fixed,    // exactly Size bytes
  Varying,  // Size-byte length, then the bytes
  Array,    // u32 count, then count * Size bytes (kept whole as the value)
};

// One column: its public definition plus the descriptor words of the binary packet.
// Invariant: Storage and MaxPayload agree with Size and Type (see CompletePacketColumn).
struct TColumn {
  TFieldDef Def;
  uint16_t Size = 0;        // descriptor size word
  uint16_t Type = 0;        // descriptor type word
  uint16_t Attributes = 0;  // descriptor attribute flags
  int32_t Width = -1;       // WIDTH property, -1 when the column has none
  TStorage Storage = TStorage::Fixed;
  uint64_t MaxPayload = 0;  // most value bytes the column holds (after a length prefix)

  uint8_t Base() const { return static_cast<uint8_t>(Type & BaseTypeMask); }
  size_t PrefixBytes() const { return Storage == TStorage::Varying ? Size : 0; }
};

// The column a definition creates. EDatabaseError "Invalid field size" for text wider than
// MaxTextFieldSize (or a negative size); EDatabaseError for types only packets bring.
TColumn ColumnFromDef(const TFieldDef& def);
// Completes a column whose Def.Name, Def.Subtype, Size, Type, Attributes and Width were read
// from a packet: sets Storage, MaxPayload and the rest of Def. EDatabaseError when the words
// do not describe a column the engine understands.
void CompletePacketColumn(TColumn& column);

// Bytes taken by the encoded value at `data`, or BadLength when it would run past `available`.
inline constexpr size_t BadLength = static_cast<size_t>(-1);
size_t EncodedValueLength(const TColumn& column, const char* data, size_t available);

uint64_t ReadLittleEndian(const char* data, size_t bytes);
void AppendLittleEndian(std::string& out, uint64_t value, size_t bytes);

inline size_t StatusBytes(size_t fieldCount) { return (fieldCount + 3) / 4; }
inline unsigned FieldStatus(const char* row, size_t field) {
  return (static_cast<unsigned char>(row[1 + field / 4]) >> (field % 4 * 2)) & 3u;
}

struct TRowRef {
  const char* Data = nullptr;
  uint32_t Size = 0;
  std::string_view View() const { return {Data, Size}; }
};

// Row bytes stored back to back in chunks that never move, so row references stay valid.
// Chunks grow from small to a cap so a small table stays small and a big one wastes little;
// a big row gets a chunk of its own.
class TRowArena {
 public:
  const char* Store(std::string_view bytes);
  void Clear();
  size_t CapacityBytes() const { return Capacity; }

 private:
  struct TChunk {
    std::unique_ptr<char[]> Data;
    size_t Size = 0;
  };
  std::vector<TChunk> Chunks;
  size_t Current = static_cast<size_t>(-1);  // chunk that takes small rows
  size_t Used = 0;                           // bytes used in the current chunk
  size_t NextChunk = 4096;
  size_t Capacity = 0;
};

// References to the rows in fixed-size blocks: the index grows without copying itself and
// never holds more than one block of unused slots (a doubling vector could hold as many
// unused slots as used ones).
class TRowIndex {
 public:
  static constexpr size_t BlockRows = 512;

  class TIterator {
   public:
    TIterator(const TRowIndex* index, size_t position) : Index(index), Position(position) {}
    const TRowRef& operator*() const { return (*Index)[Position]; }
    TIterator& operator++() {
      ++Position;
      return *this;
    }
    bool operator!=(const TIterator& other) const { return Position != other.Position; }

   private:
    const TRowIndex* Index;
    size_t Position;
  };

  void push_back(const TRowRef& row);
  size_t size() const { return Count; }
  bool empty() const { return Count == 0; }
  const TRowRef& operator[](size_t i) const { return Blocks[i / BlockRows][i % BlockRows]; }
  TIterator begin() const { return {this, 0}; }
  TIterator end() const { return {this, Count}; }
  size_t CapacityBytes() const;

 private:
  std::vector<std::unique_ptr<TRowRef[]>> Blocks;
  size_t Count = 0;
};

// Columns and the rows of the current view, each row in binary packet form with status 0
// and field status 0 or 1 only.
class TPacketTable {
 public:
  std::vector<TColumn> Columns;

  void AppendRow(std::string_view encoded);
  const TRowIndex& Rows() const { return RowList; }
  size_t RowBytes() const { return TotalRowBytes; }
  // Memory held by the rows: arena chunks plus the row index.
  size_t StorageBytes() const;
  void ClearRows();
  void Clear();

 private:
  TRowArena Arena;
  TRowIndex RowList;
  size_t TotalRowBytes = 0;
};

// Builds one row of a table in field order: Start, then one Add call per field.
class TRowEncoder {
 public:
  explicit TRowEncoder(const std::vector<TColumn>& columns) : Columns(&columns) {}
  void Start();
  void AddNull();
  // The value's bytes without any length prefix; the encoder adds it.
  void AddPayload(std::string_view payload);
  // The value exactly as a packet row holds it.
  void AddEncoded(std::string_view encoded) { Buffer.append(encoded); ++Next; }
  std::string_view Row() const { return Buffer; }

 private:
  const std::vector<TColumn>* Columns;
  std::string Buffer;
  size_t Next = 0;
};

// The packet's complaint about malformed input, as the dataset reports it.
[[noreturn]] void ThrowBadPacket(const std::string& detail);

}  // namespace trs::packet
