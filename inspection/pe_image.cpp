#include "pe_image.h"

#include <algorithm>
#include <cstring>

#include <windows.h>

namespace inspection {
namespace {

// Far beyond any real image; a table longer than these is a broken file, and
// stopping there keeps a hostile one from costing time or memory.
constexpr std::size_t kMaxSections = 96;  // the loader's own limit
constexpr std::size_t kMaxModules = 4096;
constexpr std::size_t kMaxFunctionsPerModule = 65536;
constexpr std::size_t kMaxExports = 65536;
constexpr std::size_t kMaxName = 4096;
constexpr std::size_t kMaxManifest = std::size_t{64} * 1024;
// What the lists read from one image may hold, names and entries together:
// tables that all point at one long list would otherwise multiply it.
constexpr std::size_t kMaxHeld = 4 << 20;

// Reads at file offsets, refusing anything that does not lie wholly inside.
class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  template <typename T>
  bool Read(std::uint64_t offset, T& out) const {
    if (offset > bytes_.size() || bytes_.size() - offset < sizeof(T)) return false;
    std::memcpy(&out, bytes_.data() + offset, sizeof(T));
    return true;
  }

  // Takes `bytes` from what the image's lists may hold; false once spent.
  bool Hold(std::size_t bytes) const {
    if (bytes > room_) return false;
    room_ -= bytes;
    return true;
  }
  std::size_t Held() const { return kMaxHeld - room_; }

  // A NUL-ended name; nothing when it runs past the file or kMaxName, or
  // would take more than the image may hold.
  std::optional<std::string> Name(std::uint64_t offset) const {
    if (offset >= bytes_.size()) return std::nullopt;
    const std::size_t room = std::min<std::size_t>(bytes_.size() - offset, kMaxName);
    const auto* start = reinterpret_cast<const char*>(bytes_.data() + offset);
    const void* end = std::memchr(start, 0, room);
    if (!end) return std::nullopt;
    const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - start);
    if (!Hold(length + sizeof(std::string))) return std::nullopt;
    return std::string(start, length);
  }

  std::optional<std::string> Text(std::uint64_t offset, std::size_t size) const {
    if (offset > bytes_.size() || bytes_.size() - offset < size) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(bytes_.data() + offset), size);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  mutable std::size_t room_ = kMaxHeld;
};

class Image {
 public:
  explicit Image(std::span<const std::uint8_t> bytes) : file_(bytes) {}

