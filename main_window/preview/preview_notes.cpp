#include "preview_notes.h"

#include <vector>

#include "capture_rows.h"
#include "reg_file.h"

namespace {

using Ostravel::Capture;
using Ostravel::CapturedKey;
using Ostravel::ShownName;

// Each kind of finding lists this many and then counts the rest, so that a
// server that writes thousands of them cannot push the others out of sight.
constexpr std::size_t kListed = 10;

class Notes {
 public:
  void Add(const std::wstring& line) { text_ += (text_.empty() ? L"" : L"\r\n") + line; }

  // A heading and its items, if there are any.
  void Add(const std::wstring& heading, const std::vector<std::wstring>& items) {
    if (items.empty()) return;
    Add(heading);
    for (std::size_t i = 0; i < items.size() && i < kListed; ++i) Add(L"    " + items[i]);
    if (items.size() > kListed) Add(L"    …… 共 " + std::to_wstring(items.size()) + L" 项");
  }

  const std::wstring& Text() const { return text_; }

 private:
  std::wstring text_;
};

std::wstring Shown(const Capture& capture, const CapturedKey& key) {
  return ShownName(Ostravel::KeyName(capture, key.root, key.path));
}

}  // namespace

std::wstring CleanupNote(LSTATUS cleanup) {
  return L"预览的私有键 HKEY_CURRENT_USER\\" + std::wstring(Ostravel::kPreviewsKey) +
         L" 没能完全删除 (" + ErrorText(static_cast<DWORD>(cleanup)) + L"),下次预览时会再试。";
}

std::wstring PreviewNotes(const Ostravel::TaskResult& preview) {
  const Capture& capture = preview.capture;
  Notes notes;
  const bool wide = preview.outcome.machine == Ostravel::Machine::X64 ||
                    (preview.outcome.machine == Ostravel::Machine::None && sizeof(void*) == 8);
  notes.Add(capture.wow64 ? L"注册表视图: 32 位 (WOW6432Node)。这是 64 位 Windows 上的 32 位服务器,"
                            L"列表和 .reg 文件给出它实际写入的位置。"
            : wide ? L"注册表视图: 64 位。"
                   : L"注册表视图: 32 位。");

  std::vector<std::wstring> out, in, unreadable, unsaved;
  for (const CapturedKey& key : capture.keys) {
    if (key.link) {
      (key.linkLeaves ? out : in).push_back(Shown(capture, key) + L" → " + ShownName(*key.link));
    }
    if (key.error != ERROR_SUCCESS) {
      unreadable.push_back(Shown(capture, key) + L" (" + ErrorText(static_cast<DWORD>(key.error)) +
                           L")");
    }
    if (!Ostravel::RegFileCarries(key.path)) {
      unsaved.push_back(Shown(capture, key));
      continue;
    }
    for (const Ostravel::CapturedValue& value : key.values) {
      if (!Ostravel::RegFileCarries(value.name)) {
        unsaved.push_back(Shown(capture, key) + L" 的值 " + ShownName(value.name));
      }
    }
  }
  notes.Add(L"服务器建立了指向捕获之外的注册表链接,经由它的写入会改变真实的注册表:", out);
  notes.Add(L"注册表链接 (只列出,不进入):", in);
  if (!out.empty() || !in.empty()) notes.Add(L".reg 文件无法表示注册表链接,另存时略去。");
  notes.Add(L"无法读取的键:", unreadable);
  if (capture.cut) {
    notes.Add(L"捕获不完整: 在 " +
              ShownName(Ostravel::KeyName(capture, capture.cut->root, capture.cut->path)) +
              L" 处超出" + BoundName(capture.cut->reason) + L"上限,其后的内容没有读取。");
  }
  notes.Add(L"名称含回车、换行或空字符,.reg 文件无法表示,另存时略去:", unsaved);
  if (preview.cleanup != ERROR_SUCCESS) notes.Add(CleanupNote(preview.cleanup));
  notes.Add(
      L"通过 RegOpenCurrentUser、RegOpenUserClassesRoot 或指明视图的访问 "
      L"(KEY_WOW64_32KEY、KEY_WOW64_64KEY) 打开的键不经过截获;这样的写入预览看不到。");
  return notes.Text();
}
