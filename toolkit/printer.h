#pragma once
// The default printer as a device context. The caller owns the context it gets
// and releases it with DeleteDC; 0 means the machine has no default printer.

#include <windows.h>

namespace toolkit {

HDC CreateDefaultPrinterDC();

}  // namespace toolkit