  bool ReadHeaders(PeImage& image) {
    IMAGE_DOS_HEADER dos{};
    if (!file_.Read(0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0)
      return false;
    const std::uint64_t nt = static_cast<std::uint32_t>(dos.e_lfanew);
    DWORD signature = 0;
    IMAGE_FILE_HEADER header{};
    if (!file_.Read(nt, signature) || signature != IMAGE_NT_SIGNATURE ||
        !file_.Read(nt + sizeof signature, header)) {
      return false;
    }
    image.machine = static_cast<Ostravel::Machine>(header.Machine);
    image.dll = (header.Characteristics & IMAGE_FILE_DLL) != 0;
    const std::uint64_t optional = nt + sizeof signature + sizeof header;
    WORD magic = 0;
    if (!file_.Read(optional, magic)) return false;
    std::uint32_t directoryCount = 0;
    std::uint64_t directories = 0;
    if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
      IMAGE_OPTIONAL_HEADER64 o{};
      if (header.SizeOfOptionalHeader < offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory))
        return false;
      file_.Read(optional, o);  // a short optional header leaves the rest zero
      is64_ = true;
      imageBase_ = o.ImageBase;
      sizeOfHeaders_ = o.SizeOfHeaders;
      directoryCount = o.NumberOfRvaAndSizes;
      directories = optional + offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
    } else if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
      IMAGE_OPTIONAL_HEADER32 o{};
      if (header.SizeOfOptionalHeader < offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory))
        return false;
      file_.Read(optional, o);
      imageBase_ = o.ImageBase;
      sizeOfHeaders_ = o.SizeOfHeaders;
      directoryCount = o.NumberOfRvaAndSizes;
      directories = optional + offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    } else {
      return false;
    }
    // Directories past the optional header's stated size are not the image's.
    const std::uint64_t directoryRoom =
        (optional + header.SizeOfOptionalHeader - directories) / sizeof(IMAGE_DATA_DIRECTORY);
    directoryCount = static_cast<std::uint32_t>(
        std::min<std::uint64_t>({directoryCount, directoryRoom, IMAGE_NUMBEROF_DIRECTORY_ENTRIES}));
    for (std::uint32_t i = 0; i < directoryCount; ++i) {
      file_.Read(directories + i * sizeof(IMAGE_DATA_DIRECTORY), directory_[i]);
    }
    if (header.NumberOfSections > kMaxSections) return false;
    const std::uint64_t sectionTable = optional + header.SizeOfOptionalHeader;
    for (WORD i = 0; i < header.NumberOfSections; ++i) {
      IMAGE_SECTION_HEADER section{};
      if (!file_.Read(sectionTable + i * std::uint64_t{sizeof section}, section)) return false;
      sections_.push_back(section);
    }
    return true;
  }

  // The file offset of an RVA, or nothing when no section's file data holds it.
  std::optional<std::uint64_t> Offset(std::uint64_t rva) const {
    if (rva < sizeOfHeaders_) return rva;
    for (const IMAGE_SECTION_HEADER& s : sections_) {
      if (rva >= s.VirtualAddress && rva - s.VirtualAddress < s.SizeOfRawData) {
        return std::uint64_t{s.PointerToRawData} + (rva - s.VirtualAddress);
      }
    }
    return std::nullopt;
  }

  template <typename T>
  bool ReadRva(std::uint64_t rva, T& out) const {
    const auto offset = Offset(rva);
    return offset && file_.Read(*offset, out);
  }

  std::optional<std::string> NameAt(std::uint64_t rva) const {
    const auto offset = Offset(rva);
    return offset ? file_.Name(*offset) : std::nullopt;
  }

  const IMAGE_DATA_DIRECTORY& Directory(int index) const { return directory_[index]; }
  std::size_t Held() const { return file_.Held(); }

  bool ReadThunk(std::uint64_t rva, std::uint64_t& thunk) const {
    if (is64_) return ReadRva(rva, thunk);
    std::uint32_t narrow = 0;
    if (!ReadRva(rva, narrow)) return false;
    thunk = narrow;
    return true;
  }

  // The functions named by a thunk array (an import name table).
  std::vector<ImportedFunction> Functions(std::uint64_t thunks, bool vaBased) const {
    std::vector<ImportedFunction> functions;
    const std::uint64_t step = is64_ ? 8 : 4;
    const std::uint64_t ordinalFlag = is64_ ? IMAGE_ORDINAL_FLAG64 : IMAGE_ORDINAL_FLAG32;
    for (std::size_t i = 0; i < kMaxFunctionsPerModule; ++i) {
      std::uint64_t thunk = 0;
      if (!ReadThunk(thunks + i * step, thunk) || thunk == 0 ||
          !file_.Hold(sizeof(ImportedFunction)))
        break;
      if (thunk & ordinalFlag) {
        functions.push_back({{}, static_cast<std::uint16_t>(thunk & 0xFFFF)});
        continue;
      }
      std::uint64_t hintName = thunk & 0x7FFFFFFF;
      if (vaBased) hintName = thunk - imageBase_;
      auto name = NameAt(hintName + 2);
      if (!name || name->empty()) break;
      functions.push_back({std::move(*name), 0});
    }
    return functions;
  }

  std::vector<ImportedModule> Imports() const {
    std::vector<ImportedModule> modules;
    const std::uint64_t table = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress;
    if (table == 0) return modules;
    for (std::size_t i = 0; i < kMaxModules; ++i) {
      IMAGE_IMPORT_DESCRIPTOR d{};
      if (!ReadRva(table + i * sizeof d, d) || d.Name == 0) break;
      auto name = NameAt(d.Name);
      if (!name || name->empty()) continue;
      const std::uint64_t thunks = d.OriginalFirstThunk ? d.OriginalFirstThunk : d.FirstThunk;
      modules.push_back({std::move(*name), Functions(thunks, false)});
    }
    return modules;
  }

  std::vector<ImportedModule> DelayImports() const {
    std::vector<ImportedModule> modules;
    const std::uint64_t table = Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT).VirtualAddress;
    if (table == 0) return modules;
    for (std::size_t i = 0; i < kMaxModules; ++i) {
      IMAGE_DELAYLOAD_DESCRIPTOR d{};
      if (!ReadRva(table + i * sizeof d, d) || d.DllNameRVA == 0) break;
      // The oldest tables hold addresses rather than RVAs.
      const bool vaBased = (d.Attributes.AllAttributes & 1) == 0;
      const std::uint64_t base = vaBased ? imageBase_ : 0;
      auto name = NameAt(d.DllNameRVA - base);
      if (!name || name->empty()) continue;
      modules.push_back({std::move(*name), Functions(d.ImportNameTableRVA - base, vaBased)});
    }
    return modules;
  }

  Exports ReadExports() const {
    Exports exports;
    const IMAGE_DATA_DIRECTORY& where = Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    IMAGE_EXPORT_DIRECTORY d{};
    if (where.VirtualAddress == 0 || !ReadRva(where.VirtualAddress, d)) return exports;
    exports.base = d.Base;
    const std::size_t count = std::min<std::size_t>(d.NumberOfFunctions, kMaxExports);
    exports.present.assign(count, false);
    for (std::size_t i = 0; i < count; ++i) {
      DWORD rva = 0;
      if (!ReadRva(d.AddressOfFunctions + i * std::uint64_t{4}, rva)) {
        exports.present.resize(i);
        break;
      }
      if (rva == 0) continue;
      exports.present[i] = true;
      // An address inside the export directory is a forwarder's text.
      if (rva >= where.VirtualAddress && rva - where.VirtualAddress < where.Size) {
        if (auto forwarder = NameAt(rva))
          exports.forwarders.emplace(static_cast<std::uint32_t>(i), *forwarder);
      }
    }
    const std::size_t names = std::min<std::size_t>(d.NumberOfNames, kMaxExports);
    for (std::size_t i = 0; i < names; ++i) {
      DWORD nameRva = 0;
      WORD index = 0;
      if (!ReadRva(d.AddressOfNames + i * std::uint64_t{4}, nameRva) ||
          !ReadRva(d.AddressOfNameOrdinals + i * std::uint64_t{2}, index)) {
        break;
      }
      if (auto name = NameAt(nameRva)) exports.byName.emplace(std::move(*name), index);
    }
    return exports;
  }

  // RT_MANIFEST, the isolation-aware id for a DLL (2) or the process one (1)
  // for an executable, in whichever language comes first.
  std::string Manifest(bool dll) const {
    const std::uint64_t root = Directory(IMAGE_DIRECTORY_ENTRY_RESOURCE).VirtualAddress;
    if (root == 0) return {};
    auto entry = Entry(root, reinterpret_cast<std::uintptr_t>(RT_MANIFEST));
    if (entry && *entry & IMAGE_RESOURCE_DATA_IS_DIRECTORY)
      entry = Entry(root + (*entry & 0x7FFFFFFF), dll ? 2 : 1);
    if (entry && *entry & IMAGE_RESOURCE_DATA_IS_DIRECTORY)
      entry = FirstEntry(root + (*entry & 0x7FFFFFFF));
    if (!entry || *entry & IMAGE_RESOURCE_DATA_IS_DIRECTORY) return {};
    IMAGE_RESOURCE_DATA_ENTRY data{};
    if (!ReadRva(root + *entry, data) || data.Size > kMaxManifest) return {};
    const auto offset = Offset(data.OffsetToData);
    if (!offset) return {};
    return file_.Text(*offset, data.Size).value_or(std::string());
  }

 private:
  // The OffsetToData of a resource directory's entry with the id, relative to
  // the resource root.
  std::optional<DWORD> Entry(std::uint64_t directory, std::uintptr_t id) const {
    IMAGE_RESOURCE_DIRECTORY d{};
    if (!ReadRva(directory, d)) return std::nullopt;
    const std::size_t count = std::size_t{d.NumberOfNamedEntries} + d.NumberOfIdEntries;
    for (std::size_t i = 0; i < count; ++i) {
      IMAGE_RESOURCE_DIRECTORY_ENTRY e{};
      if (!ReadRva(directory + sizeof d + i * sizeof e, e)) return std::nullopt;
      if (!(e.Name & 0x80000000) && e.Name == id) return e.OffsetToData;
    }
    return std::nullopt;
  }

  std::optional<DWORD> FirstEntry(std::uint64_t directory) const {
    IMAGE_RESOURCE_DIRECTORY d{};
    IMAGE_RESOURCE_DIRECTORY_ENTRY e{};
    if (!ReadRva(directory, d) || d.NumberOfNamedEntries + d.NumberOfIdEntries == 0 ||
        !ReadRva(directory + sizeof d, e)) {
      return std::nullopt;
    }
    return e.OffsetToData;
  }

  Reader file_;
  bool is64_ = false;
  std::uint64_t imageBase_ = 0;
  std::uint64_t sizeOfHeaders_ = 0;
  IMAGE_DATA_DIRECTORY directory_[IMAGE_NUMBEROF_DIRECTORY_ENTRIES]{};
  std::vector<IMAGE_SECTION_HEADER> sections_;
};

}  // namespace

