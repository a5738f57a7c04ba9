#include "registration_report.h"

#include <cstdio>
#include <memory>

#include <windows.h>

#include "load_failure.h"

namespace {

using Ostravel::RegistrationResult;

const std::wstring kFailure = L"不能打开注册的DLL或OCX控件!";

std::wstring Hex(std::uint32_t value) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08X", value);
  return text;
}

// The system's text for an error or HRESULT, on one line. Inserts such as %1
// name the file.
std::wstring SystemText(std::uint32_t code, const std::wstring& path) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const std::unique_ptr<wchar_t, decltype(&LocalFree)> owner(buffer, LocalFree);
  std::wstring text(buffer ? buffer : L"", length);
  for (auto& c : text) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  while (!text.empty() && text.back() == L' ') text.pop_back();
  const auto insert = text.find(L"%1");
  if (insert != std::wstring::npos) {
    text.replace(insert, 2, path.substr(path.find_last_of(L'\\') + 1));
  }
  return text;
}

// "what: system text", or "what。" when the system has no text for the code.
std::wstring Explained(const std::wstring& what, std::uint32_t code, const std::wstring& path) {
  const std::wstring text = SystemText(code, path);
  return text.empty() ? what + L"。" : what + L": " + text;
}

// The two builds of the tool, one per machine; a server loads only into the
// one of its own machine.
struct Tool {
  Ostravel::Machine machine;
  const wchar_t* bits;
  const wchar_t* file;
};
constexpr Tool kTools[] = {{Ostravel::Machine::X86, L"32", L"Corvantis.exe"},
                           {Ostravel::Machine::X64, L"64", L"Corvantis64.exe"}};

const Tool& OwnTool() {
  return kTools[0].machine == Ostravel::kOwnMachine ? kTools[0] : kTools[1];
}

// The other tool, when it is the one that can load a file of `machine`.
const Tool* OtherTool(Ostravel::Machine machine) {
  for (const Tool& tool : kTools) {
    if (tool.machine == machine && machine != Ostravel::kOwnMachine) return &tool;
  }
  return nullptr;
}

std::wstring Reason(const std::wstring& path, std::int32_t mode,
                    const Ostravel::RegistrationOutcome& outcome) {
  switch (outcome.result) {
    case RegistrationResult::NotLoadable:
      if (const Tool* other = OtherTool(outcome.machine)) {
        return L"这是" + std::wstring(other->bits) + L"位文件,本工具是" + OwnTool().bits +
               L"位程序,无法加载它。请改用 " + other->file + L"。";
      }
      return Explained(L"文件无法加载(错误 " + std::to_wstring(outcome.detail) + L")", outcome.detail,
                       path);
    case RegistrationResult::NoEntryPoint:
      return L"文件没有 " + EntryPointText(mode) + L" 入口点。";
    case RegistrationResult::TimedOut:
      return L"入口点 " + EntryPointText(mode) + L" 在10秒内没有完成。";
    case RegistrationResult::EntryPointFailed: {
      std::wstring line = Explained(L"入口点 " + EntryPointText(mode) + L" 报告失败 " + Hex(outcome.detail),
                                    outcome.detail, path);
      if (outcome.detail == static_cast<std::uint32_t>(E_ACCESSDENIED)) {
        line += L" 注册可能需要管理员权限。";
      }
      return line;
    }
    case RegistrationResult::EntryPointCrashed:
      return L"入口点 " + EntryPointText(mode) + L" 崩溃了,异常代码 " + Hex(outcome.detail) + L"。";
    case RegistrationResult::NothingDone:
    case RegistrationResult::Registered:
    case RegistrationResult::Unregistered:
      break;
  }
  return L"无法启动注册线程。";
}

}  // namespace

std::wstring EntryPointText(std::int32_t mode) {
  const char* name = Ostravel::EntryPointName(mode);
  return name ? std::wstring(name, name + std::char_traits<char>::length(name)) : L"注册";
}

ReportLine RegistrationReportLine(const std::wstring& path, std::int32_t mode,
                                  const Ostravel::RegistrationOutcome& outcome) {
  switch (outcome.result) {
    case RegistrationResult::Registered: return {L"文件注册成功!", L""};
    case RegistrationResult::Unregistered: return {L"文件反注册成功!", L""};
    default: break;
  }
  std::wstring reason = Reason(path, mode, outcome);
  // The one place the files are read for the cause; it belongs where the
  // server's bitness sees the system, and moves there with the call.
  for (const std::wstring& note : Inspection::ExplainLoadFailure(path, mode, outcome)) {
    reason += L"\r\n" + note;
  }
  return {kFailure, reason};
}

std::wstring RegistrationReport(const std::wstring& path, std::int32_t mode,
                                const Ostravel::RegistrationOutcome& outcome) {
  const ReportLine line = RegistrationReportLine(path, mode, outcome);
  return line.reason.empty() ? line.outcome : line.outcome + path + L"\r\n" + line.reason;
}

std::wstring FolderPathReport(const std::wstring& path) {
  return kFailure + path + L"\r\n路径是一个文件夹,不是文件。";
}

// What registering a file that is not there would say: the loader's own
// words for a missing file.
std::wstring MissingPathReport(const std::wstring& path) {
  const Ostravel::RegistrationOutcome missing{RegistrationResult::NotLoadable, ERROR_FILE_NOT_FOUND,
                                              Ostravel::Machine::None};
  return RegistrationReport(path, static_cast<std::int32_t>(Ostravel::RegistrationMode::Register),
                            missing);
}
