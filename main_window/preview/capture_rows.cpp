#include "capture_rows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "reg_file.h"
#include "system_message.h"

namespace {

using Ostravel::CapturedKey;
using Ostravel::CapturedValue;
using Ostravel::ShownName;

constexpr wchar_t kDefaultName[] = L"(默认)";
constexpr wchar_t kValueNotSet[] = L"(数值未设置)";
constexpr wchar_t kZeroLengthBinary[] = L"(长度为零的二进制值)";

template <typename Number>
bool ReadNumber(const CapturedValue& value, Number& number) {
  if (value.data.size() != sizeof number) return false;
  std::memcpy(&number, value.data.data(), sizeof number);
  return true;
}

// At most `count` characters of the data, so that a large value costs no more
// than what is shown.
std::wstring Characters(const std::vector<BYTE>& data, std::size_t count) {
  std::wstring text(std::min(count, data.size() / sizeof(wchar_t)), L'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  return text;
}

std::wstring Format(const wchar_t* format, auto... arguments) {
  wchar_t text[128];
  std::swprintf(text, 128, format, arguments...);
  return text;
}

// REG_SZ, REG_DWORD, ... as regedit names the type.
std::wstring TypeName(DWORD type) {
  switch (type) {
    case REG_NONE: return L"REG_NONE";
    case REG_SZ: return L"REG_SZ";
    case REG_EXPAND_SZ: return L"REG_EXPAND_SZ";
    case REG_BINARY: return L"REG_BINARY";
    case REG_DWORD: return L"REG_DWORD";
    case REG_DWORD_BIG_ENDIAN: return L"REG_DWORD_BIG_ENDIAN";
    case REG_LINK: return L"REG_LINK";
    case REG_MULTI_SZ: return L"REG_MULTI_SZ";
    case REG_RESOURCE_LIST: return L"REG_RESOURCE_LIST";
    case REG_FULL_RESOURCE_DESCRIPTOR: return L"REG_FULL_RESOURCE_DESCRIPTOR";
    case REG_RESOURCE_REQUIREMENTS_LIST: return L"REG_RESOURCE_REQUIREMENTS_LIST";
    case REG_QWORD: return L"REG_QWORD";
  }
  return Format(L"0x%08lX", type);
}

// The first kShownDataChars characters of a longer text, and the whole size.
std::wstring Shortened(std::wstring text, std::size_t bytes) {
  text.resize(std::min(text.size(), kShownDataChars));
  return text + Format(L"… (共 %zu 字节)", bytes);
}

}  // namespace

const wchar_t* BoundName(Ostravel::CaptureCut::Reason reason) {
  switch (reason) {
    case Ostravel::CaptureCut::Reason::Depth: return L"层数";
    case Ostravel::CaptureCut::Reason::Keys: return L"键数";
    case Ostravel::CaptureCut::Reason::Bytes: return L"字节数";
  }
  return L"";
}

namespace {

// The key's path in the capture's view, below its root.
std::wstring ShownPath(const Ostravel::Capture& capture, Ostravel::RegistryRoot root,
                       const std::wstring& path) {
  const std::wstring name = Ostravel::KeyName(capture, root, path);
  const std::size_t rootLength = std::wcslen(Ostravel::RootName(root));
  return ShownName(name.size() > rootLength ? name.substr(rootLength + 1) : L"");
}

}  // namespace

std::wstring DataText(const CapturedValue& value) {
  const std::size_t bytes = value.data.size();
  const bool longer = bytes / sizeof(wchar_t) > kShownDataChars;
  DWORD dword;
  std::uint64_t qword;
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_LINK: {
      const std::wstring text = Characters(value.data, kShownDataChars + 1);
      const std::size_t end = text.find(L'\0');
      if (end != std::wstring::npos) return ShownName(text.substr(0, end));
      return longer ? Shortened(ShownName(text), bytes) : ShownName(text);
    }
    case REG_MULTI_SZ: {
      // regedit lists the strings one after another, a blank between them.
      std::wstring text = Characters(value.data, kShownDataChars + 1);
      while (!longer && !text.empty() && text.back() == L'\0') text.pop_back();
      for (wchar_t& c : text) {
        if (c == L'\0') c = L' ';
      }
      return longer ? Shortened(ShownName(text), bytes) : ShownName(text);
    }
    case REG_DWORD:
      if (ReadNumber(value, dword)) return Format(L"0x%08lx (%lu)", dword, dword);
      break;
    case REG_QWORD:
      if (ReadNumber(value, qword)) return Format(L"0x%016llx (%llu)", qword, qword);
      break;
  }
  if (value.data.empty()) return kZeroLengthBinary;
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  std::size_t i = 0;
  for (; i < bytes && text.size() < kShownDataChars; ++i) {
    if (i > 0) text += L' ';
    text += kDigits[value.data[i] >> 4];
    text += kDigits[value.data[i] & 15];
  }
  return i < bytes ? Shortened(text, bytes) : text;
}

std::wstring ErrorText(DWORD error) {
  const std::wstring message = toolkit::SystemMessage(error);
  return Format(L"错误 %lu", static_cast<unsigned long>(error)) +
         (message.empty() ? L"" : L": " + message);
}

std::vector<ListRow> ListRows(const Ostravel::Capture& capture) {
  std::vector<ListRow> rows;
  for (std::uint32_t k = 0; k < capture.keys.size(); ++k) {
    const CapturedKey& key = capture.keys[k];
    if (key.values.empty() || key.error != ERROR_SUCCESS) rows.push_back({k, kNoValue});
    for (std::uint32_t v = 0; v < key.values.size(); ++v) rows.push_back({k, v});
  }
  if (capture.cut) rows.push_back({static_cast<std::uint32_t>(capture.keys.size()), kNoValue});
  return rows;
}

std::wstring CellText(const Ostravel::Capture& capture, ListRow row, int column) {
  if (row.key >= capture.keys.size()) {
    if (!capture.cut) return L"";
    switch (column) {
      case kRowRoot: return Ostravel::RootName(capture.cut->root);
      case kRowKey: return ShownPath(capture, capture.cut->root, capture.cut->path);
      case kRowData:
        return std::wstring(L"捕获在此截断: 超出") + BoundName(capture.cut->reason) +
               L"上限,其后的内容没有读取";
    }
    return L"";
  }
  const CapturedKey& key = capture.keys[row.key];
  switch (column) {
    case kRowRoot: return Ostravel::RootName(key.root);
    case kRowKey: return ShownPath(capture, key.root, key.path);
  }
  if (row.value == kNoValue) {
    if (key.error != ERROR_SUCCESS) {
      return column == kRowData ? L"无法读取: " + ErrorText(static_cast<DWORD>(key.error)) : L"";
    }
    switch (column) {
      case kRowName: return kDefaultName;
      case kRowType: return L"REG_SZ";
      case kRowData: return kValueNotSet;
    }
    return L"";
  }
  const CapturedValue& value = key.values[row.value];
  switch (column) {
    case kRowName: return value.name.empty() ? kDefaultName : ShownName(value.name);
    case kRowType: return TypeName(value.type);
    case kRowData:
      if (key.link && value.type == REG_LINK && value.name == Ostravel::kSymbolicLinkValue) {
        return ShownName(*key.link) +
               (key.linkLeaves ? L" (链接,指向捕获之外,未进入)" : L" (链接,未进入)");
      }
      return DataText(value);
  }
  return L"";
}
