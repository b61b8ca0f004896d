// Binary MIDAS data packets: the writer and the reader.
#include "dataset/MidasBinary.h"

#include <cstring>
#include <optional>

#include "platform/Exceptions.h"

namespace trs::packet {
namespace {

constexpr char Magic[4] = {'\x96', '\x19', '\xE0', '\xBD'};
constexpr size_t HeaderSize = 24;
constexpr uint32_t FlagMetadata = 1;
constexpr uint32_t FlagDataOffset = 2;
// Name length, size, type, attributes, property count.
constexpr size_t MinFieldDescriptor = 1 + 2 + 2 + 2 + 2;

void AppendProperty(std::string& out, std::string_view name, uint16_t size, uint16_t type) {
  out += static_cast<char>(name.size());
  out.append(name);
  AppendLittleEndian(out, size, 2);
  AppendLittleEndian(out, type, 2);
}

std::string Metadata(const std::vector<TColumn>& columns) {
  std::string out;
  for (const TColumn& column : columns) {
    const std::string& name = column.Def.Name;
    if (name.size() > 255)
      throw EDatabaseError(Format("Field name '%s' is longer than a binary data packet allows (255 bytes)", name.c_str()));
    out += static_cast<char>(name.size());
    out.append(name);
    AppendLittleEndian(out, column.Size, 2);
    AppendLittleEndian(out, column.Type, 2);
    AppendLittleEndian(out, column.Attributes, 2);
    const bool hasSubtype = !column.Def.Subtype.empty();
    const bool hasWidth = column.Width >= 0;
    AppendLittleEndian(out, (hasSubtype ? 1u : 0u) + (hasWidth ? 1u : 0u), 2);
    if (hasSubtype) {
      // The subtype keeps its terminating zero, and the zero counts in its length.
      if (column.Def.Subtype.size() >= 0xFFFF)
        throw EDatabaseError(Format("Field '%s' has a subtype too long for a data packet", name.c_str()));
      AppendProperty(out, "SUBTYPE", 2, btString | TypeVarying);
      AppendLittleEndian(out, column.Def.Subtype.size() + 1, 2);
      out.append(column.Def.Subtype);
      out += '\0';
    }
    if (hasWidth) {
      if (column.Width > 0xFFFF)
        throw EDatabaseError(Format("Field '%s' is too wide for a data packet", name.c_str()));
      AppendProperty(out, "WIDTH", 2, btUnsigned);
      AppendLittleEndian(out, static_cast<uint64_t>(column.Width), 2);
    }
  }
  AppendLittleEndian(out, 0, 2);  // no dataset properties
  return out;
}

// Bounds-checked reading of a packet; every overrun is a malformed packet.
class TByteReader {
 public:
  explicit TByteReader(std::string_view bytes) : Bytes(bytes) {}

  size_t Pos() const { return Position; }
  size_t Remaining() const { return Bytes.size() - Position; }
  const char* Here() const { return Bytes.data() + Position; }
  void Skip(size_t count) { Position += count; }

  uint64_t Number(size_t width, const char* what) {
    return ReadLittleEndian(Take(width, what).data(), width);
  }
  std::string_view Take(uint64_t count, const char* what) {
    if (count > Remaining())
      ThrowBadPacket(Format("%s runs past the end of the data (offset %zu)", what, Position));
    const std::string_view out = Bytes.substr(Position, static_cast<size_t>(count));
    Position += static_cast<size_t>(count);
    return out;
  }

