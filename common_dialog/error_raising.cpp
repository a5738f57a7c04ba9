#include "common_dialog.h"
#include "executable_name.h"
#include "raised_error.h"

namespace {

// Numbers above this one are the object's own; the rest are the run-time library's.
constexpr std::int32_t kLastLibraryError = 1000;

}  // namespace

void cCommonDialog::RaiseError(const std::int32_t& number) const {
  if (number > kLastLibraryError) {
    throw toolkit::RaisedError(ObjectErrorNumber(number), toolkit::ExecutableBaseName() + L".CommonDialog", L"");
  }
  throw toolkit::RaisedError(number, toolkit::ExecutableBaseName() + L".VBError",
                             toolkit::StandardDescription(number));
}

std::int32_t cCommonDialog::ObjectErrorNumber(const std::int32_t& number) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(number) | 0x80040000u);
}
