// The client dataset: table state, the edited row, the cursor, and packets in and out.
#include "dataset/ClientDataSet.h"

#include "dataset/FieldValue.h"
#include "dataset/MidasBinary.h"
#include "dataset/MidasXml.h"
#include "dataset/PacketTable.h"
#include "platform/Convert.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "platform/WholeFile.h"

namespace trs {

using packet::TColumn;

// State: Active with Table.Columns describing the table, or inactive with no columns and no
// rows. While Editing, PendingSet/PendingValue hold the edited row (payloads in packet form)
// and Touched says whether any field was assigned; the row joins Table only when posted.
struct TClientDataSet::TImpl {
  std::vector<TFieldDef> Defs;
  bool Active = false;
  packet::TPacketTable Table;
  packet::TRowEncoder Encoder{Table.Columns};

  bool Editing = false;
  bool Touched = false;
  std::vector<char> PendingSet;
  std::vector<std::string> PendingValue;

  size_t Cursor = 0;
  bool AtEof = true;
  // Where the cursor row's values start and how long they are, found once per row.
  mutable size_t CachedRow = static_cast<size_t>(-1);
  mutable std::vector<std::pair<uint32_t, uint32_t>> CachedValues;

  const TColumn& Column(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= (Active ? Table.Columns.size() : 0))
      ThrowListIndexError(index);
    return Table.Columns[static_cast<size_t>(index)];
  }

  void CheckEditing() const {
    if (!Editing) throw EDatabaseError("Dataset not in edit or insert mode");
  }

  void Assign(int index, std::optional<std::string> payload) {
    const auto i = static_cast<size_t>(index);
    PendingSet[i] = payload.has_value();
    if (payload) PendingValue[i] = std::move(*payload);
    Touched = true;
  }

  // The edited row in packet form.
  std::string_view EncodePending(packet::TRowEncoder& encoder) const {
    encoder.Start();
    for (size_t i = 0; i < Table.Columns.size(); ++i) {
      if (PendingSet[i]) encoder.AddPayload(PendingValue[i]);
      else encoder.AddNull();
    }
    return encoder.Row();
  }

  void PostPending() {
    for (size_t i = 0; i < Table.Columns.size(); ++i)
      if (Table.Columns[i].Def.Required && !PendingSet[i])
        throw EDatabaseError(Format("Field '%s' must have a value", Table.Columns[i].Def.Name.c_str()));
    Table.AppendRow(EncodePending(Encoder));
    Editing = false;
    Cursor = Table.Rows().size() - 1;
    AtEof = false;
  }

  // Leaves edit mode the way moving or saving does: an assigned row is posted, an untouched
  // one dropped.
  void EndEdit() {
    if (!Editing) return;
    if (Touched) PostPending();
    Editing = false;
  }

  std::optional<std::string_view> Value(int index) const {
    Column(index);  // the index check
    const auto i = static_cast<size_t>(index);
    if (Editing) return PendingSet[i] ? std::optional<std::string_view>(PendingValue[i]) : std::nullopt;
    if (Table.Rows().empty()) return std::nullopt;
    const packet::TRowRef row = Table.Rows()[Cursor];
    if (packet::FieldStatus(row.Data, i) != packet::fsValue) return std::nullopt;
    if (CachedRow != Cursor) {
      CachedValues.resize(Table.Columns.size());
      size_t pos = 1 + packet::StatusBytes(Table.Columns.size());
      for (size_t f = 0; f < Table.Columns.size(); ++f) {
        if (packet::FieldStatus(row.Data, f) != packet::fsValue) continue;
        const TColumn& c = Table.Columns[f];
        const size_t length = packet::EncodedValueLength(c, row.Data + pos, row.Size - pos);
        CachedValues[f] = {static_cast<uint32_t>(pos + c.PrefixBytes()),
                           static_cast<uint32_t>(length - c.PrefixBytes())};
        pos += length;
      }
      CachedRow = Cursor;
    }
    return std::string_view(row.Data + CachedValues[i].first, CachedValues[i].second);
  }

  void Close() {
    Active = false;
    Table.Clear();
    Editing = false;
    Touched = false;
    Cursor = 0;
    AtEof = true;
    CachedRow = static_cast<size_t>(-1);
  }

  void Open() {
    Defs.clear();
    for (const TColumn& column : Table.Columns) Defs.push_back(column.Def);
    PendingSet.assign(Table.Columns.size(), 0);
    PendingValue.assign(Table.Columns.size(), std::string());
    Active = true;
    Cursor = 0;
    AtEof = Table.Rows().empty();
  }

