#include "font_object.h"

#include <olectl.h>

#include "raised_error.h"

namespace toolkit {

// A VARIANT that clears itself, releasing any string it holds.
class FontObject::Value {
 public:
  Value() { VariantInit(&v_); }
  explicit Value(const std::wstring& text) : Value() {
    v_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!v_.bstrVal) Raise(static_cast<std::int32_t>(E_OUTOFMEMORY));
    v_.vt = VT_BSTR;
  }
  explicit Value(double number) : Value() { v_.vt = VT_R8; v_.dblVal = number; }
  explicit Value(std::int32_t number) : Value() { v_.vt = VT_I4; v_.lVal = number; }
  explicit Value(std::uint8_t number) : Value() { v_.vt = VT_UI1; v_.bVal = number; }
  ~Value() { VariantClear(&v_); }
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;
  Value(Value&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Value& operator=(Value&&) = delete;

  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }

 private:
  VARIANT v_;
};

namespace {

void Check(HRESULT result) {
  if (FAILED(result)) Raise(static_cast<std::int32_t>(result));
}

}  // namespace

FontObject::Value FontObject::Get(DISPID id, VARTYPE type) const {
  DISPPARAMS none{};
  Value raw;
  Check(font_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, raw.get(),
                      nullptr, nullptr));
  Value typed;
  Check(VariantChangeType(typed.get(), raw.get(), 0, type));
  return typed;
}

void FontObject::Put(DISPID id, Value&& value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{value.get(), &named, 1, 1};
  Check(font_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &parameters,
                      nullptr, nullptr, nullptr));
}

std::wstring FontObject::Name() const {
  const Value name = Get(DISPID_FONT_NAME, VT_BSTR);
  const BSTR text = (*name).bstrVal;
  return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

CY FontObject::Size() const { return (*Get(DISPID_FONT_SIZE, VT_CY)).cyVal; }
bool FontObject::Italic() const { return (*Get(DISPID_FONT_ITALIC, VT_BOOL)).boolVal != 0; }
bool FontObject::Underline() const { return (*Get(DISPID_FONT_UNDER, VT_BOOL)).boolVal != 0; }
bool FontObject::Strikethrough() const {
  return (*Get(DISPID_FONT_STRIKE, VT_BOOL)).boolVal != 0;
}
std::int16_t FontObject::Weight() const { return (*Get(DISPID_FONT_WEIGHT, VT_I2)).iVal; }

void FontObject::SetName(const std::wstring& name) { Put(DISPID_FONT_NAME, Value(name)); }
void FontObject::SetSize(double points) { Put(DISPID_FONT_SIZE, Value(points)); }
void FontObject::SetBold(std::int32_t bold) { Put(DISPID_FONT_BOLD, Value(bold)); }
void FontObject::SetItalic(std::uint8_t italic) { Put(DISPID_FONT_ITALIC, Value(italic)); }
void FontObject::SetUnderline(std::uint8_t underline) { Put(DISPID_FONT_UNDER, Value(underline)); }
void FontObject::SetStrikethrough(std::uint8_t strikethrough) {
  Put(DISPID_FONT_STRIKE, Value(strikethrough));
}
void FontObject::SetWeight(std::int32_t weight) { Put(DISPID_FONT_WEIGHT, Value(weight)); }

}  // namespace toolkit
