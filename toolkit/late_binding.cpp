#include "late_binding.h"

#include <oaidl.h>
#include <oleauto.h>

namespace toolkit {

bool PutProperty(IDispatch* object, const std::wstring& name, std::int16_t value) {
  if (!object) return false;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
  DISPID id = DISPID_UNKNOWN;
  if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return false;

  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_I2;
  argument.iVal = value;
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS parameters{&argument, &putId, 1, 1};
  return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT,
                                  &parameters, nullptr, nullptr, nullptr));
}

}  // namespace toolkit