 private:
  std::string_view Bytes;
  size_t Position = 0;
};

struct TProperty {
  std::string_view Name;
  uint16_t Size = 0;
  uint16_t Type = 0;
  uint32_t Count = 1;        // elements of an array property
  std::string_view Value;    // fixed bytes, varying data, or the array's elements
};

TProperty ReadProperty(TByteReader& in) {
  TProperty property;
  property.Name = in.Take(in.Number(1, "a property name"), "a property name");
  property.Size = static_cast<uint16_t>(in.Number(2, "a property size"));
  property.Type = static_cast<uint16_t>(in.Number(2, "a property type"));
  if (property.Type & TypeArray) {
    property.Count = static_cast<uint32_t>(in.Number(4, "an array property's count"));
    property.Value = in.Take(static_cast<uint64_t>(property.Count) * property.Size, "an array property");
  } else if (property.Type & TypeVarying) {
    if (property.Size < 1 || property.Size > 4)
      ThrowBadPacket(Format("property '%.*s' has a length prefix of %u bytes",
                            static_cast<int>(property.Name.size()), property.Name.data(), property.Size));
    property.Value = in.Take(in.Number(property.Size, "a property length"), "a property value");
  } else {
    property.Value = in.Take(property.Size, "a property value");
  }
  return property;
}

bool IsFixedInteger(const TProperty& property) {
  const uint8_t base = property.Type & BaseTypeMask;
  return (property.Type & (TypeArray | TypeVarying)) == 0 && (base == btSigned || base == btUnsigned) &&
         property.Size >= 1 && property.Size <= 4;
}

void ApplyFieldProperty(TColumn& column, const TProperty& property) {
  if (property.Name == "WIDTH" && IsFixedInteger(property)) {
    const uint64_t width = ReadLittleEndian(property.Value.data(), property.Size);
    if (width > 0xFFFF) ThrowBadPacket(Format("field '%s' has a WIDTH of %llu", column.Def.Name.c_str(),
                                              static_cast<unsigned long long>(width)));
    column.Width = static_cast<int32_t>(width);
  } else if (property.Name == "SUBTYPE" && (property.Type & TypeVarying)) {
    const std::string_view value = property.Value;
    column.Def.Subtype.assign(value.substr(0, value.find('\0')));
  }
}

// The row that each row replaces, from CHANGE_LOG triples (row, replaced row or 0, action),
// rows counted from 1; 0 where a row replaces none.
std::vector<uint32_t> PreviousVersions(const TProperty& log, uint32_t rowCount) {
  if ((log.Type & TypeArray) == 0 || log.Size != 4)
    ThrowBadPacket("CHANGE_LOG is not an array of 32-bit numbers");
  if (log.Count % 3 != 0) ThrowBadPacket(Format("CHANGE_LOG holds %u numbers, not triples", log.Count));
  std::vector<uint32_t> previous(static_cast<size_t>(rowCount) + 1, 0);
  for (uint32_t i = 0; i < log.Count; i += 3) {
    const auto row = static_cast<uint32_t>(ReadLittleEndian(log.Value.data() + 4 * i, 4));
    const auto replaced = static_cast<uint32_t>(ReadLittleEndian(log.Value.data() + 4 * i + 4, 4));
    if (row < 1 || row > rowCount || replaced > rowCount)
      ThrowBadPacket(Format("CHANGE_LOG names row %u or %u of %u rows", row, replaced, rowCount));
    // A row logged twice (modified, then deleted) keeps the version it first replaced.
    if (replaced != 0 && previous[row] == 0) previous[row] = replaced;
  }
  return previous;
}

struct TFieldValue {
  unsigned Status = fsNull;
  std::string_view Encoded;
};

// The stored rows of a packet after validation: where each starts, and the current view
// built from them.
class TRowResolver {
 public:
  TRowResolver(std::string_view packet, const std::vector<TColumn>& columns, std::vector<uint32_t> previous)
      : Packet(packet), Columns(columns), Previous(std::move(previous)), Encoder(columns) {}

  // Checks one stored row at the reader's position and moves past it.
  void Scan(TByteReader& in, uint32_t row) {
    Starts.push_back(in.Pos());
    in.Take(1, "a row status");
    const char* statusBytes = in.Take(StatusBytes(Columns.size()), "a row's field status").data();
    for (size_t field = 0; field < Columns.size(); ++field) {
      const unsigned status = (static_cast<unsigned char>(statusBytes[field / 4]) >> (field % 4 * 2)) & 3u;
      if (status == 3) ThrowBadPacket(Format("row %u gives field '%s' the status 3", row + 1, Columns[field].Def.Name.c_str()));
      if (status != fsValue) continue;
      const size_t length = EncodedValueLength(Columns[field], in.Here(), in.Remaining());
      if (length == BadLength)
        ThrowBadPacket(Format("row %u, field '%s' runs past the end of the data", row + 1,
                              Columns[field].Def.Name.c_str()));
      in.Skip(length);
    }
  }

