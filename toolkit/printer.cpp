#include "printer.h"

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

OwnedDC CreateDefaultPrinterDC() {
  DWORD length = 0;
  GetDefaultPrinterW(nullptr, &length);
  if (length == 0) return nullptr;
  std::wstring name(length, L'\0');
  if (!GetDefaultPrinterW(name.data(), &length)) return nullptr;
  return OwnedDC(CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr));
}

}  // namespace

HDC CurrentPrinterDC() {
  static const OwnedDC printer = CreateDefaultPrinterDC();
  return printer.get();
}

}  // namespace toolkit
