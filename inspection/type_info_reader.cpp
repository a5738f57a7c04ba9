#include "type_info_reader.h"

#include <algorithm>
#include <memory>

#include <windows.h>
#include <oleauto.h>

#include "image_machine.h"
#include "owned_handle.h"
#include "registry_script.h"
#include "typelib_check.h"

namespace inspection {
namespace {

// More than any real server carries; a file claiming more is read this far.
constexpr std::size_t kMostResources = 64;
constexpr std::size_t kMostScriptBytes = 1 << 20;
constexpr UINT kMostClasses = 4096;

struct AttrReleaser {
  ITypeInfo* info;
  void operator()(TYPEATTR* attr) const { info->ReleaseTypeAttr(attr); }
};

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ErrorText(const wchar_t* what, DWORD error) {
  wchar_t number[16];
  wsprintfW(number, L"%lu", error);
  return std::wstring(what) + L"(错误 " + number + L")";
}

std::wstring HresultText(const wchar_t* what, HRESULT hr) {
  wchar_t number[16];
  wsprintfW(number, L"0x%08lX", static_cast<unsigned long>(hr));
  return std::wstring(what) + L"(" + number + L")";
}

// The bytes of one resource of the mapped file, or nothing.
std::pair<const void*, std::size_t> ResourceBytes(HMODULE module, const wchar_t* type,
                                                  const wchar_t* name) {
  HRSRC found = FindResourceW(module, name, type);
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  return {data, data ? SizeofResource(module, found) : 0};
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  auto* names = reinterpret_cast<std::vector<std::wstring>*>(param);
  // Numbered ones as "#N", which FindResource takes as well.
  names->push_back(IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name))
                                        : std::wstring(name));
  return names->size() < kMostResources;
}

std::vector<std::wstring> ResourceNames(HMODULE module, const wchar_t* type) {
  std::vector<std::wstring> names;
  EnumResourceNamesW(module, type, CollectName, reinterpret_cast<LONG_PTR>(&names));
  return names;
}

// One library through the system's parser, which reads it from `path\N`.
std::wstring LoadLibraryFacts(const std::wstring& path, TypeLibrary& library) {
  ITypeLib* raw = nullptr;
  const std::wstring name = path + L"\\" + std::to_wstring(library.resource);
  const HRESULT hr = LoadTypeLibEx(name.c_str(), REGKIND_NONE, &raw);
  if (FAILED(hr)) {
    return HresultText(L"无法加载", hr);
  }
  const toolkit::OwnedCom<ITypeLib> typeLib(raw);
  TLIBATTR* attr = nullptr;
  if (FAILED(typeLib->GetLibAttr(&attr))) return L"的属性无法读取";
  library.libid = GuidText(attr->guid);
  library.major = attr->wMajorVerNum;
  library.minor = attr->wMinorVerNum;
  library.syskind = attr->syskind;
  library.lcid = attr->lcid;
  typeLib->ReleaseTLibAttr(attr);

  const UINT count = std::min(typeLib->GetTypeInfoCount(), kMostClasses);
  for (UINT i = 0; i < count; ++i) {
    TYPEKIND kind;
    if (FAILED(typeLib->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
    ITypeInfo* rawInfo = nullptr;
    if (FAILED(typeLib->GetTypeInfo(i, &rawInfo))) continue;
    const toolkit::OwnedCom<ITypeInfo> info(rawInfo);
    TYPEATTR* rawAttr = nullptr;
    if (FAILED(info->GetTypeAttr(&rawAttr))) continue;
    const std::unique_ptr<TYPEATTR, AttrReleaser> typeAttr(rawAttr, AttrReleaser{info.get()});
    CoClass coclass{GuidText(typeAttr->guid), L"",
                    (typeAttr->wTypeFlags & TYPEFLAG_FCANCREATE) != 0};
    BSTR className = nullptr;
    if (SUCCEEDED(typeLib->GetDocumentation(static_cast<INT>(i), &className, nullptr, nullptr,
                                            nullptr)) &&
        className) {
      coclass.name = className;
      SysFreeString(className);
    }
    library.classes.push_back(std::move(coclass));
  }
  return {};
}

bool Listed(const ServerTypeInfo& info, const std::wstring& clsid) {
  for (const TypeLibrary& library : info.libraries) {
    for (const CoClass& coclass : library.classes) {
      if (coclass.clsid == clsid) return true;
    }
  }
  for (const CoClass& coclass : info.scriptClasses) {
    if (coclass.clsid == clsid) return true;
  }
  return false;
}

}  // namespace

ServerTypeInfo ReadServerTypeInfo(const std::wstring& path) {
  ServerTypeInfo info;
  // No "insert a disk" box for a file on a drive that went away.
  DWORD oldMode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
  const std::unique_ptr<DWORD, void (*)(DWORD*)> restore(
      &oldMode, [](DWORD* mode) { SetThreadErrorMode(*mode, nullptr); });

  info.machine = static_cast<std::uint16_t>(Ostravel::ReadImageMachine(path));
  const toolkit::OwnedLibrary module(LoadLibraryExW(
      path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) {
    const DWORD error = GetLastError();
    info.failure =
        info.machine == 0 ? L"文件不是 Windows 的程序映像" : ErrorText(L"文件无法读取", error);
    return info;
  }
  for (const std::wstring& name : ResourceNames(module.get(), L"TYPELIB")) {
    // The system's parser names a library by its number alone.
    if (name[0] != L'#') continue;
    TypeLibrary library;
    library.resource = std::stoi(name.substr(1));
    const auto [data, size] = ResourceBytes(module.get(), L"TYPELIB", name.c_str());
    std::wstring failure = data ? CheckTypeLibraryBytes(data, size) : L"无法读取";
    if (failure.empty()) failure = LoadLibraryFacts(path, library);
    if (!failure.empty()) {
      info.failure = L"类型库 " + std::to_wstring(library.resource) + L" " + failure;
      return info;
    }
    info.libraries.push_back(std::move(library));
  }
  for (const std::wstring& name : ResourceNames(module.get(), L"REGISTRY")) {
    const auto [data, size] = ResourceBytes(module.get(), L"REGISTRY", name.c_str());
    if (!data) continue;
    for (const ScriptClass& found :
         ScriptClasses(ScriptText(data, std::min(size, kMostScriptBytes)), kMostClasses)) {
      if (!Listed(info, found.clsid)) info.scriptClasses.push_back({found.clsid, found.name, true});
    }
  }
  return info;
}

}  // namespace inspection