std::optional<PeImage> ParsePeImage(std::span<const std::uint8_t> bytes) {
  Image reader(bytes);
  PeImage image;
  if (!reader.ReadHeaders(image)) return std::nullopt;
  const IMAGE_DATA_DIRECTORY& clr = reader.Directory(IMAGE_DIRECTORY_ENTRY_COM_DESCRIPTOR);
  image.managed = clr.VirtualAddress != 0 && clr.Size != 0;
  image.imports = reader.Imports();
  image.delayImports = reader.DelayImports();
  image.exports = reader.ReadExports();
  image.manifest = reader.Manifest(image.dll);
  image.held = reader.Held() + image.manifest.size() + image.exports.present.size() / 8;
  return image;
}

MappedFile::MappedFile(const std::wstring& path, std::uint64_t limit) {
  const toolkit::OwnedHandle file =
      toolkit::OwnFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return;
  opened_ = true;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) {
    tooLarge_ = static_cast<std::uint64_t>(size.QuadPart) > limit;
    if (!tooLarge_) {
      // The view keeps the mapping.
      const toolkit::OwnedHandle mapping(
          CreateFileMappingW(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
      if (mapping) {
        view_.reset(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
        if (view_) size_ = static_cast<std::size_t>(size.QuadPart);
      }
    }
  }
}

}  // namespace inspection
