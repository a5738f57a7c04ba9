#include "reg_file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>

#include "file_name.h"
#include "owned_handle.h"
#include "registry_view.h"

namespace Ostravel {
namespace {

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

// The text in pieces of bounded size, so that a large capture never needs its
// whole text (three characters a byte of binary data) in memory at once.
class Output {
 public:
  explicit Output(std::function<bool(const std::wstring&)> sink) : sink_(std::move(sink)) {}
  Output& operator<<(const std::wstring& text) {
    text_ += text;
    if (text_.size() >= 1 << 16) Flush();
    return *this;
  }
  bool Flush() {
    ok_ = ok_ && sink_(text_);
    text_.clear();
    return ok_;
  }

 private:
  std::function<bool(const std::wstring&)> sink_;
  std::wstring text_;
  bool ok_ = true;
};

// hex:01,02,... (or hex(N): for types other than REG_BINARY), folded as
// regedit folds it: a backslash ends a line that would pass 80 columns and
// the next one starts with two blanks.
void HexData(Output& out, const CapturedValue& value, std::size_t column) {
  std::wstring text = value.type == REG_BINARY ? L"hex:" : Format(L"hex(%lx):", value.type);
  column += text.size();
  for (std::size_t i = 0; i < value.data.size(); ++i) {
    if (i > 0) {
      text += L',';
      ++column;
      if (column + 3 > 79) {
        text += L"\\\r\n  ";
        column = 2;
        out << text;
        text.clear();
      }
    }
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    text += kDigits[value.data[i] >> 4];
    text += kDigits[value.data[i] & 15];
    column += 2;
  }
  out << text;
}

void Value(Output& out, const CapturedValue& value) {
  if (!RegFileCarries(value.name)) {
    out << L"; 略去名称含回车、换行或空字符的值: " + Quoted(ShownName(value.name)) + L"\r\n";
    return;
  }
  std::wstring line = value.name.empty() ? L"@" : Quoted(value.name);
  line += L'=';
  DWORD number;
  if (IsPlainString(value)) {
    out << line + Quoted(Characters(value.data).substr(0, value.data.size() / 2 - 1));
  } else if (value.type == REG_DWORD && value.data.size() == sizeof number) {
    std::memcpy(&number, value.data.data(), sizeof number);
    out << line + Format(L"dword:%08x", number);
  } else {
    out << line;
    HexData(out, value, line.size());
  }
  out << L"\r\n";
}

void Key(Output& out, const Capture& capture, const CapturedKey& key) {
  const std::wstring name = KeyName(capture, key.root, key.path);
  if (key.error != ERROR_SUCCESS) {
    out << Format(L"; 无法读取 (错误 %lu): ", static_cast<unsigned long>(key.error)) +
               ShownName(name) + L"\r\n";
    if (key.values.empty()) {
      out << L"\r\n";
      return;
    }
  }
  if (!RegFileCarries(key.path)) {
    out << L"; 略去名称含回车、换行或空字符的键: " + ShownName(name) + L"\r\n\r\n";
    return;
  }
  if (key.link) {
    out << L"; 符号链接,.reg 文件无法表示: " + ShownName(name) + L" -> " + ShownName(*key.link) +
               L"\r\n\r\n";
    return;
  }
  out << L"[" + name + L"]\r\n";
  for (const CapturedValue& value : key.values) Value(out, value);
  out << L"\r\n";
}

void Write(Output& out, const Capture& capture) {
  out << L"Windows Registry Editor Version 5.00\r\n\r\n";
  for (const CapturedKey& key : capture.keys) Key(out, capture, key);
  if (capture.cut) {
    const wchar_t* bound = capture.cut->reason == CaptureCut::Reason::Depth  ? L"层数"
                           : capture.cut->reason == CaptureCut::Reason::Keys ? L"键数"
                                                                             : L"字节数";
    out << L"; 捕获在此截断: " + ShownName(KeyName(capture, capture.cut->root, capture.cut->path)) +
               L" 处超出" + bound + L"上限,其后的内容没有读取。\r\n";
  }
}

// A file that is deleted unless kept.
class TempFile {
 public:
  explicit TempFile(const std::wstring& beside) {
    std::wstring folder(toolkit::FolderOf(beside));
    if (folder.empty()) folder = L".";
    wchar_t name[MAX_PATH];
    if (GetTempFileNameW(folder.c_str(), L"reg", 0, name)) path_ = name;
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
  }
  const std::wstring& Path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::wstring path_;
};

}  // namespace

std::wstring ShownName(const std::wstring& name) {
  std::wstring text;
  text.reserve(name.size());
  for (wchar_t c : name) {
    if (c == L'\r' || c == L'\n' || c == L'\0') {
      text += c == L'\r' ? L"<CR>" : c == L'\n' ? L"<LF>" : L"<NUL>";
    } else {
      text += c;
    }
  }
  return text;
}

bool RegFileCarries(const std::wstring& name) {
  return name.find_first_of(std::wstring(L"\r\n\0", 3)) == std::wstring::npos;
}

std::wstring KeyName(const Capture& capture, RegistryRoot root, const std::wstring& path) {
  const std::wstring inView = capture.wow64 ? Wow64Path(root, path) : path;
  return std::wstring(RootName(root)) + (inView.empty() ? L"" : L"\\") + inView;
}

std::wstring RegFileText(const Capture& capture) {
  std::wstring text;
  Output out([&](const std::wstring& piece) {
    text += piece;
    return true;
  });
  Write(out, capture);
  out.Flush();
  return text;
}

DWORD WriteRegFile(const std::wstring& path, const Capture& capture) {
  TempFile temp(path);
  if (temp.Path().empty()) return GetLastError();
  DWORD error = ERROR_SUCCESS;
  {
    const toolkit::OwnedHandle file =
        toolkit::OwnFile(CreateFileW(temp.Path().c_str(), GENERIC_WRITE, 0, nullptr,
                                     TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return GetLastError();
    Output out([&](const std::wstring& piece) {
      const DWORD size = static_cast<DWORD>(piece.size() * sizeof(wchar_t));
      DWORD written = 0;
      if (WriteFile(file.get(), piece.data(), size, &written, nullptr) && written == size) {
        return true;
      }
      error = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
      return false;
    });
    out << L"\xFEFF";
    Write(out, capture);
    if (!out.Flush() || !FlushFileBuffers(file.get())) {
      return error != ERROR_SUCCESS ? error : GetLastError();
    }
  }
  if (!MoveFileExW(temp.Path().c_str(), path.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return GetLastError();
  }
  temp.Keep();
  return ERROR_SUCCESS;
}

}  // namespace Ostravel
