#include "registry_script.h"

#include <cwctype>

#include <windows.h>

namespace inspection {
namespace {

constexpr std::size_t kGuidChars = 38;  // {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}

bool IsGuidAt(const std::wstring& text, std::size_t at) {
  if (text.size() - at < kGuidChars || text[at] != L'{' || text[at + kGuidChars - 1] != L'}') {
    return false;
  }
  for (std::size_t i = 1; i < kGuidChars - 1; ++i) {
    const wchar_t c = text[at + i];
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash ? c != L'-' : !std::iswxdigit(c)) return false;
  }
  return true;
}

bool IsWordChar(wchar_t c) { return std::iswalnum(c) || c == L'_'; }

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// The text of "= s 'name'" right after `at`, if the script gives one there.
std::wstring NameAfter(const std::wstring& text, std::size_t at) {
  std::size_t i = text.find_first_not_of(L" \t", at);
  if (i == std::wstring::npos || text[i] != L'=') return {};
  i = text.find_first_not_of(L" \t", i + 1);
  if (i == std::wstring::npos || (text[i] != L's' && text[i] != L'S')) return {};
  i = text.find_first_not_of(L" \t", i + 1);
  if (i == std::wstring::npos || text[i] != L'\'') return {};
  const std::size_t end = text.find_first_of(L"'\r\n", i + 1);
  if (end == std::wstring::npos || text[end] != L'\'') return {};
  return text.substr(i + 1, end - i - 1);
}

}  // namespace

std::vector<ScriptClass> ScriptClasses(const std::wstring& text, std::size_t limit) {
  std::vector<ScriptClass> classes;
  int depth = 0;
  int classDepth = -1;     // the depth inside a CLSID block, while in one
  bool clsidWord = false;  // the last word was CLSID, so a block may follow
  std::size_t i = 0;
  while (i < text.size() && classes.size() < limit) {
    const wchar_t c = text[i];
    if (c == L'\'') {  // a quoted value: nothing inside counts
      const std::size_t end = text.find(L'\'', i + 1);
      i = end == std::wstring::npos ? text.size() : end + 1;
      clsidWord = false;
    } else if (IsGuidAt(text, i)) {
      if (depth == classDepth) {
        classes.push_back({Upper(text.substr(i, kGuidChars)), NameAfter(text, i + kGuidChars)});
      }
      i += kGuidChars;
      clsidWord = false;
    } else if (c == L'{') {
      ++depth;
      if (clsidWord) classDepth = depth;
      clsidWord = false;
      ++i;
    } else if (c == L'}') {
      if (depth == classDepth) classDepth = -1;
      if (depth > 0) --depth;
      clsidWord = false;
      ++i;
    } else if (IsWordChar(c)) {
      std::size_t end = i;
      while (end < text.size() && IsWordChar(text[end])) ++end;
      clsidWord = CompareStringOrdinal(text.c_str() + i, static_cast<int>(end - i), L"CLSID", 5,
                                       TRUE) == CSTR_EQUAL;
      i = end;
    } else {
      ++i;
    }
  }
  return classes;
}

std::wstring ScriptText(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  const bool bom = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  const bool wide = bom || (size >= 4 && bytes[1] == 0 && bytes[3] == 0);
  if (wide) {
    const std::size_t skip = bom ? 2 : 0;
    std::wstring text((size - skip) / sizeof(wchar_t), L'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
      text[i] = static_cast<wchar_t>(bytes[skip + 2 * i] | (bytes[skip + 2 * i + 1] << 8));
    }
    return text;
  }
  const int length = static_cast<int>(size);
  const auto* chars = reinterpret_cast<const char*>(bytes);
  std::wstring text(
      static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, chars, length, nullptr, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, chars, length, text.data(), static_cast<int>(text.size()));
  return text;
}

}  // namespace inspection
