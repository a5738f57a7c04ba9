#include "printer.h"

#include <cwchar>
#include <memory>
#include <string>
#include <type_traits>

#include <winspool.h>

namespace toolkit {
namespace {

struct DCDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
using OwnedDC = std::unique_ptr<std::remove_pointer_t<HDC>, DCDeleter>;

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
