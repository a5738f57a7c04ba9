#include "font_object.h"

#include <new>

#include <olectl.h>

#include "executable_name.h"
#include "owned_handle.h"
#include "raised_error.h"

namespace toolkit {

// A VARIANT that clears itself, releasing any string it holds.
class FontObject::Value {
 public:
  Value() { VariantInit(&v_); }
  explicit Value(const std::wstring& text) : Value() {
    v_.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!v_.bstrVal) throw std::bad_alloc();
    v_.vt = VT_BSTR;
  }
  explicit Value(double number) : Value() {
    v_.vt = VT_R8;
    v_.dblVal = number;
  }
  explicit Value(std::int32_t number) : Value() {
    v_.vt = VT_I4;
    v_.lVal = number;
  }
  explicit Value(std::uint8_t number) : Value() {
    v_.vt = VT_UI1;
    v_.bVal = number;
  }
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

std::wstring Text(BSTR text) {
  return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

// What an object says about a call it refused; it frees the strings it holds.
class Refusal {
 public:
  Refusal() = default;
  ~Refusal() {
    SysFreeString(info_.bstrSource);
    SysFreeString(info_.bstrDescription);
    SysFreeString(info_.bstrHelpFile);
  }
  Refusal(const Refusal&) = delete;
  Refusal& operator=(const Refusal&) = delete;
  EXCEPINFO* get() { return &info_; }

  // An object tells its own error number in wCode, or as a control-facility
  // code in scode; a bare HRESULT is no error number, so any other refusal is
  // "not supported".
  [[noreturn]] void Raise(HRESULT result) {
    if (result == DISP_E_EXCEPTION) {
      if (info_.pfnDeferredFillIn) info_.pfnDeferredFillIn(&info_);
      const std::int32_t number = info_.wCode != 0 ? info_.wCode
                                  : HRESULT_FACILITY(info_.scode) == FACILITY_CONTROL
                                      ? HRESULT_CODE(info_.scode)
                                      : 0;
      if (number != 0) {
        std::wstring source = Text(info_.bstrSource), description = Text(info_.bstrDescription);
        toolkit::Raise(number, source.empty() ? ExecutableBaseName() : std::move(source),
                       description.empty() ? StandardDescription(number) : std::move(description));
      }
    }
    toolkit::Raise(kNotSupportedByObject);
  }

 private:
  EXCEPINFO info_{};
};

void Invoke(IDispatch* object, DISPID id, WORD kind, DISPPARAMS& parameters, VARIANT* result) {
  Refusal refusal;
  const HRESULT outcome = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, kind, &parameters,
                                         result, refusal.get(), nullptr);
  if (FAILED(outcome)) refusal.Raise(outcome);
}

}  // namespace

FontObject::FontObject(IDispatch* font) : font_(font) {
  if (!font_) Raise(kObjectNotSet);
  // Any automation object answers the font's dispatch ids; only a font is read
  // and overwritten as one.
  IFont* standardFont = nullptr;
  const HRESULT asked = font_->QueryInterface(IID_IFont, reinterpret_cast<void**>(&standardFont));
  const OwnedCom<IFont> reference(standardFont);
  if (FAILED(asked) || !reference) Raise(kTypeMismatch);
}

FontObject::Value FontObject::Get(DISPID id, VARTYPE type) const {
  DISPPARAMS none{};
  Value raw;
  Invoke(font_, id, DISPATCH_PROPERTYGET, none, raw.get());
  Value typed;
  if (FAILED(VariantChangeType(typed.get(), raw.get(), 0, type))) Raise(kTypeMismatch);
  return typed;
}

void FontObject::Put(DISPID id, Value&& value) {
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{value.get(), &named, 1, 1};
  Invoke(font_, id, DISPATCH_PROPERTYPUT, parameters, nullptr);
}

std::wstring FontObject::Name() const { return Text((*Get(DISPID_FONT_NAME, VT_BSTR)).bstrVal); }

CY FontObject::Size() const { return (*Get(DISPID_FONT_SIZE, VT_CY)).cyVal; }
bool FontObject::Italic() const { return (*Get(DISPID_FONT_ITALIC, VT_BOOL)).boolVal != 0; }
bool FontObject::Underline() const { return (*Get(DISPID_FONT_UNDER, VT_BOOL)).boolVal != 0; }
bool FontObject::Strikethrough() const { return (*Get(DISPID_FONT_STRIKE, VT_BOOL)).boolVal != 0; }
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