  void BuildView(size_t end, TPacketTable& table) {
    Starts.push_back(end);
    const size_t rows = Starts.size() - 1;
    // Each old version is visited by the one row that replaces it; more visits mean the
    // log's chains branch or loop.
    size_t visitBudget = 2 * rows + 1024;
    const size_t byteBudget = 2 * Packet.size() + 65536;
    for (size_t row = 0; row < rows; ++row) {
      const std::string_view stored = Packet.substr(Starts[row], Starts[row + 1] - Starts[row]);
      const auto status = static_cast<uint8_t>(stored[0]);
      if (status & RowNotCurrentMask) continue;
      if (!HasNotChanged(stored)) {
        if (status == 0) {
          table.AppendRow(stored);
        } else {
          Scratch.assign(stored);
          Scratch[0] = '\0';
          table.AppendRow(Scratch);
        }
        continue;
      }
      Values(row, Current);
      for (uint32_t older = row + 1 < Previous.size() ? Previous[row + 1] : 0; older != 0 && Pending(Current);
           older = Previous[older]) {
        if (visitBudget-- == 0) ThrowBadPacket("CHANGE_LOG links rows in branches or circles");
        Values(older - 1, Older);
        for (size_t field = 0; field < Current.size(); ++field)
          if (Current[field].Status == fsNotChanged && Older[field].Status != fsNotChanged)
            Current[field] = Older[field];
      }
      Encoder.Start();
      for (const TFieldValue& value : Current) {
        if (value.Status == fsValue) Encoder.AddEncoded(value.Encoded);
        else Encoder.AddNull();  // NULL, or "not changed" with no earlier value
      }
      table.AppendRow(Encoder.Row());
      if (table.RowBytes() > byteBudget) ThrowBadPacket("CHANGE_LOG repeats values beyond the packet's size");
    }
  }

 private:
  bool HasNotChanged(std::string_view stored) const {
    for (size_t field = 0; field < Columns.size(); ++field)
      if (FieldStatus(stored.data(), field) == fsNotChanged) return true;
    return false;
  }

  static bool Pending(const std::vector<TFieldValue>& values) {
    for (const TFieldValue& value : values)
      if (value.Status == fsNotChanged) return true;
    return false;
  }

  // The values of an already checked row.
  void Values(size_t row, std::vector<TFieldValue>& out) const {
    const char* data = Packet.data() + Starts[row];
    const size_t size = Starts[row + 1] - Starts[row];
    size_t pos = 1 + StatusBytes(Columns.size());
    out.resize(Columns.size());
    for (size_t field = 0; field < Columns.size(); ++field) {
      out[field].Status = FieldStatus(data, field);
      if (out[field].Status != fsValue) continue;
      const size_t length = EncodedValueLength(Columns[field], data + pos, size - pos);
      out[field].Encoded = std::string_view(data + pos, length);
      pos += length;
    }
  }

