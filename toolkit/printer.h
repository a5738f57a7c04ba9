#pragma once
// The current printer: a device context for the default printer that the
// toolkit makes when it is first asked for and deletes at exit. Callers borrow
// it and must not delete it; null means the machine has no default printer.

#include <windows.h>

namespace toolkit {

HDC CurrentPrinterDC();

}  // namespace toolkit
