#include "printer.h"

#include <cwchar>
#include <string>

#include <winspool.h>

#include "owned_handle.h"

namespace toolkit {
namespace {

// Empty when the machine has no default printer.
std::wstring DefaultPrinterName() {
  DWORD length = 0;
  GetDefaultPrinterW(nullptr, &length);
  if (length == 0) return {};
  std::wstring name(length, L'\0');
  if (!GetDefaultPrinterW(name.data(), &length)) return {};
  name.resize(std::wcslen(name.c_str()));
  return name;
}

}  // namespace

// Like the rest of the toolkit, used from the user-interface thread only.
HDC CurrentPrinterDC() {
  static std::wstring name;
  static OwnedDC context;
  std::wstring current = DefaultPrinterName();
  if (current != name || !context) {
    context.reset(current.empty() ? nullptr
                                  : CreateDCW(L"WINSPOOL", current.c_str(), nullptr, nullptr));
    name = std::move(current);
  }
  return context.get();
}

}  // namespace toolkit