  std::string_view Packet;
  const std::vector<TColumn>& Columns;
  std::vector<uint32_t> Previous;  // indexed by row number from 1; empty without a log
  std::vector<size_t> Starts;
  TRowEncoder Encoder;
  std::string Scratch;
  std::vector<TFieldValue> Current;
  std::vector<TFieldValue> Older;
};

}  // namespace

bool IsBinaryPacket(std::string_view bytes) {
  return bytes.size() >= sizeof Magic && std::memcmp(bytes.data(), Magic, sizeof Magic) == 0;
}

std::string WriteBinaryPacket(const TPacketTable& table, const TRowRef* pending) {
  if (table.Columns.size() > 0xFFFF)
    throw EDatabaseError(Format("A binary data packet holds at most 65535 fields, not %zu", table.Columns.size()));
  const std::string metadata = Metadata(table.Columns);
  const size_t dataOffset = HeaderSize + metadata.size();
  if (dataOffset > 0xFFFF)
    throw EDatabaseError(Format("The field descriptions take %zu bytes, more than a binary data packet can hold (65535)",
                                dataOffset));
  const size_t rowCount = table.Rows().size() + (pending ? 1 : 0);
  if (rowCount > UINT32_MAX) throw EDatabaseError("A binary data packet holds at most 4294967295 records");

  std::string out;
  out.reserve(dataOffset + table.RowBytes() + (pending ? pending->Size : 0));
  out.append(Magic, sizeof Magic);
  AppendLittleEndian(out, 1, 2);  // version 1.0
  AppendLittleEndian(out, 0, 2);
  AppendLittleEndian(out, HeaderSize, 4);
  AppendLittleEndian(out, table.Columns.size(), 2);
  AppendLittleEndian(out, rowCount, 4);
  AppendLittleEndian(out, FlagMetadata | FlagDataOffset, 4);
  AppendLittleEndian(out, dataOffset, 2);
  out.append(metadata);
  for (const TRowRef& row : table.Rows()) out.append(row.Data, row.Size);
  if (pending) out.append(pending->Data, pending->Size);
  return out;
}

void ReadBinaryPacket(std::string_view bytes, TPacketTable& table) {
  table.Clear();
  if (!IsBinaryPacket(bytes)) ThrowBadPacket("not a binary data packet");
  TByteReader in(bytes);
  in.Take(8, "the header");
  const uint64_t headerSize = in.Number(4, "the header");
  const auto fieldCount = static_cast<uint16_t>(in.Number(2, "the header"));
  const auto rowCount = static_cast<uint32_t>(in.Number(4, "the header"));
  const auto flags = static_cast<uint32_t>(in.Number(4, "the header"));
  const auto dataOffset = static_cast<uint16_t>(in.Number(2, "the header"));
  if (headerSize < HeaderSize || headerSize > bytes.size())
    ThrowBadPacket(Format("the header claims %llu bytes", static_cast<unsigned long long>(headerSize)));
  in.Take(headerSize - HeaderSize, "the header");
  if ((flags & FlagMetadata) == 0) ThrowBadPacket("the packet carries no field descriptions");
  if (fieldCount == 0) ThrowBadPacket("the packet has no fields");
  if (fieldCount > in.Remaining() / MinFieldDescriptor)
    ThrowBadPacket(Format("%u fields cannot fit in %zu bytes", fieldCount, in.Remaining()));

  table.Columns.reserve(fieldCount);
  for (size_t i = 0; i < fieldCount; ++i) {
    TColumn column;
    column.Def.Name.assign(in.Take(in.Number(1, "a field name"), "a field name"));
    column.Size = static_cast<uint16_t>(in.Number(2, "a field descriptor"));
    column.Type = static_cast<uint16_t>(in.Number(2, "a field descriptor"));
    column.Attributes = static_cast<uint16_t>(in.Number(2, "a field descriptor"));
    const auto propertyCount = static_cast<uint16_t>(in.Number(2, "a field descriptor"));
    for (size_t p = 0; p < propertyCount; ++p) ApplyFieldProperty(column, ReadProperty(in));
    CompletePacketColumn(column);
    table.Columns.push_back(std::move(column));
  }

  std::optional<TProperty> changeLog;
  const auto datasetProperties = static_cast<uint16_t>(in.Number(2, "the dataset properties"));
  for (size_t p = 0; p < datasetProperties; ++p) {
    TProperty property = ReadProperty(in);
    if (property.Name == "CHANGE_LOG") changeLog = property;
  }
  // Metadata past 64 KiB leaves the 16-bit offset meaningless.
  if ((flags & FlagDataOffset) && in.Pos() <= 0xFFFF && dataOffset != in.Pos())
    ThrowBadPacket(Format("the data offset %u does not match the end of the field descriptions (%zu)",
                          dataOffset, in.Pos()));

  const size_t minRow = 1 + StatusBytes(fieldCount);
  if (rowCount > in.Remaining() / minRow)
    ThrowBadPacket(Format("%u records cannot fit in %zu bytes", rowCount, in.Remaining()));
  // Only a row count the bytes can hold sizes the change log's table.
  std::vector<uint32_t> previous;
  if (changeLog) previous = PreviousVersions(*changeLog, rowCount);
  TRowResolver resolver(bytes, table.Columns, std::move(previous));
  for (uint32_t row = 0; row < rowCount; ++row) resolver.Scan(in, row);
  if (in.Remaining() != 0) ThrowBadPacket(Format("%zu bytes follow the last record", in.Remaining()));
  resolver.BuildView(in.Pos(), table);
}

}  // namespace trs::packet
