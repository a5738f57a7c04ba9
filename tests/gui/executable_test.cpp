// What the built executable carries: its version resource and a PE header that
// Windows will load with ASLR and DEP, needing nothing that Windows lacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include <windows.h>

#include "tool_process.h"

namespace {

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
  EXPECT_EQ(field(L"OriginalFilename"), L"Corvantis.exe");
  EXPECT_EQ(field(L"FileDescription"), L"OCX、DLL文件注册器");
}

class PeImage {
 public:
  explicit PeImage(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    bytes_.assign(std::istreambuf_iterator<char>(file), {});
  }
  std::size_t Size() const { return bytes_.size(); }
  const IMAGE_NT_HEADERS32& Headers() const {
    return At<IMAGE_NT_HEADERS32>(At<IMAGE_DOS_HEADER>(0).e_lfanew);
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

TEST(Executable, IsA32BitGuiImageWithAslrAndDepThatNeedsOnlySystemDlls) {
  const PeImage image(tool_process::ToolPath());
  const auto& headers = image.Headers();
  ASSERT_EQ(headers.Signature, static_cast<DWORD>(IMAGE_NT_SIGNATURE));
  EXPECT_EQ(headers.FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(headers.OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR32_MAGIC);
  EXPECT_EQ(headers.OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  EXPECT_TRUE(headers.OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
  EXPECT_TRUE(headers.OptionalHeader.DllCharacteristics & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
  EXPECT_LE(image.Size(), 500u * 1024u) << "the whole tool is one small file";

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
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    EXPECT_TRUE(system.count(name)) << name << " does not ship with Windows";
    ++count;
  }
  EXPECT_GT(count, 0);
}

}  // namespace
