#include "registration_report.h"

#include <cstdio>
#include <string_view>

#include <windows.h>

#include "file_name.h"
#include "system_message.h"
#include "tool_files.h"

namespace {

using Ostravel::ChildEnd;
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
  std::wstring text = toolkit::SystemMessage(code);
  for (auto& c : text) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  while (!text.empty() && text.back() == L' ') text.pop_back();
  const auto insert = text.find(L"%1");
  if (insert != std::wstring::npos) {
    text.replace(insert, 2, toolkit::FileNameOf(path));
  }
  return text;
}

// "what: system text", or "what。" when the system has no text for the code.
std::wstring Explained(const std::wstring& what, std::uint32_t code, const std::wstring& path) {
  const std::wstring text = SystemText(code, path);
  return text.empty() ? what + L"。" : what + L": " + text;
}

// The other tool, when it is the one that can load a file of `machine`.
const Ostravel::ToolFile* OtherTool(Ostravel::Machine machine) {
  return machine == Ostravel::kOwnMachine ? nullptr : Ostravel::ToolFor(machine);
}

std::wstring Reason(const std::wstring& path, Ostravel::ServerTask task,
                    const Ostravel::RegistrationOutcome& outcome) {
  switch (outcome.result) {
    case RegistrationResult::NotLoadable:
      if (const Ostravel::ToolFile* other = OtherTool(outcome.machine)) {
        return L"这是" + std::wstring(other->bits) + L"位文件,本工具是" +
               Ostravel::ToolFor(Ostravel::kOwnMachine)->bits + L"位程序,无法加载它。请改用 " +
               other->file + L"。";
      }
      return Explained(L"文件无法加载(错误 " + std::to_wstring(outcome.detail) + L")",
                       outcome.detail, path);
    case RegistrationResult::NoEntryPoint:
      return L"文件没有 " + EntryPointText(task) + L" 入口点。";
    case RegistrationResult::TimedOut:
      return L"入口点 " + EntryPointText(task) + L" 在10秒内没有完成。";
    case RegistrationResult::EntryPointFailed: {
      std::wstring line =
          Explained(L"入口点 " + EntryPointText(task) + L" 报告失败 " + Hex(outcome.detail),
                    outcome.detail, path);
      if (outcome.detail == static_cast<std::uint32_t>(E_ACCESSDENIED)) {
        line += L" 注册可能需要管理员权限。";
      }
      return line;
    }
    case RegistrationResult::EntryPointCrashed:
      return L"入口点 " + EntryPointText(task) + L" 崩溃了,异常代码 " + Hex(outcome.detail) + L"。";
    case RegistrationResult::NotAllApplied:
      return L"入口点 " + EntryPointText(task) +
             L" 成功了,但它写入的注册表项没有全部写入当前用户的注册表。";
    case RegistrationResult::NothingDone:
    case RegistrationResult::Registered:
    case RegistrationResult::Unregistered: break;
  }
  return L"无法启动注册线程。";
}

// Why a child that never handed back an outcome ended.
std::wstring ChildReason(Ostravel::ServerTask task, const Ostravel::ServerRun& run) {
  const std::wstring program(toolkit::FileNameOf(run.executable));
  switch (run.end) {
    case ChildEnd::NotStarted:
      if (run.endDetail == ERROR_CANCELLED) return L"管理员权限的请求被拒绝,文件的代码没有运行。";
      return Explained(L"无法启动 " + program + L"(错误 " + std::to_wstring(run.endDetail) + L")",
                       run.endDetail, run.executable);
    case ChildEnd::NoAnswer: return L"启动的 " + program + L" 没有应答,文件的代码没有运行。";
    case ChildEnd::EndedUnanswered:
      return L"启动的 " + program + L" 没有应答就结束了,退出代码 " + Hex(run.endDetail) +
             L",文件的代码没有运行。";
    case ChildEnd::OtherVersion:
      return L"启动的 " + program + L" 的版本(" + run.childVersion + L")与本工具的版本(" +
             Ostravel::kToolVersion + L")不同,文件的代码没有运行。请一起重新安装两个工具。";
    case ChildEnd::ExitedInLoad:
      return L"文件的 DllMain 结束了进程,退出代码 " + Hex(run.endDetail) + L"。";
    case ChildEnd::ExitedInCall:
      return L"入口点 " + EntryPointText(task) + L" 结束了进程,退出代码 " + Hex(run.endDetail) +
             L"。";
    case ChildEnd::LoadTimedOut: return L"文件的 DllMain 在10秒内没有返回。";
    case ChildEnd::Reported:
    case ChildEnd::CallTimedOut: break;
  }
  return {};
}

}  // namespace

