#include "registry_view.h"

#include <algorithm>

namespace Ostravel {
namespace {

constexpr wchar_t kView[] = L"WOW6432Node";

// Below a classes key only these are the view's own; the rest (ProgIDs,
// TypeLib, AppID, file types) is shared.
constexpr const wchar_t* kRedirectedClasses[] = {L"CLSID", L"DirectShow", L"Interface",
                                                 L"Media Type", L"MediaFoundation"};

// Below HKLM\Software all is the view's own except these, and Classes, which
// follows the rule above.
constexpr const wchar_t* kSharedSoftware[] = {
    L"Clients",
    L"Microsoft\\COM3",
    L"Microsoft\\Cryptography\\Calais\\Current",
    L"Microsoft\\Cryptography\\Calais\\Readers",
    L"Microsoft\\Cryptography\\Services",
    L"Microsoft\\CTF\\SystemShared",
    L"Microsoft\\CTF\\TIP",
    L"Microsoft\\DFS",
    L"Microsoft\\Driver Signing",
    L"Microsoft\\EnterpriseCertificates",
    L"Microsoft\\EventSystem",
    L"Microsoft\\MSMQ",
    L"Microsoft\\Non-Driver Signing",
    L"Microsoft\\Notepad\\DefaultFonts",
    L"Microsoft\\OLE",
    L"Microsoft\\RAS",
    L"Microsoft\\RPC",
    L"Microsoft\\SOFTWARE\\Microsoft\\Shared Tools\\MSInfo",
    L"Microsoft\\SystemCertificates",
    L"Microsoft\\TermServLicensing",
    L"Microsoft\\Transaction Server",
    L"Microsoft\\Windows\\CurrentVersion\\App Paths",
    L"Microsoft\\Windows\\CurrentVersion\\Control Panel\\Cursors\\Schemes",
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\AutoplayHandlers",
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons",
    L"Microsoft\\Windows\\CurrentVersion\\Explorer\\KindMap",
    L"Microsoft\\Windows\\CurrentVersion\\Group Policy",
    L"Microsoft\\Windows\\CurrentVersion\\Policies",
    L"Microsoft\\Windows\\CurrentVersion\\PreviewHandlers",
    L"Microsoft\\Windows\\CurrentVersion\\Setup",
    L"Microsoft\\Windows\\CurrentVersion\\Telephony\\Locations",
    L"Microsoft\\Windows NT\\CurrentVersion\\Console",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontDpi",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontLink",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontMapper",
    L"Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    L"Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
    L"Microsoft\\Windows NT\\CurrentVersion\\Gre_Initialize",
    L"Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options",
    L"Microsoft\\Windows NT\\CurrentVersion\\LanguagePack",
    L"Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
    L"Microsoft\\Windows NT\\CurrentVersion\\Perflib",
    L"Microsoft\\Windows NT\\CurrentVersion\\Ports",
    L"Microsoft\\Windows NT\\CurrentVersion\\Print",
    L"Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    L"Microsoft\\Windows NT\\CurrentVersion\\Time Zones",
    L"Policies",
    L"RegisteredApplications",
};

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// `path` is `below` or lies under it.
bool Under(const std::wstring& path, const std::wstring& below) {
  return path.size() >= below.size() && EqualNoCase(path.substr(0, below.size()), below) &&
         (path.size() == below.size() || path[below.size()] == L'\\');
}

std::wstring First(const std::wstring& path) { return path.substr(0, path.find(L'\\')); }

// `classes` is the path of a classes key; `into` where its view lies.
bool MapClasses(const std::wstring& path, const std::wstring& classes, const std::wstring& into,
                std::wstring& mapped) {
  if (!classes.empty() && !Under(path, classes)) return false;
  const std::wstring rest =
      classes.empty() ? path : path.substr(std::min(path.size(), classes.size() + 1));
  const std::wstring first = First(rest);
  for (const wchar_t* redirected : kRedirectedClasses) {
    if (EqualNoCase(first, redirected)) {
      mapped = into + L"\\" + rest;
      return true;
    }
  }
  mapped = path;
  return true;
}

}  // namespace

std::wstring Wow64Path(RegistryRoot root, const std::wstring& path) {
  std::wstring mapped = path;
  switch (root) {
    case RegistryRoot::ClassesRoot: MapClasses(path, L"", kView, mapped); break;
    case RegistryRoot::CurrentUser:
      MapClasses(path, L"Software\\Classes", std::wstring(L"Software\\Classes\\") + kView, mapped);
      break;
    case RegistryRoot::LocalMachine: {
      if (MapClasses(path, L"Software\\Classes", std::wstring(L"Software\\") + kView + L"\\Classes",
                     mapped)) {
        break;
      }
      if (!Under(path, L"Software") || path.size() == 8) break;
      const std::wstring rest = path.substr(9);
      if (EqualNoCase(First(rest), kView)) break;
      for (const wchar_t* shared : kSharedSoftware) {
        if (Under(rest, shared)) return path;
      }
      mapped = path.substr(0, 9) + kView + L"\\" + rest;
      break;
    }
    default: break;
  }
  return mapped;
}

}  // namespace Ostravel
