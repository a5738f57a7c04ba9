#include "printer.h"

#include <string>

#include <winspool.h>

namespace toolkit {

HDC CreateDefaultPrinterDC() {
  DWORD length = 0;
  GetDefaultPrinterW(nullptr, &length);
  if (length == 0) return nullptr;
  std::wstring name(length, L'\0');
  if (!GetDefaultPrinterW(name.data(), &length)) return nullptr;
  return CreateDCW(L"WINSPOOL", name.c_str(), nullptr, nullptr);
}

}  // namespace toolkit
