// XML MIDAS data packets, UTF-8 variant: the writer and the reader.
#include "dataset/MidasXml.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <pugixml.hpp>
#include <unordered_map>
#include <unordered_set>

#include "dataset/Base64.h"
#include "dataset/DateTime.h"
#include "dataset/FieldValue.h"
#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "platform/Utf8.h"

namespace trs::packet {
namespace {

// How a column's values are spelled in XML.
enum class TXmlValue { Text, WideText, Number, Boolean, Float, Date, Time, DateTime, Memo, Base64 };

struct TXmlType {
  const char* FieldType;
  TXmlValue Value;
};

TXmlType XmlTypeOf(const TColumn& column) {
  // Array and BCD values have no known XML spelling; their raw bytes travel as base64.
  if (column.Storage == TStorage::Array) return {"bin.hex", TXmlValue::Base64};
  switch (column.Base()) {
    case btSigned: {
      static const char* const names[] = {"i1", "i2", "i4", "i8"};
      return {names[column.Size == 1 ? 0 : column.Size == 2 ? 1 : column.Size == 4 ? 2 : 3], TXmlValue::Number};
    }
    case btUnsigned: {
      static const char* const names[] = {"ui1", "ui2", "ui4", "ui8"};
      return {names[column.Size == 1 ? 0 : column.Size == 2 ? 1 : column.Size == 4 ? 2 : 3], TXmlValue::Number};
    }
    case btBoolean: return {"boolean", TXmlValue::Boolean};
    case btFloat: return {"r8", TXmlValue::Float};
    case btDate: return {"date", TXmlValue::Date};
    case btTime: return {"time", TXmlValue::Time};
    case btTimestamp: return {"dateTime", TXmlValue::DateTime};
    case btString: return {"string", TXmlValue::Text};
    case btUnicode: return {"string.uni", TXmlValue::WideText};
    case btBytes:
      return {"bin.hex", column.Def.Subtype == "Text" ? TXmlValue::Memo : TXmlValue::Base64};
    default: return {"bin.hex", TXmlValue::Base64};
  }
}

// The column words a FIELD's fieldtype stands for.
bool ColumnWordsOf(std::string_view fieldType, TColumn& column) {
  struct TEntry {
    const char* Name;
    uint16_t Size;
    uint16_t Type;
  };
  static constexpr TEntry Entries[] = {
      {"string", 0, btString | TypeVarying}, {"string.uni", 0, btUnicode | TypeVarying},
      {"i1", 1, btSigned},       {"i2", 2, btSigned},        {"i4", 4, btSigned},
      {"i8", 8, btSigned},       {"ui1", 1, btUnsigned},     {"ui2", 2, btUnsigned},
      {"ui4", 4, btUnsigned},    {"ui8", 8, btUnsigned},     {"boolean", 2, btBoolean},
      {"r8", 8, btFloat},        {"date", 4, btDate},        {"time", 4, btTime},
      {"dateTime", 8, btTimestamp}, {"SQLdateTime", 8, btTimestamp},
      // Packed decimals are read as doubles: their decimal text is all the XML keeps.
      {"fixed", 8, btFloat},     {"fixedFMT", 8, btFloat},   {"bin.hex", 4, btBytes | TypeVarying},
  };
  for (const TEntry& entry : Entries) {
    if (!SameTextAscii(fieldType, entry.Name)) continue;
    column.Type = entry.Type;
    column.Size = entry.Size;
    if (entry.Size == 0) {
      // Text: a one-byte length below 255 bytes, as the binary packet has it.
      const int bytes = column.Width >= 0 ? column.Width : 0xFFFF;
      column.Size = bytes < 255 ? 1 : 2;
    }
    return true;
  }
  return false;
}

// XML 1.0 name characters; ":" is left out because a name with it reads as a namespace.
bool IsNameStart(char32_t c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 0xC0 && c <= 0xD6) ||
         (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

bool IsNameChar(char32_t c) {
  return IsNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7 ||
         (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The name with each character an XML name cannot hold replaced by "_".
std::string XmlName(std::string_view utf8Name) {
  const std::u16string units = utf8::ToUtf16(utf8Name);
  std::u16string out;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    size_t length = 1;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      length = 2;
    }
    if (out.empty() ? IsNameStart(c) : IsNameChar(c)) out.append(units, i, length);
    else out += u'_';
    i += length - 1;
  }
  return out.empty() ? std::string("_") : utf8::FromUtf16(out);
}

// Attribute value text. CR, LF and tab are escaped because XML turns them into blanks
// inside attributes; < and > are escaped although MIDAS leaves them, for any reader's sake.
void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '\'': out += "&apos;"; break;
      case '"': out += "&quot;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "&#%03u;", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
}

void AppendAttribute(std::string& out, std::string_view name, std::string_view value) {
  out += ' ';
  out.append(name);
  out += "=\"";
  AppendEscaped(out, value);
  out += '"';
}

[[noreturn]] void ThrowNoTextForm(const TColumn& column) {
  throw EDatabaseError(Format("Field '%s' holds a value outside years 1 to 9999", column.Def.Name.c_str()));
}

std::string XmlValueText(const TColumn& column, TXmlValue kind, std::string_view payload) {
  switch (kind) {
    case TXmlValue::Text:
    case TXmlValue::Memo:
      return NarrowToUtf8(TextFromPayload(column, payload));
    case TXmlValue::WideText:
      return utf8::FromUtf16(WideTextFromPayload(column, payload));
    case TXmlValue::Number:
      return TextFromPayload(column, payload);
    case TXmlValue::Boolean:
      return UnsignedFromPayload(payload) != 0 ? "TRUE" : "FALSE";
    case TXmlValue::Float: {
      char text[40];
      std::snprintf(text, sizeof text, "%.16g", DoubleFromPayload(payload));
      return text;
    }
    case TXmlValue::Date: {
      const int64_t ordinal = SignedFromPayload(payload);
      if (ordinal < datetime::FirstOrdinal || ordinal > datetime::LastOrdinal) ThrowNoTextForm(column);
      return datetime::FormatXmlDate(ordinal);
    }
    case TXmlValue::Time: {
      const int64_t ms = SignedFromPayload(payload);
      if (ms < 0 || ms >= datetime::MsPerDay) ThrowNoTextForm(column);
      return datetime::FormatXmlTime(ms);
    }
    case TXmlValue::DateTime: {
      const auto stamp = datetime::SplitTimestamp(DoubleFromPayload(payload));
      if (!stamp) ThrowNoTextForm(column);
      return datetime::FormatXmlDateTime(*stamp);
    }
    case TXmlValue::Base64:
      return Base64Encode(payload);
  }
  return {};
}

void AppendRow(std::string& out, const TPacketTable& table, const std::vector<std::string>& names,
               const std::vector<TXmlType>& types, std::string_view row) {
  out += "<ROW";
  size_t pos = 1 + StatusBytes(table.Columns.size());
  for (size_t field = 0; field < table.Columns.size(); ++field) {
    if (FieldStatus(row.data(), field) != fsValue) continue;
    const TColumn& column = table.Columns[field];
    const size_t length = EncodedValueLength(column, row.data() + pos, row.size() - pos);
    const std::string_view payload = row.substr(pos + column.PrefixBytes(), length - column.PrefixBytes());
    pos += length;
    AppendAttribute(out, names[field], XmlValueText(column, types[field].Value, payload));
  }
  out += "/>";
}

// Parses a whole unsigned decimal attribute.
std::optional<uint64_t> ParseCount(std::string_view text) {
  uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string FixedPayload(uint64_t value, size_t bytes) {
  std::string out;
  AppendLittleEndian(out, value, bytes);
  return out;
}

// The stored value of an attribute; nullopt (NULL) only for empty text in a numeric field.
std::optional<std::string> XmlPayload(const TColumn& column, TXmlValue kind, std::string_view text) {
  const auto invalid = [&](const char* what) -> EConvertError {
    return EConvertError(Format("'%.*s' is not a valid %s", static_cast<int>(text.size()), text.data(), what));
  };
  switch (kind) {
    case TXmlValue::Text:
      return PayloadFromText(column, Utf8ToNarrow(text));
    case TXmlValue::Number:
    case TXmlValue::Boolean:
      return PayloadFromText(column, text);
    case TXmlValue::WideText:
      return PayloadFromWideText(column, utf8::ToUtf16(text));
    case TXmlValue::Memo:
      return PayloadFromBytes(column, Utf8ToNarrow(text));
    case TXmlValue::Float: {
      const std::string_view number = Trim(text);
      double value = 0;
      const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
      if (number.empty() || error != std::errc() || end != number.data() + number.size()) throw invalid("number");
      return PayloadFromDouble(value);
    }
    case TXmlValue::Date: {
      const auto ordinal = datetime::ParseXmlDate(text);
      if (!ordinal) throw invalid("date");
      return FixedPayload(static_cast<uint64_t>(*ordinal), 4);
    }
    case TXmlValue::Time: {
      const auto ms = datetime::ParseXmlTime(text);
      if (!ms) throw invalid("time");
      return FixedPayload(static_cast<uint64_t>(*ms), 4);
    }
    case TXmlValue::DateTime: {
      const auto stamp = datetime::ParseXmlDateTime(text);
      if (!stamp) throw invalid("date and time");
      return PayloadFromDouble(*stamp);
    }
    case TXmlValue::Base64: {
      const auto bytes = Base64Decode(text);
      if (!bytes) throw invalid("base64 value");
      return PayloadFromBytes(column, *bytes);
    }
  }
  return std::nullopt;
}

// Looks attribute names up without copying them.
struct TNameHash {
  using is_transparent = void;
  size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
};

TColumn ReadField(const pugi::xml_node& field, size_t index) {
  TColumn column;
  const std::string_view attrName = field.attribute("attrname").value();
  if (attrName.empty()) ThrowBadPacket(Format("FIELD %zu has no attrname", index + 1));
  const pugi::xml_attribute fieldName = field.attribute("fieldname");
  column.Def.Name = Utf8ToNarrow(fieldName ? std::string_view(fieldName.value()) : attrName);
  column.Def.Subtype = Utf8ToNarrow(field.attribute("SUBTYPE").value());
  if (const pugi::xml_attribute width = field.attribute("WIDTH")) {
    const auto value = ParseCount(width.value());
    if (!value || *value > 0xFFFF)
      ThrowBadPacket(Format("field '%s' has the WIDTH '%s'", column.Def.Name.c_str(), width.value()));
    column.Width = static_cast<int32_t>(*value);
  }
  static constexpr std::pair<const char*, uint16_t> Flags[] = {
      {"hidden", AttrHidden}, {"readonly", AttrReadOnly}, {"required", AttrRequired}, {"link", AttrLink}};
  for (const auto& [name, flag] : Flags)
    if (SameTextAscii(field.attribute(name).value(), "true")) column.Attributes |= flag;
  const char* fieldType = field.attribute("fieldtype").value();
  if (!ColumnWordsOf(fieldType, column))
    ThrowBadPacket(Format("field '%s' has the unsupported fieldtype '%s'", column.Def.Name.c_str(), fieldType));
  CompletePacketColumn(column);
  return column;
}

}  // namespace

bool IsXmlPacket(std::string_view bytes) {
  if (bytes.size() >= 2 && (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")) return true;
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  const std::string_view text = Trim(bytes);
  return !text.empty() && text[0] == '<';
}

std::string WriteXmlPacket(const TPacketTable& table, const TRowRef* pending) {
  const std::vector<TColumn>& columns = table.Columns;
  std::vector<std::string> names;
  std::vector<TXmlType> types;
  // "RowState" belongs to the ROW element; two fields must not share an attribute either.
  std::unordered_set<std::string> used{"RowState"};
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>  "
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
  for (const TColumn& column : columns) {
    const std::string utf8Name = NarrowToUtf8(column.Def.Name);
    std::string name = XmlName(utf8Name);
    for (int suffix = 2; used.count(name); ++suffix) name = XmlName(utf8Name) + "_" + std::to_string(suffix);
    used.insert(name);
    const TXmlType type = XmlTypeOf(column);
    out += "<FIELD";
    if (name != utf8Name) AppendAttribute(out, "fieldname", utf8Name);
    AppendAttribute(out, "attrname", name);
    AppendAttribute(out, "fieldtype", type.FieldType);
    if (column.Attributes & AttrHidden) out += " hidden=\"true\"";
    if (column.Attributes & AttrReadOnly) out += " readonly=\"true\"";
    if (column.Attributes & AttrRequired) out += " required=\"true\"";
    if (column.Attributes & AttrLink) out += " link=\"true\"";
    const bool raw = column.Storage == TStorage::Array || column.Base() == btBCD;
    if (!column.Def.Subtype.empty() && !raw) AppendAttribute(out, "SUBTYPE", NarrowToUtf8(column.Def.Subtype));
    if (type.Value == TXmlValue::Text || type.Value == TXmlValue::WideText) {
      // A text column always states its width; one read without WIDTH gets the widest a
      // 16-bit WIDTH can state.
      const long long size = type.Value == TXmlValue::WideText ? 2LL * column.Def.Size : column.Def.Size;
      const long long width = column.Width >= 0 ? column.Width : std::min(size, 0xFFFFLL & ~1LL);
      out += " WIDTH=\"" + std::to_string(width) + "\"";
    } else if (column.Width >= 0 && !raw) {
      out += " WIDTH=\"" + std::to_string(column.Width) + "\"";
    }
    out += "/>";
    names.push_back(std::move(name));
    types.push_back(type);
  }
  out += "</FIELDS><PARAMS/></METADATA><ROWDATA>";
  for (const TRowRef& row : table.Rows()) AppendRow(out, table, names, types, row.View());
  if (pending) AppendRow(out, table, names, types, pending->View());
  out += "</ROWDATA></DATAPACKET>";
  return out;
}

void ReadXmlPacket(std::string_view bytes, TPacketTable& table) {
  table.Clear();
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed)
    ThrowBadPacket(Format("the XML is not well formed (%s at offset %lld)", parsed.description(),
                          static_cast<long long>(parsed.offset)));
  const pugi::xml_node packet = document.child("DATAPACKET");
  const pugi::xml_node fields = packet.child("METADATA").child("FIELDS");
  if (!fields) ThrowBadPacket("the XML has no DATAPACKET/METADATA/FIELDS element");

  std::unordered_map<std::string, size_t, TNameHash, std::equal_to<>> byAttrName;
  std::vector<TXmlValue> kinds;
  for (const pugi::xml_node field : fields.children("FIELD")) {
    table.Columns.push_back(ReadField(field, table.Columns.size()));
    byAttrName.emplace(field.attribute("attrname").value(), table.Columns.size() - 1);
    kinds.push_back(XmlTypeOf(table.Columns.back()).Value);
  }
  if (table.Columns.empty()) ThrowBadPacket("the packet has no fields");

  TRowEncoder encoder(table.Columns);
  std::vector<const char*> values(table.Columns.size());
  size_t record = 0;
  for (const pugi::xml_node row : packet.child("ROWDATA").children("ROW")) {
    ++record;
    std::fill(values.begin(), values.end(), nullptr);
    uint64_t rowState = 0;
    for (const pugi::xml_attribute attribute : row.attributes()) {
      const std::string_view name = attribute.name();
      if (name == "RowState") {
        const auto state = ParseCount(attribute.value());
        if (!state) ThrowBadPacket(Format("record %zu has the RowState '%s'", record, attribute.value()));
        rowState = *state;
      } else if (const auto found = byAttrName.find(name); found != byAttrName.end()) {
        values[found->second] = attribute.value();
      }
    }
    if (rowState & RowNotCurrentMask) continue;
    encoder.Start();
    for (size_t field = 0; field < values.size(); ++field) {
      if (!values[field]) {
        encoder.AddNull();
        continue;
      }
      const TColumn& column = table.Columns[field];
      try {
        const auto payload = XmlPayload(column, kinds[field], values[field]);
        if (payload) encoder.AddPayload(*payload);
        else encoder.AddNull();
      } catch (const Exception& error) {
        ThrowBadPacket(Format("record %zu, field '%s': %s", record, column.Def.Name.c_str(), error.what()));
      }
    }
    table.AppendRow(encoder.Row());
  }
}

}  // namespace trs::packet
