#include "registration_status.h"

#include <algorithm>
#include <optional>

#include <windows.h>

#include "file_name.h"
#include "owned_handle.h"

namespace inspection {
namespace {

using toolkit::OwnedKey;

// Longer than any path a client could load; a longer value is not a file.
constexpr DWORD kMostValueChars = 32768;

bool SystemHas64BitView() {
  if constexpr (sizeof(void*) == 8) {
    return true;
  } else {
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
  }
}

REGSAM ViewAccess(View view) { return view == View::Bits64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

// The default value's text, expanded; nothing when the key or value is
// absent. A value that is no string, or longer than any path, is `unreadable`.
std::optional<std::wstring> ReadText(HKEY parent, const std::wstring& key, REGSAM view,
                                     bool& unreadable) {
  unreadable = false;
  HKEY raw = nullptr;
  if (!parent ||
      RegOpenKeyExW(parent, key.c_str(), 0, KEY_QUERY_VALUE | view, &raw) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const OwnedKey opened(raw);
  // Room for any usual path at the first try; a longer value is asked again.
  std::wstring text(MAX_PATH * 2, L'\0');
  DWORD type = 0, bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  LSTATUS status = RegQueryValueExW(opened.get(), nullptr, nullptr, &type,
                                    reinterpret_cast<BYTE*>(text.data()), &bytes);
  if (status == ERROR_MORE_DATA && bytes <= kMostValueChars * sizeof(wchar_t)) {
    text.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status = RegQueryValueExW(opened.get(), nullptr, nullptr, &type,
                              reinterpret_cast<BYTE*>(text.data()), &bytes);
  }
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  unreadable = status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ);
  if (unreadable) return std::wstring();
  text.resize(bytes / sizeof(wchar_t));
  // Stored without its terminator, or with text after it: up to the first.
  text.resize(wcsnlen(text.c_str(), text.size()));
  if (type == REG_EXPAND_SZ) {
    std::wstring expanded(kMostValueChars, L'\0');
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), kMostValueChars);
    if (length == 0 || length > kMostValueChars) {
      unreadable = true;
      return std::wstring();
    }
    expanded.resize(length - 1);
    text = expanded;
  }
  return text;
}

std::wstring Unquoted(std::wstring text) {
  const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
  while (!text.empty() && blank(text.back())) text.pop_back();
  text.erase(0, std::min(text.size(), text.find_first_not_of(L" \t")));
  if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

bool NamesNoFolder(const std::wstring& path) {
  return path.find_first_of(L"\\/:") == std::wstring::npos;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FolderOf(UINT(WINAPI* get)(LPWSTR, UINT)) {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = get(folder, MAX_PATH);
  return length && length < MAX_PATH ? folder : L"";
}

// The file a client of `view` opens for `path`: the 32-bit view's System32 is
// SysWOW64, and a 32-bit process reaches the 64-bit one's only as Sysnative.
std::wstring AsClientSees(const std::wstring& path, View view, bool has64BitView) {
  if (!has64BitView) return path;
  const std::wstring system = FolderOf(GetSystemDirectoryW);
  if (system.empty() || path.size() <= system.size() || path[system.size()] != L'\\' ||
      !SameText(path.substr(0, system.size()), system)) {
    return path;
  }
  std::wstring folder;
  if (view == View::Bits32) {
    folder = FolderOf(GetSystemWow64DirectoryW);
  } else if (sizeof(void*) == 4) {
    folder = FolderOf(GetSystemWindowsDirectoryW) + L"\\Sysnative";
  }
  return folder.empty() ? path : folder + path.substr(system.size());
}

struct FileId {
  DWORD volume = 0, high = 0, low = 0;
  bool operator==(const FileId&) const = default;
};

std::optional<FileId> IdentityOf(const std::wstring& path) {
  const toolkit::OwnedHandle file = toolkit::OwnFile(
      CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION facts{};
  if (!GetFileInformationByHandle(file.get(), &facts)) return std::nullopt;
  return FileId{facts.dwVolumeSerialNumber, facts.nFileIndexHigh, facts.nFileIndexLow};
}

// The registry's Software\Classes of each scope in each view, opened once,
// and the identity of each file named, read once.
class Lookup {
 public:
  explicit Lookup(const std::wstring& path)
      : chosen_(IdentityOf(path)),
        chosenName_(toolkit::FileNameOf(path)),
        has64_(SystemHas64BitView()) {
    for (View view : Views()) {
      for (Scope scope : {Scope::AllUsers, Scope::ThisUser}) {
        HKEY raw = nullptr;
        RegOpenKeyExW(scope == Scope::AllUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                      L"Software\\Classes", 0, KEY_ENUMERATE_SUB_KEYS | Access(view), &raw);
        classes_[Index(view, scope)].reset(raw);
      }
    }
  }

  bool Has64BitView() const { return has64_; }

  std::vector<View> Views() const {
    if (has64_) return {View::Bits32, View::Bits64};
    return {View::Bits32};
  }

  // The entries for one key under Software\Classes that clients of `view`
  // find, read through the registry's `registryView`, in both scopes.
  std::vector<Registration> Find(const std::wstring& key, View view, View registryView) {
    std::vector<Registration> found;
    for (Scope scope : {Scope::AllUsers, Scope::ThisUser}) {
      bool unreadable = false;
      const std::optional<std::wstring> text = ReadText(classes_[Index(registryView, scope)].get(),
                                                        key, Access(registryView), unreadable);
      if (text) found.push_back(Judged(*text, unreadable, view, scope));
    }
    return found;
  }

 private:
  // The view named on every open, the ones below a key already opened too:
  // redirection is decided per open. A system of one view has no flags to give.
  REGSAM Access(View view) const { return has64_ ? ViewAccess(view) : 0; }

  static std::size_t Index(View view, Scope scope) {
    return (view == View::Bits64 ? 2 : 0) + (scope == Scope::ThisUser ? 1 : 0);
  }

  Registration Judged(const std::wstring& text, bool unreadable, View view, Scope scope) {
    Registration entry{view, scope, Found::Unreadable, Unquoted(text), false};
    if (unreadable || entry.file.empty()) return entry;
    if (NamesNoFolder(entry.file)) {
      entry.bySearchPath = true;
      entry.found = SameText(entry.file, chosenName_) ? Found::ThisFile : Found::OtherFile;
      return entry;
    }
    const std::wstring seen = AsClientSees(entry.file, view, has64_);
    auto known = std::find_if(identities_.begin(), identities_.end(),
                              [&](const auto& named) { return named.first == seen; });
    if (known == identities_.end()) {
      identities_.emplace_back(seen, IdentityOf(seen));
      known = identities_.end() - 1;
    }
    const std::optional<FileId>& id = known->second;
    entry.found = !id                            ? Found::Missing
                  : (chosen_ && *id == *chosen_) ? Found::ThisFile
                                                 : Found::OtherFile;
    return entry;
  }

  std::optional<FileId> chosen_;
  std::wstring chosenName_;
  bool has64_;
  OwnedKey classes_[4];
  // Few: every class of a server names the same file, or one other.
  std::vector<std::pair<std::wstring, std::optional<FileId>>> identities_;
};

std::wstring Hex(unsigned value) {
  wchar_t text[16];
  wsprintfW(text, L"%x", value);
  return text;
}

// What a client of `view` is given for the item: the user's entry hides the machine's.
const Registration* Effective(const Item& item, View view) {
  const Registration* machine = nullptr;
  for (const Registration& entry : item.registrations) {
    if (entry.view != view) continue;
    if (entry.scope == Scope::ThisUser) return &entry;
    machine = &entry;
  }
  return machine;
}

bool Counts(const Item& item) { return item.kind == ItemKind::TypeLibrary || item.creatable; }

}  // namespace

RegistrationStatus Judge(std::vector<Item> items, View ownView, std::vector<View> views) {
  RegistrationStatus status;
  status.ownView = ownView;
  status.views = std::move(views);
  status.items = std::move(items);
  const Registration* firstOther = nullptr;
  bool otherView = false, otherViewByUser = false;
  for (const Item& item : status.items) {
    if (!Counts(item)) continue;
    ++status.total;
    if (const Registration* own = Effective(item, ownView)) {
      status.thisUserOnly = status.thisUserOnly || own->scope == Scope::ThisUser;
      status.bySearchPath = status.bySearchPath || own->bySearchPath;
      if (own->found == Found::ThisFile) {
        ++status.registered;
      } else if (!firstOther) {
        firstOther = own;
      }
    }
    for (View view : status.views) {
      if (view == ownView) continue;
      if (const Registration* other = Effective(item, view)) {
        otherView = true;
        otherViewByUser = otherViewByUser || other->scope == Scope::ThisUser;
      }
    }
  }
  if (status.total > 0 && status.registered == status.total) {
    status.verdict = Verdict::ThisFile;
  } else if (firstOther) {
    status.verdict = Verdict::OtherFile;
    status.otherFile = firstOther->file;
    status.otherFound = firstOther->found;
  } else if (status.registered > 0) {
    status.verdict = Verdict::Partial;
  } else if (otherView) {
    status.verdict = Verdict::OtherViewOnly;
    status.thisUserOnly = otherViewByUser;
  } else {
    status.verdict = Verdict::NotRegistered;
  }
  return status;
}

RegistrationStatus CheckRegistration(const std::wstring& path, const ServerTypeInfo& info) {
  Lookup lookup(path);
  // A system of one view has only the 32-bit one.
  const View own = info.machine == IMAGE_FILE_MACHINE_AMD64 && lookup.Has64BitView() ? View::Bits64
                                                                                     : View::Bits32;
  if (!info.failure.empty()) {
    RegistrationStatus status;
    status.reason = info.failure;
    status.ownView = own;
    status.views = lookup.Views();
    return status;
  }
  std::vector<Item> items;
  const auto addClass = [&](const CoClass& coclass) {
    Item item{ItemKind::Class, coclass.clsid, coclass.name, coclass.creatable, {}};
    for (View view : coclass.creatable ? lookup.Views() : std::vector<View>{}) {
      for (Registration& entry :
           lookup.Find(L"CLSID\\" + coclass.clsid + L"\\InprocServer32", view, view)) {
        item.registrations.push_back(std::move(entry));
      }
    }
    items.push_back(std::move(item));
  };
  for (const TypeLibrary& library : info.libraries) {
    for (const CoClass& coclass : library.classes) addClass(coclass);
  }
  for (const CoClass& coclass : info.scriptClasses) addClass(coclass);
  // A library's entry keeps one file per bitness in a key shared by both
  // views: its win32 and win64 subkeys stand for the views.
  for (const TypeLibrary& library : info.libraries) {
    const std::wstring version = Hex(library.major) + L"." + Hex(library.minor);
    Item item{ItemKind::TypeLibrary, library.libid + L" " + version, L"", true, {}};
    for (View view : lookup.Views()) {
      const std::wstring key = L"TypeLib\\" + library.libid + L"\\" + version + L"\\" +
                               Hex(library.lcid) + (view == View::Bits64 ? L"\\win64" : L"\\win32");
      for (Registration& entry : lookup.Find(key, view, own)) {
        item.registrations.push_back(std::move(entry));
      }
    }
    items.push_back(std::move(item));
  }
  if (info.libraries.empty() && info.scriptClasses.empty()) {
    RegistrationStatus status = Judge({}, own, lookup.Views());
    status.verdict = Verdict::NoTypeLibrary;
    return status;
  }
  return Judge(std::move(items), own, lookup.Views());
}

RegistrationStatus ReadRegistrationStatus(const std::wstring& path) {
  return CheckRegistration(path, ReadServerTypeInfo(path));
}

}  // namespace inspection
