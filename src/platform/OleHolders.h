// Owning holders for the OLE values that cross the engine boundary: a BSTR, a VARIANT and a
// counted interface reference. Each frees what it holds on every path, errors included.
#pragma once

#include <string_view>
#include <utility>

#include "platform/Ole.h"

namespace trs {

// A BSTR this side owns. Out-parameters (`BSTR*`) are received through Receive(), which
// frees a previous text first.
class TBStr {
 public:
  TBStr() = default;
  explicit TBStr(std::u16string_view text)
      : Text(AllocBStr(text)) {}
  ~TBStr() { SysFreeString(Text); }
  TBStr(TBStr&& other) noexcept : Text(std::exchange(other.Text, nullptr)) {}
  TBStr& operator=(TBStr&& other) noexcept {
    if (this != &other) {
      SysFreeString(Text);
      Text = std::exchange(other.Text, nullptr);
    }
    return *this;
  }
  TBStr(const TBStr&) = delete;
  TBStr& operator=(const TBStr&) = delete;

  BSTR Get() const { return Text; }
  // For a callee that fills (or replaces) the text: the holder keeps whatever ends up there.
  BSTR* Receive() { return &Text; }
  std::u16string_view View() const { return BStrView(Text); }

 private:
  BSTR Text = nullptr;
};

// A VARIANT this side owns, cleared when the holder goes.
class TOleVariant {
 public:
  TOleVariant() { VariantInit(&Value); }
  ~TOleVariant() { VariantClear(&Value); }
  TOleVariant(const TOleVariant&) = delete;
  TOleVariant& operator=(const TOleVariant&) = delete;

  VARIANT& Get() { return Value; }
  const VARIANT& Get() const { return Value; }
  VARIANT* Address() { return &Value; }

 private:
  VARIANT Value;
};

// A data packet as the engines take it: VT_ARRAY | VT_UI1 over a one-dimensional byte
// array. A packet that cannot be allocated fails with the out-of-memory status (EOleSysError).
void SetBytePacket(TOleVariant& variant, std::string_view bytes);
// The bytes of a packet variant; empty when it holds no byte array.
std::string_view BytePacketOf(const VARIANT& variant);

// A counted interface reference: Release on destruction, AddRef on copy.
template <typename Interface>
class TComPtr {
 public:
  TComPtr() = default;
  ~TComPtr() { Reset(); }
  TComPtr(const TComPtr& other) : Pointer(other.Pointer) {
    if (Pointer != nullptr) Pointer->AddRef();
  }
  TComPtr& operator=(TComPtr other) noexcept {
    std::swap(Pointer, other.Pointer);
    return *this;
  }
  TComPtr(TComPtr&& other) noexcept : Pointer(std::exchange(other.Pointer, nullptr)) {}

  // For a callee that stores a reference counted for us into `Interface**` (null on entry).
  Interface** Receive() {
    Reset();
    return &Pointer;
  }
  void Reset() {
    if (Pointer != nullptr) std::exchange(Pointer, nullptr)->Release();
  }
  Interface* Get() const { return Pointer; }
  Interface* operator->() const { return Pointer; }
  explicit operator bool() const { return Pointer != nullptr; }

 private:
  Interface* Pointer = nullptr;
};

}  // namespace trs