std::wstring EntryPointText(Ostravel::ServerTask task) {
  const std::string_view name = Ostravel::EntryPointName(task);
  return std::wstring(name.begin(), name.end());
}

ReportLine RegistrationReportLine(const std::wstring& path, Ostravel::ServerTask task,
                                  const Ostravel::ServerRun& run,
                                  Ostravel::RegistrationScope scope) {
  const bool forUser = scope == Ostravel::RegistrationScope::CurrentUser;
  ReportLine line;
  if (run.end != ChildEnd::Reported && run.end != ChildEnd::CallTimedOut) {
    line = {kFailure, ChildReason(task, run), false};
  } else if (run.outcome.result == RegistrationResult::Registered) {
    line = {forUser ? L"已为当前用户注册" : L"文件注册成功!", L"", true};
  } else if (run.outcome.result == RegistrationResult::Unregistered) {
    line = {forUser ? L"已为当前用户反注册" : L"文件反注册成功!", L"", true};
  } else {
    line = {kFailure, Reason(path, task, run.outcome), false};
  }
  for (const std::wstring& note : run.notes) {
    line.reason += (line.reason.empty() ? L"" : L"\r\n") + note;
  }
  return line;
}

std::wstring RegistrationReport(const std::wstring& path, Ostravel::ServerTask task,
                                const Ostravel::ServerRun& run, Ostravel::RegistrationScope scope) {
  const ReportLine line = RegistrationReportLine(path, task, run, scope);
  if (!line.succeeded) return line.outcome + path + L"\r\n" + line.reason;
  return line.reason.empty() ? line.outcome : line.outcome + L"\r\n" + line.reason;
}

std::wstring RegistrationReport(const std::wstring& path, Ostravel::ServerTask task,
                                const Ostravel::RegistrationOutcome& outcome) {
  Ostravel::ServerRun run;
  run.outcome = outcome;
  return RegistrationReport(path, task, run);
}

bool LackedRights(const Ostravel::ServerRun& run) {
  // E_ACCESSDENIED is also ERROR_ACCESS_DENIED as an HRESULT.
  return run.end == ChildEnd::Reported &&
         run.outcome.result == RegistrationResult::EntryPointFailed &&
         (run.outcome.detail == static_cast<std::uint32_t>(E_ACCESSDENIED) ||
          run.outcome.detail == static_cast<std::uint32_t>(TYPE_E_REGISTRYACCESS));
}

std::wstring RetryQuestion(Ostravel::ServerTask task) {
  const std::wstring what = task == Ostravel::ServerTask::Unregister ? L"反注册" : L"注册";
  return L"是否重试?\r\n“是”: 只为当前用户" + what + L"(不需要管理员权限)\r\n“否”: 以管理员身份" +
         what + L"(全机范围)\r\n“取消”: 不重试";
}

std::wstring FolderPathReport(const std::wstring& path) {
  return kFailure + path + L"\r\n路径是一个文件夹,不是文件。";
}

std::wstring MissingPathReport(const std::wstring& path) {
  const Ostravel::RegistrationOutcome missing{RegistrationResult::NotLoadable, ERROR_FILE_NOT_FOUND,
                                              Ostravel::Machine::None};
  return RegistrationReport(path, Ostravel::ServerTask::Register, missing);
}
