#include "common_dialog.h"
#include "executable_name.h"
#include "raised_error.h"

namespace {

// Numbers above this one are the object's own; the rest are the run-time library's.
constexpr std::int32_t kLastLibraryError = 1000;

// A bitwise OR, not a sum: a number that already has the range's bits keeps them.
std::int32_t ObjectErrorNumber(std::int32_t number) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(number) | 0x80040000u);
}

}  // namespace

void cCommonDialog::RaiseError(std::int32_t number) const {
  if (number > kLastLibraryError) {
    toolkit::Raise(ObjectErrorNumber(number), toolkit::ExecutableBaseName() + L".CommonDialog",
                   L"");
  }
  toolkit::Raise(number, toolkit::ExecutableBaseName() + L".VBError",
                 toolkit::StandardDescription(number));
}
