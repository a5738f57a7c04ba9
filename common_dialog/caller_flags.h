#pragma once
// A caller's flag word may ask for a hook procedure or a dialog template, but
// the object never hands a dialog either, and a dialog asked for one with
// nothing behind it fails. Every dialog takes the caller's flags through here.

#include <cstdint>

#include <windows.h>
#include <commdlg.h>

inline constexpr DWORD kFileHooksAndTemplates =
    OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE;
inline constexpr DWORD kFontHooksAndTemplates =
    CF_ENABLEHOOK | CF_ENABLETEMPLATE | CF_ENABLETEMPLATEHANDLE;
inline constexpr DWORD kPrintHooksAndTemplates =
    PD_ENABLEPRINTHOOK | PD_ENABLESETUPHOOK | PD_ENABLEPRINTTEMPLATE | PD_ENABLESETUPTEMPLATE |
    PD_ENABLEPRINTTEMPLATEHANDLE | PD_ENABLESETUPTEMPLATEHANDLE;
inline constexpr DWORD kPageSetupHooksAndTemplates =
    PSD_ENABLEPAGESETUPHOOK | PSD_ENABLEPAGESETUPTEMPLATE | PSD_ENABLEPAGESETUPTEMPLATEHANDLE |
    PSD_ENABLEPAGEPAINTHOOK;

// The caller's flags without the dialog's hook and template bits.
inline DWORD CallerFlags(std::int32_t flags, DWORD hooksAndTemplates) {
  return static_cast<DWORD>(flags) & ~hooksAndTemplates;
}
