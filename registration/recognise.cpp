#include "recognise.h"

#include <map>
#include <set>

namespace Ostravel {
namespace {

// Registry names compare as the registry compares them: without case.
bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

// The part of `path` below the classes key of `root`, if it lies there: all of
// HKEY_CLASSES_ROOT, and Software\Classes of the user and the machine.
bool BelowClasses(RegistryRoot root, const std::wstring& path, std::wstring& rest) {
  static const std::wstring kClasses = L"Software\\Classes\\";
  if (root == RegistryRoot::ClassesRoot) {
    rest = path;
    return true;
  }
  if ((root == RegistryRoot::CurrentUser || root == RegistryRoot::LocalMachine) &&
      EqualNoCase(path.substr(0, kClasses.size()), kClasses)) {
    rest = path.substr(kClasses.size());
    return true;
  }
  return false;
}

std::wstring FirstComponent(const std::wstring& path) { return path.substr(0, path.find(L'\\')); }

// The folders below the classes key that hold one registration per subkey,
// named by its identifier (CLSID\{...} and so on).
struct Home {
  const wchar_t* folder;
  Registered::Kind kind;
};
constexpr Home kHomes[] = {{L"CLSID", Registered::Kind::Class},
                           {L"TypeLib", Registered::Kind::TypeLib},
                           {L"Interface", Registered::Kind::Interface}};

// The registration `rest` (a path below the classes key) belongs to: its kind,
// its identifier and the path of its own key below the classes key.
bool Owner(const std::wstring& rest, const std::set<std::wstring>& progIds, Registered::Kind& kind,
           std::wstring& id, std::wstring& home) {
  const std::wstring first = FirstComponent(rest);
  for (const Home& candidate : kHomes) {
    if (!EqualNoCase(first, candidate.folder)) continue;
    if (first.size() == rest.size()) return false;
    id = FirstComponent(rest.substr(first.size() + 1));
    home = first + L"\\" + id;
    kind = candidate.kind;
    return true;
  }
  if (!progIds.count(first)) return false;
  kind = Registered::Kind::ProgId;
  id = home = first;
  return true;
}

// A fact's label: the value's own name, or for a default value the last
// component of its key, or "" for the registration key's own default value.
std::wstring Label(const std::wstring& keyBelowHome, const CapturedValue& value) {
  if (!value.name.empty()) return value.name;
  return keyBelowHome.substr(keyBelowHome.find_last_of(L'\\') + 1);
}

}  // namespace

std::vector<Registered> Recognise(const Capture& capture) {
  // A ProgID is a key right below the classes key that names its class in a
  // CLSID subkey.
  std::set<std::wstring> progIds;
  for (const CapturedKey& key : capture.keys) {
    std::wstring rest;
    if (!BelowClasses(key.root, key.path, rest)) continue;
    const std::wstring first = FirstComponent(rest);
    if (first.empty() || first.front() == L'.' || first.front() == L'{') continue;
    if (EqualNoCase(rest, first + L"\\CLSID")) {
      progIds.insert(first);
    }
  }

  std::vector<Registered> found;
  std::map<std::wstring, std::size_t> byHome;  // root and home path -> index in `found`
  for (const CapturedKey& key : capture.keys) {
    std::wstring rest, id, home;
    Registered::Kind kind;
    if (!BelowClasses(key.root, key.path, rest) || !Owner(rest, progIds, kind, id, home)) continue;
    const std::wstring where = std::wstring(RootName(key.root)) + L"\\" + home;
    auto [entry, added] = byHome.try_emplace(where, found.size());
    if (added) found.push_back({kind, key.root, id, {}});
    Registered& registered = found[entry->second];
    const std::wstring below = rest.size() > home.size() ? rest.substr(home.size() + 1) : L"";
    for (const CapturedValue& value : key.values) {
      registered.facts.emplace_back(Label(below, value), value);
    }
  }
  return found;
}

}  // namespace Ostravel
