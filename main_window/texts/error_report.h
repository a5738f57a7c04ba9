#pragma once
// What the window shows when a handler fails, called from the catch block that
// holds the failure: a raised error's number and description, or, for
// anything else, the internal-error number. It throws nothing, and builds its
// text in fixed buffers, so running out of memory cannot stop the report on
// its way out of a callback.
#include <windows.h>

void ReportCurrentException(HWND owner) noexcept;