  template <typename Reader>
  void Load(std::string_view bytes, Reader read) {
    Close();
    try {
      read(bytes, Table);
    } catch (...) {
      Table.Clear();
      throw;
    }
    Open();
  }

  template <typename Writer>
  std::string Write(Writer write) const {
    if (!Active) return {};
    if (Editing && Touched) {
      packet::TRowEncoder encoder(Table.Columns);
      const std::string_view row = EncodePending(encoder);
      const packet::TRowRef pending{row.data(), static_cast<uint32_t>(row.size())};
      return write(Table, &pending);
    }
    return write(Table, nullptr);
  }
};

TClientDataSet::TClientDataSet() : Impl(std::make_unique<TImpl>()) {}
TClientDataSet::~TClientDataSet() = default;

std::vector<TFieldDef>& TClientDataSet::FieldDefs() { return Impl->Defs; }
const std::vector<TFieldDef>& TClientDataSet::FieldDefs() const { return Impl->Defs; }

void TClientDataSet::AddFieldDef(std::string name, TFieldType type, int size, bool required) {
  TFieldDef def;
  def.Name = std::move(name);
  def.DataType = type;
  def.Size = size;
  def.Required = required;
  Impl->Defs.push_back(std::move(def));
}

int TClientDataSet::IndexOfFieldDef(std::string_view name) const {
  for (size_t i = 0; i < Impl->Defs.size(); ++i)
    if (SameTextAscii(Impl->Defs[i].Name, name)) return static_cast<int>(i);
  return -1;
}

void TClientDataSet::CreateDataSet() {
  if (Impl->Defs.empty()) throw EDatabaseError("No fields defined.  Cannot create dataset");
  std::vector<TColumn> columns;
  columns.reserve(Impl->Defs.size());
  for (const TFieldDef& def : Impl->Defs) {
    for (const TColumn& earlier : columns)
      if (SameTextAscii(earlier.Def.Name, def.Name))
        throw EDatabaseError(Format("Duplicate field name '%s'", def.Name.c_str()));
    columns.push_back(packet::ColumnFromDef(def));
  }
  if (columns.size() > 0xFFFF) throw EDatabaseError("Too many fields");
  const std::vector<TFieldDef> defs = Impl->Defs;  // Open() rebuilds them from the columns
  Impl->Close();
  Impl->Table.Columns = std::move(columns);
  Impl->Open();
  Impl->Defs = defs;
}

bool TClientDataSet::Active() const { return Impl->Active; }
void TClientDataSet::Close() { Impl->Close(); }

void TClientDataSet::Append() {
  if (!Impl->Active) throw EDatabaseError("Cannot perform this operation on a closed dataset");
  Impl->EndEdit();
  std::fill(Impl->PendingSet.begin(), Impl->PendingSet.end(), 0);
  Impl->Editing = true;
  Impl->Touched = false;
}

void TClientDataSet::Post() {
  Impl->CheckEditing();
  Impl->PostPending();
}

bool TClientDataSet::Editing() const { return Impl->Editing; }
int TClientDataSet::RecordCount() const { return static_cast<int>(Impl->Table.Rows().size()); }

int TClientDataSet::FieldCount() const {
  return Impl->Active ? static_cast<int>(Impl->Table.Columns.size()) : 0;
}

const TFieldDef& TClientDataSet::FieldInfo(int index) const { return Impl->Column(index).Def; }

int TClientDataSet::FindField(std::string_view name) const {
  for (int i = 0; i < FieldCount(); ++i)
    if (SameTextAscii(Impl->Table.Columns[static_cast<size_t>(i)].Def.Name, name)) return i;
  return -1;
}

int TClientDataSet::FieldByName(std::string_view name) const {
  const int index = FindField(name);
  if (index < 0)
    throw EDatabaseError(Format("Field '%.*s' not found", static_cast<int>(name.size()), name.data()));
  return index;
}

void TClientDataSet::SetFieldText(int index, std::string_view narrowText) {
  const TColumn& column = Impl->Column(index);
  Impl->CheckEditing();
  Impl->Assign(index, packet::PayloadFromText(column, narrowText));
}

void TClientDataSet::SetFieldWideText(int index, std::u16string_view text) {
  const TColumn& column = Impl->Column(index);
  Impl->CheckEditing();
  Impl->Assign(index, packet::PayloadFromWideText(column, text));
}

void TClientDataSet::SetFieldBlob(int index, std::string_view bytes) {
  const TColumn& column = Impl->Column(index);
  Impl->CheckEditing();
  Impl->Assign(index, packet::PayloadFromBytes(column, bytes));
}

void TClientDataSet::SetFieldNull(int index) {
  Impl->Column(index);
  Impl->CheckEditing();
  Impl->Assign(index, std::nullopt);
}

