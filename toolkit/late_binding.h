#pragma once
// Puts a property of any automation object by its name, the way a late-bound
// call does: the name is looked up on the object, then the value is put as a
// 16-bit integer. The caller learns only whether the object took it.

#include <cstdint>
#include <string>

struct IDispatch;

namespace toolkit {

bool PutProperty(IDispatch* object, const std::wstring& name, std::int16_t value);

}  // namespace toolkit
