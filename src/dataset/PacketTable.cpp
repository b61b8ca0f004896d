// Column descriptors, the row arena and the row encoder shared by both packet formats.
#include "dataset/PacketTable.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/Exceptions.h"

namespace trs::packet {
namespace {

constexpr size_t MaxChunk = 64 * 1024;
// Rows above this get a chunk of their own, which bounds the space a chunk leaves unused.
constexpr size_t BigRow = MaxChunk / 8;

[[noreturn]] void ThrowBadColumn(const TColumn& column, const char* problem) {
  ThrowBadPacket(Format("field '%s' (size %u, type 0x%04X) %s", column.Def.Name.c_str(),
                        column.Size, column.Type, problem));
}

bool FixedSizeAllowed(uint8_t base, uint16_t size) {
  switch (base) {
    case btSigned:
    case btUnsigned:
      return size == 1 || size == 2 || size == 4 || size == 8;
    case btBoolean:
      return size == 1 || size == 2 || size == 4;
    case btFloat:
    case btTimestamp:
      return size == 8;
    case btDate:
    case btTime:
      return size == 4;
    default:  // BCD, text and bytes of a fixed length
      return size >= 1;
  }
}

// Checks that the descriptor words fit together and derives how values are stored.
void SetStorage(TColumn& column) {
  const uint8_t base = column.Base();
  const uint16_t flags = column.Type & ~BaseTypeMask;
  if ((flags & ~(TypeVarying | TypeArray)) != 0 || flags == (TypeVarying | TypeArray) ||
      base < btSigned || base > btBytes)
    ThrowBadColumn(column, "has a type the engine does not support");
  if (flags & TypeArray) {
    if (column.Size == 0) ThrowBadColumn(column, "has array elements of no size");
    column.Storage = TStorage::Array;
    column.MaxPayload = 4 + 0xFFFFFFFFull * column.Size;
  } else if (flags & TypeVarying) {
    if (base != btBCD && base != btString && base != btUnicode && base != btBytes)
      ThrowBadColumn(column, "has a length prefix its type does not allow");
    if (column.Size < 1 || column.Size > 4) ThrowBadColumn(column, "has a length prefix of a bad width");
    column.Storage = TStorage::Varying;
    column.MaxPayload = (1ull << (8 * column.Size)) - 1;
  } else {
    if (!FixedSizeAllowed(base, column.Size)) ThrowBadColumn(column, "has a size its type does not allow");
    column.Storage = TStorage::Fixed;
    column.MaxPayload = column.Size;
  }
}

int TextSize(const TColumn& column) {
  uint64_t bytes = column.MaxPayload;
  if (column.Width >= 0) bytes = std::min<uint64_t>(bytes, static_cast<uint64_t>(column.Width));
  return static_cast<int>(std::min<uint64_t>(bytes, INT_MAX));
}

}  // namespace

void ThrowBadPacket(const std::string& detail) {
  throw EDatabaseError("Invalid data packet: " + detail);
}

TColumn ColumnFromDef(const TFieldDef& def) {
  TColumn column;
  column.Def = def;
  if (def.Required) column.Attributes |= AttrRequired;
  if (def.ReadOnly) column.Attributes |= AttrReadOnly;
  const auto text = [&](uint8_t base, long long bytes) {
    if (def.Size < 0 || bytes > MaxTextFieldSize) throw EDatabaseError("Invalid field size");
    column.Type = base | TypeVarying;
    column.Size = bytes < 255 ? 1 : 2;
    column.Width = static_cast<int32_t>(bytes);
  };
  const auto fixed = [&](uint8_t base, uint16_t size) {
    column.Type = base;
    column.Size = size;
    column.Def.Size = 0;
  };
  switch (def.DataType) {
    case TFieldType::ftString: text(btString, def.Size); break;
    case TFieldType::ftWideString: text(btUnicode, 2LL * def.Size); break;
    case TFieldType::ftSmallint: fixed(btSigned, 2); break;
    case TFieldType::ftInteger: fixed(btSigned, 4); break;
    case TFieldType::ftLargeint: fixed(btSigned, 8); break;
    case TFieldType::ftWord: fixed(btUnsigned, 2); break;
    case TFieldType::ftBoolean: fixed(btBoolean, 2); break;
    case TFieldType::ftFloat: fixed(btFloat, 8); break;
    case TFieldType::ftDate: fixed(btDate, 4); break;
    case TFieldType::ftTime: fixed(btTime, 4); break;
    case TFieldType::ftDateTime: fixed(btTimestamp, 8); break;
    case TFieldType::ftBlob:
      column.Type = btBytes | TypeVarying;
      column.Size = 4;
      column.Def.Size = 0;
      if (column.Def.Subtype.empty()) column.Def.Subtype = "Binary";
      break;
    case TFieldType::ftBCD:
      // The packed decimal layout is only ever copied from packets, never produced.
      throw EDatabaseError(Format("Field '%s': BCD fields come only from data packets", def.Name.c_str()));
  }
  SetStorage(column);
  return column;
}

void CompletePacketColumn(TColumn& column) {
  SetStorage(column);
  TFieldDef& def = column.Def;
  def.Required = (column.Attributes & AttrRequired) != 0;
  def.ReadOnly = (column.Attributes & AttrReadOnly) != 0;
  def.Size = 0;
  if (column.Storage == TStorage::Array) {
    def.DataType = TFieldType::ftBlob;  // the value stays the packet's raw bytes
    return;
  }
  switch (column.Base()) {
    case btSigned:
      def.DataType = column.Size <= 2   ? TFieldType::ftSmallint
                     : column.Size == 4 ? TFieldType::ftInteger
                                        : TFieldType::ftLargeint;
      break;
    case btUnsigned: def.DataType = TFieldType::ftWord; break;
    case btBoolean: def.DataType = TFieldType::ftBoolean; break;
    case btFloat: def.DataType = TFieldType::ftFloat; break;
    case btBCD:
      def.DataType = TFieldType::ftBCD;
      def.Size = column.Width >= 0 ? column.Width : column.Size;
      break;
    case btDate: def.DataType = TFieldType::ftDate; break;
    case btTime: def.DataType = TFieldType::ftTime; break;
    case btTimestamp: def.DataType = TFieldType::ftDateTime; break;
    case btString:
      def.DataType = TFieldType::ftString;
      def.Size = TextSize(column);
      break;
    case btUnicode:
      def.DataType = TFieldType::ftWideString;
      def.Size = TextSize(column) / 2;
      break;
    default: def.DataType = TFieldType::ftBlob; break;
  }
}

size_t EncodedValueLength(const TColumn& column, const char* data, size_t available) {
  switch (column.Storage) {
    case TStorage::Fixed:
      return column.Size <= available ? column.Size : BadLength;
    case TStorage::Varying: {
      if (available < column.Size) return BadLength;
      const uint64_t length = ReadLittleEndian(data, column.Size);
      return length <= available - column.Size ? column.Size + static_cast<size_t>(length) : BadLength;
    }
    case TStorage::Array: {
      if (available < 4) return BadLength;
      const uint64_t bytes = ReadLittleEndian(data, 4) * column.Size;
      return bytes <= available - 4 ? 4 + static_cast<size_t>(bytes) : BadLength;
    }
  }
  return BadLength;
}

uint64_t ReadLittleEndian(const char* data, size_t bytes) {
  uint64_t value = 0;
  for (size_t i = bytes; i-- > 0;) value = value << 8 | static_cast<unsigned char>(data[i]);
  return value;
}

void AppendLittleEndian(std::string& out, uint64_t value, size_t bytes) {
  for (size_t i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

const char* TRowArena::Store(std::string_view bytes) {
  char* place = nullptr;
  if (bytes.size() > BigRow) {
    TChunk chunk{std::make_unique<char[]>(bytes.size()), bytes.size()};
    place = chunk.Data.get();
    Capacity += chunk.Size;
    Chunks.push_back(std::move(chunk));
  } else {
    if (Current == static_cast<size_t>(-1) || Chunks[Current].Size - Used < bytes.size()) {
      const size_t size = std::max(NextChunk, bytes.size());
      NextChunk = std::min(NextChunk * 2, MaxChunk);
      Chunks.push_back(TChunk{std::make_unique<char[]>(size), size});
      Capacity += size;
      Current = Chunks.size() - 1;
      Used = 0;
    }
    place = Chunks[Current].Data.get() + Used;
    Used += bytes.size();
  }
  if (!bytes.empty()) std::memcpy(place, bytes.data(), bytes.size());
  return place;
}

void TRowArena::Clear() { *this = TRowArena(); }

void TRowIndex::push_back(const TRowRef& row) {
  if (Count == Blocks.size() * BlockRows) Blocks.push_back(std::make_unique<TRowRef[]>(BlockRows));
  Blocks[Count / BlockRows][Count % BlockRows] = row;
  ++Count;
}

size_t TRowIndex::CapacityBytes() const {
  return Blocks.size() * BlockRows * sizeof(TRowRef) + Blocks.capacity() * sizeof(Blocks[0]);
}

void TPacketTable::AppendRow(std::string_view encoded) {
  if (encoded.size() > UINT32_MAX) throw EDatabaseError("Record size exceeds 4 GB");
  RowList.push_back(TRowRef{Arena.Store(encoded), static_cast<uint32_t>(encoded.size())});
  TotalRowBytes += encoded.size();
}

size_t TPacketTable::StorageBytes() const {
  return Arena.CapacityBytes() + RowList.CapacityBytes();
}

void TPacketTable::ClearRows() {
  Arena.Clear();
  RowList = {};
  TotalRowBytes = 0;
}

void TPacketTable::Clear() {
  ClearRows();
  Columns.clear();
}

void TRowEncoder::Start() {
  Buffer.assign(1 + StatusBytes(Columns->size()), '\0');
  Next = 0;
}

void TRowEncoder::AddNull() {
  Buffer[1 + Next / 4] = static_cast<char>(Buffer[1 + Next / 4] | (fsNull << (Next % 4 * 2)));
  ++Next;
}

void TRowEncoder::AddPayload(std::string_view payload) {
  const TColumn& column = (*Columns)[Next];
  bool fits = payload.size() <= column.MaxPayload;
  if (column.Storage == TStorage::Fixed) fits = payload.size() == column.Size;
  if (column.Storage == TStorage::Array)
    fits = EncodedValueLength(column, payload.data(), payload.size()) == payload.size();
  if (!fits)
    throw EDatabaseError(Format("A value of %zu bytes does not fit field '%s'", payload.size(),
                                column.Def.Name.c_str()));
  AppendLittleEndian(Buffer, payload.size(), column.PrefixBytes());
  Buffer.append(payload);
  ++Next;
}

}  // namespace trs::packet
