#include "typelib_check.h"

#include <cstdint>
#include <cstring>

namespace inspection {
namespace {

constexpr std::uint32_t kMsftMagic = 0x5446534D;  // "MSFT"
constexpr std::uint32_t kSltgMagic = 0x47544C53;  // "SLTG"
constexpr std::uint32_t kMsftVersion = 0x00010002;
constexpr std::size_t kHeaderBytes = 0x54;
constexpr std::uint32_t kHelpDllFlag = 0x100;  // a help-string DLL's offset follows the header
constexpr std::size_t kSegments = 15;
constexpr std::size_t kSegmentBytes = 16;
constexpr std::size_t kTypeInfoBytes = 0x64;
constexpr std::int32_t kMostTypeInfos = 0x10000;
constexpr std::int32_t kTypeKinds = 8;  // TKIND_ENUM .. TKIND_UNION

// Where each segment stands in the directory.
enum Segment { kTypeInfoTable = 0, kGuidTable = 5, kNameTable = 7 };

// Offsets inside a type info's fixed part.
constexpr std::size_t kKindAt = 0x00, kMembersAt = 0x04, kCountsAt = 0x18, kGuidAt = 0x2C,
                      kNameAt = 0x34;

class Bytes {
 public:
  Bytes(const void* data, std::size_t size)
      : data_(static_cast<const unsigned char*>(data)), size_(size) {}
  std::size_t Size() const { return size_; }
  bool Holds(std::int64_t offset, std::int64_t length) const {
    return offset >= 0 && length >= 0 && static_cast<std::uint64_t>(offset) <= size_ &&
           static_cast<std::uint64_t>(length) <= size_ - static_cast<std::uint64_t>(offset);
  }
  // The caller has checked that the four bytes lie inside.
  std::int32_t Int(std::size_t offset) const {
    std::int32_t value;
    std::memcpy(&value, data_ + offset, sizeof value);
    return value;
  }

 private:
  const unsigned char* data_;
  std::size_t size_;
};

struct SegmentRange {
  std::int32_t offset, length;
  bool Present() const { return offset != -1; }
  bool Holds(std::int64_t at, std::int64_t bytes) const {
    return Present() && at >= 0 && bytes >= 0 && at + bytes <= length;
  }
};

std::wstring Damaged(const wchar_t* what) { return std::wstring(L"已损坏:") + what; }

std::wstring CheckTypeInfo(const Bytes& bytes, std::size_t at, const SegmentRange* segments) {
  const std::int32_t kind = bytes.Int(at + kKindAt) & 0xF;
  if (kind >= kTypeKinds) return Damaged(L"类型信息的种类无效");
  const std::int32_t name = bytes.Int(at + kNameAt);
  // A name: hash links, then its length in the low byte, then its characters.
  const SegmentRange& names = segments[kNameTable];
  if (!names.Holds(name, 12) ||
      !names.Holds(name,
                   12 + (bytes.Int(static_cast<std::size_t>(names.offset + name) + 8) & 0xFF))) {
    return Damaged(L"类型名称超出名称表");
  }
  const std::int32_t guid = bytes.Int(at + kGuidAt);
  if (guid != -1 && !segments[kGuidTable].Holds(guid, 16))
    return Damaged(L"类型的 GUID 超出 GUID 表");
  const std::int32_t counts = bytes.Int(at + kCountsAt);
  const std::int64_t members = (counts & 0xFFFF) + ((counts >> 16) & 0xFFFF);
  if (members == 0) return {};
  // The member records: their total length, the records, then three arrays
  // (ids, names, offsets) of one entry per member.
  const std::int32_t records = bytes.Int(at + kMembersAt);
  if (!bytes.Holds(records, 4)) return Damaged(L"成员记录超出文件");
  const std::int32_t recordBytes = bytes.Int(static_cast<std::size_t>(records));
  if (!bytes.Holds(static_cast<std::int64_t>(records) + 4,
                   static_cast<std::int64_t>(recordBytes) + members * 3 * 4)) {
    return Damaged(L"成员记录超出文件");
  }
  // Each record starts with its own length, in the low word.
  std::int64_t walked = 0;
  for (std::int64_t i = 0; i < members; ++i) {
    if (walked + 4 > recordBytes) return Damaged(L"成员记录的长度不一致");
    const std::int32_t length = bytes.Int(static_cast<std::size_t>(records + 4 + walked)) & 0xFFFF;
    if (length < 4) return Damaged(L"成员记录的长度不一致");
    walked += length;
  }
  if (walked > recordBytes) return Damaged(L"成员记录的长度不一致");
  return {};
}

}  // namespace

std::wstring CheckTypeLibraryBytes(const void* data, std::size_t size) {
  const Bytes bytes(data, size);
  if (!bytes.Holds(0, kHeaderBytes)) return Damaged(L"数据太短");
  const auto magic = static_cast<std::uint32_t>(bytes.Int(0));
  if (magic == kSltgMagic) return L"是不受支持的旧格式 (SLTG)";
  if (magic != kMsftMagic || static_cast<std::uint32_t>(bytes.Int(4)) != kMsftVersion) {
    return Damaged(L"不是类型库的格式");
  }
  const std::int32_t typeInfos = bytes.Int(0x20);
  if (typeInfos < 0 || typeInfos > kMostTypeInfos) return Damaged(L"类型信息的数目无效");
  const bool helpDll = static_cast<std::uint32_t>(bytes.Int(0x14)) & kHelpDllFlag;
  const std::int64_t offsets = kHeaderBytes + (helpDll ? 4 : 0);
  const std::int64_t directory = offsets + 4 * static_cast<std::int64_t>(typeInfos);
  if (!bytes.Holds(directory, kSegments * kSegmentBytes)) return Damaged(L"段目录超出数据");

  SegmentRange segments[kSegments];
  for (std::size_t i = 0; i < kSegments; ++i) {
    const auto at = static_cast<std::size_t>(directory) + i * kSegmentBytes;
    segments[i] = {bytes.Int(at), bytes.Int(at + 4)};
    if (segments[i].Present() && !bytes.Holds(segments[i].offset, segments[i].length)) {
      return Damaged(L"段超出数据");
    }
  }
  // A parser may find a type info through the offsets or by its place in
  // the table: both must lead to a sound one.
  const SegmentRange& table = segments[kTypeInfoTable];
  if (typeInfos > 0 && !table.Holds(0, typeInfos * static_cast<std::int64_t>(kTypeInfoBytes))) {
    return Damaged(L"类型信息超出类型信息表");
  }
  for (std::int32_t i = 0; i < typeInfos; ++i) {
    const std::int32_t offset =
        bytes.Int(static_cast<std::size_t>(offsets + 4 * static_cast<std::int64_t>(i)));
    if (!table.Holds(offset, kTypeInfoBytes)) return Damaged(L"类型信息超出类型信息表");
    for (const std::int64_t place :
         {static_cast<std::int64_t>(offset), i * static_cast<std::int64_t>(kTypeInfoBytes)}) {
      const std::wstring failure =
          CheckTypeInfo(bytes, static_cast<std::size_t>(table.offset + place), segments);
      if (!failure.empty()) return failure;
    }
  }
  return {};
}

}  // namespace inspection
