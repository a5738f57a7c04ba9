#include "capture_text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "owned_handle.h"

namespace Ostravel {
namespace {

constexpr wchar_t kDefaultName[] = L"(默认)";
constexpr wchar_t kValueNotSet[] = L"(数值未设置)";
constexpr wchar_t kZeroLengthBinary[] = L"(长度为零的二进制值)";

template <typename Number>
bool ReadNumber(const CapturedValue& value, Number& number) {
  if (value.data.size() != sizeof number) return false;
  std::memcpy(&number, value.data.data(), sizeof number);
  return true;
}

std::wstring Characters(const std::vector<BYTE>& data) {
  std::wstring text(data.size() / sizeof(wchar_t), L'\0');
  std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
  return text;
}

// A REG_SZ that a quoted .reg string gives back byte for byte: one NUL, at
// its end, and no line break that would end the .reg line.
bool IsPlainString(const CapturedValue& value) {
  if (value.type != REG_SZ || value.data.size() % 2 || value.data.size() < 2) return false;
  const std::wstring text = Characters(value.data);
  return text.find_first_of(L"\r\n") == std::wstring::npos && text.find(L'\0') == text.size() - 1;
}

std::wstring Quoted(const std::wstring& text) {
  std::wstring quoted = L"\"";
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

std::wstring Format(const wchar_t* format, auto... arguments) {
  wchar_t text[64];
  std::swprintf(text, 64, format, arguments...);
  return text;
}

// hex:01,02,... (or hex(N): for types other than REG_BINARY), folded as
// regedit folds it: a backslash ends a line that would pass 80 columns and
// the next one starts with two blanks.
std::wstring HexData(const CapturedValue& value, std::size_t column) {
  std::wstring text = value.type == REG_BINARY ? L"hex:" : Format(L"hex(%lx):", value.type);
  column += text.size();
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    if (i > 0) {
      text += L',';
      ++column;
      if (column + 3 > 79) {
        text += L"\\\r\n  ";
        column = 2;
      }
    }
    text += Format(L"%02x", value.data[i]);
    column += 2;
  }
  return text;
}

std::wstring RegFileValue(const CapturedValue& value) {
  std::wstring line = value.name.empty() ? L"@" : Quoted(value.name);
  line += L'=';
  DWORD number;
  if (IsPlainString(value)) {
    line += Quoted(Characters(value.data).substr(0, value.data.size() / 2 - 1));
  } else if (value.type == REG_DWORD && ReadNumber(value, number)) {
    line += Format(L"dword:%08x", number);
  } else {
    line += HexData(value, line.size());
  }
  return line + L"\r\n";
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

}  // namespace

std::wstring DataText(const CapturedValue& value) {
  DWORD dword;
  std::uint64_t qword;
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::wstring text = Characters(value.data);
      return text.substr(0, text.find(L'\0'));
    }
    case REG_MULTI_SZ: {
      // regedit lists the strings one after another, a blank between them.
      std::wstring text = Characters(value.data);
      while (!text.empty() && text.back() == L'\0') text.pop_back();
      for (wchar_t& c : text) {
        if (c == L'\0') c = L' ';
      }
      return text;
    }
    case REG_DWORD:
      if (ReadNumber(value, dword)) return Format(L"0x%08lx (%lu)", dword, dword);
      break;
    case REG_QWORD:
      if (ReadNumber(value, qword)) return Format(L"0x%016llx (%llu)", qword, qword);
      break;
  }
  if (value.data.empty()) return kZeroLengthBinary;
  std::wstring text;
  for (BYTE byte : value.data) text += (text.empty() ? L"" : L" ") + Format(L"%02x", byte);
  return text;
}

std::vector<Row> Rows(const Capture& capture) {
  std::vector<Row> rows;
  for (const CapturedKey& key : capture) {
    const std::wstring root = RootName(key.root);
    if (key.values.empty()) rows.push_back({root, key.path, kDefaultName, L"REG_SZ", kValueNotSet});
    for (const CapturedValue& value : key.values) {
      rows.push_back({root, key.path, value.name.empty() ? kDefaultName : value.name,
                      TypeName(value.type), DataText(value)});
    }
  }
  return rows;
}

std::wstring RegFileText(const Capture& capture) {
  std::wstring text = L"Windows Registry Editor Version 5.00\r\n\r\n";
  for (const CapturedKey& key : capture) {
    text += L"[" + std::wstring(RootName(key.root)) + (key.path.empty() ? L"" : L"\\") + key.path +
            L"]\r\n";
    for (const CapturedValue& value : key.values) text += RegFileValue(value);
    text += L"\r\n";
  }
  return text;
}

bool WriteRegFile(const std::wstring& path, const Capture& capture) {
  const std::wstring text = L"\xFEFF" + RegFileText(capture);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const toolkit::OwnedHandle closer(file);
  const DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  DWORD written = 0;
  return WriteFile(file, text.data(), size, &written, nullptr) && written == size;
}

}  // namespace Ostravel
