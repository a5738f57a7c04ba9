#pragma once
// The sizes of the common-dialog records in their classic Unicode form, per
// architecture: the one place the dialog code knows which it is built for.
// Each is checked against the SDK's layout, so a mismatch stops the build.

#include <cstddef>

#include <windows.h>
#include <commdlg.h>

namespace record_sizes {

#ifdef _WIN64
inline constexpr DWORD kOpenFileName = 136;
inline constexpr DWORD kChooseColor = 72;
inline constexpr DWORD kChooseFont = 104;
inline constexpr DWORD kPrintDlg = 120;
inline constexpr DWORD kPageSetupDlg = 128;
#else
inline constexpr DWORD kOpenFileName = 76;
inline constexpr DWORD kChooseColor = 36;
inline constexpr DWORD kChooseFont = 60;
inline constexpr DWORD kPrintDlg = 66;  // byte-packed on x86
inline constexpr DWORD kPageSetupDlg = 84;
#endif

// The file dialogs' record ends before the fields later Windows versions added.
static_assert(offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR) == kOpenFileName);
static_assert(sizeof(CHOOSECOLORW) == kChooseColor);
static_assert(sizeof(CHOOSEFONTW) == kChooseFont);
static_assert(sizeof(PRINTDLGW) == kPrintDlg);
static_assert(sizeof(PAGESETUPDLGW) == kPageSetupDlg);

}  // namespace record_sizes