void TClientDataSet::SetFieldInteger(int index, int64_t value) {
  const TColumn& column = Impl->Column(index);
  Impl->CheckEditing();
  Impl->Assign(index, packet::PayloadFromInteger(column, value));
}

void TClientDataSet::SetFieldFloat(int index, double value) {
  const TColumn& column = Impl->Column(index);
  Impl->CheckEditing();
  Impl->Assign(index, packet::PayloadFromFloat(column, value));
}

void TClientDataSet::SetFieldDateTime(int index, double value) {
  const TColumn& column = Impl->Column(index);
  Impl->CheckEditing();
  Impl->Assign(index, packet::PayloadFromDateTime(column, value));
}

bool TClientDataSet::FieldIsNull(int index) const { return !Impl->Value(index).has_value(); }

std::string TClientDataSet::FieldAsString(int index) const {
  const auto value = Impl->Value(index);
  return value ? packet::TextFromPayload(Impl->Column(index), *value) : std::string();
}

int32_t TClientDataSet::FieldAsInteger(int index) const {
  const auto value = Impl->Value(index);
  const TColumn& column = Impl->Column(index);
  if (value) return packet::IntegerFromPayload(column, *value);
  return packet::NullReadsAsZero(column) ? 0 : StrToInt("");
}

std::string TClientDataSet::FieldAsBytes(int index) const {
  const auto value = Impl->Value(index);
  return value ? std::string(*value) : std::string();
}

std::u16string TClientDataSet::FieldAsWideText(int index) const {
  const auto value = Impl->Value(index);
  return value ? packet::WideTextFromPayload(Impl->Column(index), *value) : std::u16string();
}

double TClientDataSet::FieldAsFloat(int index) const {
  const auto value = Impl->Value(index);
  const TColumn& column = Impl->Column(index);
  if (value) return packet::FloatFromPayload(column, *value);
  return packet::NullReadsAsZero(column) ? 0 : StrToFloat("");
}

double TClientDataSet::FieldAsDateTime(int index) const {
  const auto value = Impl->Value(index);
  return value ? packet::DateTimeFromPayload(Impl->Column(index), *value) : 0;
}

void TClientDataSet::First() {
  Impl->EndEdit();
  Impl->Cursor = 0;
  Impl->AtEof = Impl->Table.Rows().empty();
}

void TClientDataSet::Next() {
  Impl->EndEdit();
  if (Impl->Cursor + 1 < Impl->Table.Rows().size()) ++Impl->Cursor;
  else Impl->AtEof = true;
}

bool TClientDataSet::Eof() const { return Impl->AtEof; }

int TClientDataSet::RecNo() const {
  return static_cast<int>(Impl->Editing ? Impl->Table.Rows().size() : Impl->Cursor);
}

void TClientDataSet::SaveToFile(const std::string& path) {
  if (!Impl->Active) return;
  Impl->EndEdit();
  const bool xml = path.size() >= 4 && SameTextAscii(std::string_view(path).substr(path.size() - 4), ".xml");
  ReplaceFile(path, xml ? XmlData() : Data());
}

void TClientDataSet::LoadFromFile(const std::string& path) {
  Impl->Close();
  const std::string bytes = ReadWholeFile(path);
  if (packet::IsBinaryPacket(bytes)) {
    Impl->Load(bytes, packet::ReadBinaryPacket);
  } else if (packet::IsXmlPacket(bytes)) {
    Impl->Load(bytes, packet::ReadXmlPacket);
  } else {
    packet::ThrowBadPacket(Format("\"%s\" holds neither a binary nor an XML data packet", path.c_str()));
  }
}

std::string TClientDataSet::Data() const {
  return Impl->Write([](const packet::TPacketTable& table, const packet::TRowRef* pending) {
    return packet::WriteBinaryPacket(table, pending);
  });
}

void TClientDataSet::SetData(std::string_view bytes) {
  if (bytes.empty()) {
    Impl->Close();  // no packet is an empty, closed table
    return;
  }
  Impl->Load(bytes, packet::ReadBinaryPacket);
}

std::string TClientDataSet::XmlData() const {
  return Impl->Write([](const packet::TPacketTable& table, const packet::TRowRef* pending) {
    return packet::WriteXmlPacket(table, pending);
  });
}

void TClientDataSet::SetXmlData(std::string_view bytes) {
  if (bytes.empty()) {
    Impl->Close();
    return;
  }
  Impl->Load(bytes, packet::ReadXmlPacket);
}

size_t TClientDataSet::StorageBytes() const { return Impl->Table.StorageBytes(); }

}  // namespace trs
