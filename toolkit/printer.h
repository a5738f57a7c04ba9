#pragma once
// The current printer: a device context for the default printer, made when it
// is first asked for and made anew once the default printer has changed. Callers
// borrow it and must not delete it; it lasts until the default printer changes
// or the program exits. Null means the machine has no default printer.

#include <windows.h>

namespace toolkit {

HDC CurrentPrinterDC();

}  // namespace toolkit
