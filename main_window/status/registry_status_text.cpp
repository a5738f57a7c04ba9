#include "registry_status_text.h"

using namespace inspection;

namespace {

constexpr wchar_t kThisUserOnly[] = L"(仅当前用户的注册表项)";
constexpr wchar_t kBySearchPath[] = L"(只登记了文件名,取决于客户端的搜索路径)";

const wchar_t* ViewName(View view) { return view == View::Bits64 ? L"64 位" : L"32 位"; }

const wchar_t* FoundName(Found found) {
  switch (found) {
    case Found::ThisFile: return L"此文件";
    case Found::OtherFile: return L"另一个文件";
    case Found::Missing: return L"文件不存在";
    case Found::Unreadable: return L"值无法读取";
  }
  return L"";
}

std::wstring OtherFileText(const RegistrationStatus& status) {
  switch (status.otherFound) {
    case Found::Missing: return status.otherFile + L"(文件不存在)";
    case Found::Unreadable: return L"(值无法读取)";
    default: return status.otherFile;
  }
}

std::wstring VerdictText(const RegistrationStatus& status) {
  switch (status.verdict) {
    case Verdict::ThisFile: return L"已注册到此文件";
    case Verdict::OtherFile: return L"已注册到另一个文件:" + OtherFileText(status);
    case Verdict::Partial:
      return L"部分注册:" + std::to_wstring(status.total) + L" 项中的 " +
             std::to_wstring(status.registered) + L" 项";
    case Verdict::OtherViewOnly:
      return std::wstring(L"只在另一视图中注册") +
             (status.ownView == View::Bits64 ? L"(32 位)" : L"(64 位)");
    case Verdict::NotRegistered: return L"未注册";
    case Verdict::NoTypeLibrary: return L"无法判断:没有类型库";
    case Verdict::Unknown: return L"无法判断:" + status.reason;
  }
  return L"";
}

}  // namespace

std::wstring StatusLineText(const RegistrationStatus& status) {
  std::wstring text = VerdictText(status);
  const bool judged = status.verdict != Verdict::NotRegistered &&
                      status.verdict != Verdict::NoTypeLibrary &&
                      status.verdict != Verdict::Unknown;
  if (judged && status.bySearchPath && status.verdict != Verdict::OtherViewOnly) {
    text += kBySearchPath;
  }
  if (judged && status.thisUserOnly) text += kThisUserOnly;
  return text;
}

std::vector<std::vector<std::wstring>> StatusRows(const RegistrationStatus& status) {
  std::vector<std::vector<std::wstring>> rows;
  // The type library first: one row or two, which the classes would bury.
  for (const ItemKind kind : {ItemKind::TypeLibrary, ItemKind::Class}) {
    for (const Item& item : status.items) {
      if (item.kind != kind) continue;
      const wchar_t* kindName = kind == ItemKind::Class ? L"类" : L"类型库";
      if (!item.creatable) {
        rows.push_back({kindName, item.id, item.name, L"", L"", L"不可创建,无需注册", L""});
        continue;
      }
      if (item.registrations.empty()) {
        rows.push_back({kindName, item.id, item.name, L"", L"", L"未注册", L""});
      }
      for (const Registration& entry : item.registrations) {
        std::wstring verdict = FoundName(entry.found);
        if (entry.bySearchPath) verdict += L"(按搜索路径)";
        if (entry.view != status.ownView) verdict += L"(另一视图)";
        rows.push_back({kindName, item.id, item.name, ViewName(entry.view),
                        entry.scope == Scope::AllUsers ? L"所有用户" : L"当前用户", verdict,
                        entry.file});
      }
    }
  }
  return rows;
}
