#pragma once
// An OLE standard font object reached late-bound through IDispatch by the
// standard font dispatch identifiers. Each property is read and written with one
// fixed value type. A call the object refuses raises toolkit::RaisedError with
// the error number the object reports, or 438 when it reports none.

#include <cstdint>
#include <string>

#include <windows.h>
#include <oaidl.h>

namespace toolkit {

class FontObject {
 public:
  // Borrows `font`, which must outlive this object. Raises 91 when there is no
  // object and 13 when it is no font.
  explicit FontObject(IDispatch* font);

  std::wstring Name() const;
  CY Size() const;  // points, in the currency type's fixed point
  bool Italic() const;
  bool Underline() const;
  bool Strikethrough() const;
  std::int16_t Weight() const;

  void SetName(const std::wstring& name);
  void SetSize(double points);
  void SetBold(std::int32_t bold);
  void SetItalic(std::uint8_t italic);
  void SetUnderline(std::uint8_t underline);
  void SetStrikethrough(std::uint8_t strikethrough);
  void SetWeight(std::int32_t weight);

 private:
  class Value;
  Value Get(DISPID id, VARTYPE type) const;
  void Put(DISPID id, Value&& value);

  IDispatch* font_;
};

}  // namespace toolkit
