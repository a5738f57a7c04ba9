// What the built executable carries: its version resource, a manifest for its
// own architecture, and a PE header that Windows will load with ASLR and DEP,
// needing nothing that Windows lacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include <windows.h>

#include "architecture.h"
#include "tool_process.h"

namespace {

using architecture::PerArchitecture;

TEST(Executable, VersionResourceNamesTheProduct) {
  const std::wstring path = tool_process::ToolPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> data(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(1, 0));
  EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(6, 0));
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(1, 0));
  EXPECT_EQ(fixed->dwProductVersionLS, MAKELONG(6, 0));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  wchar_t block[64];
  swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  const auto field = [&](const wchar_t* name) {
    wchar_t* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(data.data(), (std::wstring(block) + name).c_str(),
                        reinterpret_cast<void**>(&value), &chars)) {
      return std::wstring(L"<missing>");
    }
    return std::wstring(value);
  };
  EXPECT_EQ(field(L"FileVersion"), L"0.01.0006");
  EXPECT_EQ(field(L"ProductVersion"), L"0.01.0006");
  EXPECT_EQ(field(L"ProductName"), L"Corvantis");
  EXPECT_EQ(field(L"InternalName"), L"Quelmar");
  EXPECT_EQ(field(L"OriginalFilename"), PerArchitecture(L"Corvantis.exe", L"Corvantis64.exe"));
  EXPECT_EQ(field(L"FileDescription"), L"OCX、DLL文件注册器");
}

class PeImage {
 public:
  explicit PeImage(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(file), {});
  }
  std::size_t Size() const { return bytes_.size(); }
  // The layout of this process's own architecture, which the tool shares.
  const IMAGE_NT_HEADERS& Headers() const {
    return At<IMAGE_NT_HEADERS>(At<IMAGE_DOS_HEADER>(0).e_lfanew);
  }
  template <typename T>
  const T& At(std::size_t offset) const {
    if (offset + sizeof(T) > bytes_.size()) throw std::out_of_range("outside the file");
    return *reinterpret_cast<const T*>(bytes_.data() + offset);
  }
  std::size_t OffsetOf(DWORD rva) const {
    const auto& headers = Headers();
    const auto* section = IMAGE_FIRST_SECTION(&headers);
    const std::size_t first = reinterpret_cast<const char*>(section) - bytes_.data();
    for (WORD i = 0; i < headers.FileHeader.NumberOfSections; ++i) {
      const auto& s = At<IMAGE_SECTION_HEADER>(first + i * sizeof(IMAGE_SECTION_HEADER));
      if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.Misc.VirtualSize) {
        return rva - s.VirtualAddress + s.PointerToRawData;
      }
    }
    throw std::out_of_range("address in no section");
  }
  std::string StringAt(DWORD rva) const { return std::string(&At<char>(OffsetOf(rva))); }

 private:
  std::vector<char> bytes_;
};

TEST(Executable, IsAGuiImageOfItsArchitectureWithAslrAndDepThatNeedsOnlySystemDlls) {
  const PeImage image(tool_process::ToolPath());
  const auto& headers = image.Headers();
  ASSERT_EQ(headers.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
  EXPECT_EQ(headers.FileHeader.Machine,
            PerArchitecture<WORD>(IMAGE_FILE_MACHINE_I386, IMAGE_FILE_MACHINE_AMD64));
  ASSERT_EQ(headers.OptionalHeader.Magic,
            PerArchitecture<WORD>(IMAGE_NT_OPTIONAL_HDR32_MAGIC, IMAGE_NT_OPTIONAL_HDR64_MAGIC))
      << "PE32 or PE32+";
  EXPECT_EQ(headers.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  const WORD characteristics = headers.OptionalHeader.DllCharacteristics;
  EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
  EXPECT_TRUE(characteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
  EXPECT_EQ((characteristics & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA) != 0,
            PerArchitecture(false, true))
      << "64-bit addresses anywhere in the space";
  // The statically linked C++ runtime is most of it; past this, something
  // was pulled in that the tool does not need.
  EXPECT_LE(image.Size(), 768u * 1024u) << "the whole tool is one small file";

  const std::set<std::string> system{"advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll",
                                     "kernel32.dll", "msvcrt.dll",   "ole32.dll",    "oleaut32.dll",
                                     "user32.dll",   "winspool.drv", "shell32.dll"};
  const auto& imports = headers.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  ASSERT_NE(imports.VirtualAddress, 0u);
  int count = 0;
  for (std::size_t at = image.OffsetOf(imports.VirtualAddress);;
       at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    const auto& descriptor = image.At<IMAGE_IMPORT_DESCRIPTOR>(at);
    if (descriptor.Name == 0) break;
    std::string name = image.StringAt(descriptor.Name);
    std::transform(name.begin(), name.end(), name.begin(), [](char c) {
      return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    EXPECT_TRUE(system.count(name)) << name << " does not ship with Windows";
    ++count;
  }
  EXPECT_GT(count, 0);
}

// The manifest must name this architecture, or Windows finds no Common
// Controls 6 for the tool and it falls back to the old controls. Activating it
// here, in a process of the same architecture, shows what the tool gets.
TEST(Executable, ManifestOfItsArchitectureBringsCommonControls6) {
  const std::wstring path = tool_process::ToolPath();
  HMODULE exe = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC resource = FindResourceW(exe, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(resource, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(exe, resource))),
                             SizeofResource(exe, resource));
  FreeLibrary(exe);
  const std::string architecture = PerArchitecture<std::string>("processorArchitecture=\"x86\"",
                                                                "processorArchitecture=\"amd64\"");
  const auto common = manifest.find("Microsoft.Windows.Common-Controls");
  ASSERT_NE(common, std::string::npos);
  // The tool's own identity comes first, before the dependency on the controls.
  EXPECT_LT(manifest.find(architecture), common) << "the tool's own identity";
  EXPECT_NE(manifest.find(architecture, common), std::string::npos) << "the controls' identity";
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);

  ACTCTXW request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = path.c_str();
  request.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE context = CreateActCtxW(&request);
  ASSERT_NE(context, INVALID_HANDLE_VALUE) << GetLastError();
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(context, &cookie));
  // Common Controls 6 comes from the side-by-side store, as a comctl32.dll of
  // its own beside the system's old one.
  HMODULE controls = LoadLibraryW(L"comctl32.dll");
  ASSERT_NE(controls, nullptr) << "no Common Controls for this architecture";
  wchar_t loaded[MAX_PATH] = {};
  GetModuleFileNameW(controls, loaded, MAX_PATH);
  std::wstring where = loaded;
  std::transform(where.begin(), where.end(), where.begin(), ::towlower);
  EXPECT_NE(where.find(L"\\winsxs\\" + PerArchitecture<std::wstring>(L"x86", L"amd64") +
                       L"_microsoft.windows.common-controls_6595b64144ccf1df_6."),
            std::wstring::npos)
      << testing::PrintToString(std::string(where.begin(), where.end()));
  FreeLibrary(controls);
  DeactivateActCtx(0, cookie);
  ReleaseActCtx(context);
}

}  // namespace
