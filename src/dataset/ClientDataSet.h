// The client dataset that the print engines read: an in-memory table of typed columns,
// saved and loaded as MIDAS data packets (binary, or XML for names ending in ".xml").
//
// Invariants: column definitions (FieldDefs) may change at any time but only shape the
// table at CreateDataSet; once active, Fields() describe the table. Posted rows are
// immutable and keep each value at its real length; at most one row is being edited (the
// current row after Append) until Post, the next Append, or a save.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trs {

enum class TFieldType : uint8_t {
  ftString,     // narrow text, Size = maximum bytes
  ftWideString, // UTF-16 text, Size = maximum characters (read from packets)
  ftSmallint,   // 16-bit signed
  ftInteger,    // 32-bit signed
  ftLargeint,   // 64-bit signed
  ftWord,       // unsigned (size 1, 2 or 4 in the packet)
  ftBoolean,
  ftFloat,      // double; ftCurrency is ftFloat with the "Money" subtype
  ftBCD,        // kept as the packet's raw bytes
  ftDate,       // int32 day number
  ftTime,       // int32 milliseconds of the day
  ftDateTime,   // double milliseconds, (TDateTime + 693594) * 86400000
  ftBlob,       // bytes; Subtype says what kind ("Binary", "Text", "Graphics", ...)
};

// The widest text column (in bytes) CreateDataSet accepts; wider is "Invalid field size".
inline constexpr int MaxTextFieldSize = 8192;

struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftString;
  int Size = 0;
  bool Required = false;
  bool ReadOnly = false;
  std::string Subtype;  // SUBTYPE property without its NUL, empty when none
};

// Dataset in memory; see the file comment for its states.
class TClientDataSet {
 public:
  TClientDataSet();
  ~TClientDataSet();
  TClientDataSet(const TClientDataSet&) = delete;
  TClientDataSet& operator=(const TClientDataSet&) = delete;

  // --- Column definitions
  std::vector<TFieldDef>& FieldDefs();
  const std::vector<TFieldDef>& FieldDefs() const;
  void AddFieldDef(std::string name, TFieldType type, int size, bool required = false);
  // Index of the definition with that name (without regard to ASCII case), or -1.
  int IndexOfFieldDef(std::string_view name) const;

  // --- Table state
  // Creates the table from the definitions and opens it, empty. Without definitions:
  // EDatabaseError "No fields defined.  Cannot create dataset"; a text column wider than
  // MaxTextFieldSize bytes: "Invalid field size"; two fields of one name, or a BCD field
  // (only packets bring those): EDatabaseError.
  void CreateDataSet();
  bool Active() const;
  // Closes the table and drops its rows (the definitions stay).
  void Close();

  // --- Rows
  // Appends a new empty row that becomes the current row; a pending current row is first
  // posted when any of its fields was set, dropped otherwise. EDatabaseError when inactive.
  void Append();
  // Stores the current row; without one: "Dataset not in edit or insert mode".
  void Post();
  // True while a row is being edited.
  bool Editing() const;
  int RecordCount() const;  // posted rows

  // --- Fields of the current row (the edited row, else the cursor row)
  int FieldCount() const;
  // Name of field `index`; "List index out of bounds (%d)" outside the fields.
  const TFieldDef& FieldInfo(int index) const;
  int FindField(std::string_view name) const;   // -1 when none (ASCII case ignored)
  int FieldByName(std::string_view name) const; // EDatabaseError "Field '%s' not found"

  // Setting a field needs an edited row ("Dataset not in edit or insert mode"); an index
  // outside the fields is "List index out of bounds (%d)".
  // Text into a text column is cut at a zero byte and to the column size (never splitting a
  // multi-byte character); date-time columns read "yyyy-mm-dd[ hh:nn[:ss]]"; numeric
  // columns read the standard conversions.
  void SetFieldText(int index, std::string_view narrowText);
  void SetFieldWideText(int index, std::u16string_view text);
  void SetFieldBlob(int index, std::string_view bytes);
  void SetFieldNull(int index);

  // Typed setters: integers, doubles and TDateTime values (days since 1899-12-30, the time
  // of day as the fraction), converted to the column's type as the text setters would.
  void SetFieldInteger(int index, int64_t value);
  void SetFieldFloat(int index, double value);
  void SetFieldDateTime(int index, double value);

  bool FieldIsNull(int index) const;
  std::string FieldAsString(int index) const;  // narrow text; dates in the process format
  int32_t FieldAsInteger(int index) const;     // EConvertError for text that is no integer
  std::string FieldAsBytes(int index) const;   // the stored bytes (blob content, text bytes)
  std::u16string FieldAsWideText(int index) const;
  // NULL numbers and dates read as 0; text goes through the standard conversions.
  double FieldAsFloat(int index) const;
  double FieldAsDateTime(int index) const;     // TDateTime

  // --- Cursor over posted rows
  void First();
  void Next();
  bool Eof() const;
  int RecNo() const;  // 0-based cursor position

  // --- Files and packets
  // Saves the table; a name ending in ".xml" (any case) is written as an XML packet, any
  // other as a binary packet. A pending row is first posted (dropped when nothing was set).
  // Never opened: nothing is written and no error. The file is written beside the target
  // and renamed over it, so a failure leaves the old file whole. A file that cannot be
  // created: EFCreateError 'Cannot create file "<path>". <reason>'.
  void SaveToFile(const std::string& path);
  // Closes, reads the packet (binary or XML, told apart by content) and opens; the
  // definitions become the packet's fields.
  // EFOpenError when the file cannot be opened; EDatabaseError for a malformed packet.
  void LoadFromFile(const std::string& path);
  // The whole table as a binary data packet, and the table replaced by one (no bytes: the
  // table is closed).
  std::string Data() const;
  void SetData(std::string_view packet);
  // The table as an XML packet (UTF-8 variant), and the table replaced by one.
  std::string XmlData() const;
  void SetXmlData(std::string_view packet);

  // Bytes held by the posted rows (for the memory benchmark).
  size_t StorageBytes() const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

}  // namespace trs
