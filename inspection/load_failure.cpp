#include "load_failure.h"

#include <memory>

#include <windows.h>

namespace inspection {
namespace {

using Ostravel::RegistrationResult;
using Kind = Finding::Kind;

constexpr std::uint32_t kDelayLoadModule =
    0xC06D007E;  // VcppException(ERROR_SEVERITY_ERROR, ERROR_MOD_NOT_FOUND)
constexpr std::uint32_t kDelayLoadFunction = 0xC06D007F;  // ... ERROR_PROC_NOT_FOUND

// "(importer 需要它)" for a direct need; a longer chain is shown whole, down
// to the missing module when there is one.
std::wstring Need(const std::vector<std::wstring>& chain, const std::wstring* missing = nullptr) {
  std::wstring text = L"(";
  for (std::size_t i = 0; i < chain.size(); ++i) text += (i ? L" → " : L"") + chain[i];
  if (missing && chain.size() > 1) return text + L" → " + *missing + L")";
  return text + L" 需要它)";
}

std::wstring FunctionText(const std::wstring& function) {
  return function.rfind(L"#", 0) == 0 ? L"序号为 " + function.substr(1) + L" 的函数"
                                      : L"函数 " + function;
}

const wchar_t* Bits(Ostravel::Machine machine) {
  return machine == Ostravel::Machine::X64 ? L"64" : L"32";
}
const wchar_t* OtherBits(Ostravel::Machine machine) {
  return machine == Ostravel::Machine::X64 ? L"32" : L"64";
}

std::wstring Line(const Finding& f, Ostravel::Machine machine) {
  switch (f.kind) {
    case Kind::MissingModule: return L"缺少 " + f.module + Need(f.chain, &f.module);
    case Kind::BrokenModule: return f.path + L" 不是有效的 DLL" + Need(f.chain, &f.module);
    case Kind::WrongBitness:
      return L"已跳过 " + f.path + L":这是" + OtherBits(machine) + L"位文件," +
             (f.chain.empty() ? std::wstring() : f.chain.back()) + L" 需要" + Bits(machine) +
             L"位的。";
    case Kind::MissingFunction:
      return f.module + L" 缺少" + FunctionText(f.function) + Need(f.chain);
    case Kind::MissingAssembly:
      return L"缺少并行程序集 " + f.module + L" " + f.version + Need(f.chain);
    case Kind::MissingDelayModule: return L"缺少延迟加载的 " + f.module + Need(f.chain, &f.module);
    case Kind::MissingDelayFunction:
      return f.module + L" 缺少延迟加载的" + FunctionText(f.function) + Need(f.chain);
  }
  return {};
}

bool IsDelayFinding(Kind kind) {
  return kind == Kind::MissingDelayModule || kind == Kind::MissingDelayFunction;
}

std::wstring Wide(const char* text) {
  return std::wstring(text, text + std::char_traits<char>::length(text));
}

// The lines that need no outcome, from a finished walk.
std::vector<std::wstring> StaticNotes(const Walk& walk, Ostravel::ServerTask task,
                                      bool sayMissingEntryPoint) {
  std::vector<std::wstring> notes;
  if (!walk.image) {
    notes.push_back(L"文件不是 PE 映像,不是 DLL 或 OCX 控件。");
    return notes;
  }
  const char* entry = Ostravel::EntryPointName(task);
  const bool exportsEntry = entry && walk.Exports(entry);
  if (walk.managed && !exportsEntry) {
    notes.push_back(L"这是 .NET 程序集:请用 .NET 的注册工具 RegAsm 注册它,不能用本工具。");
    return notes;
  }
  if (entry && !exportsEntry && sayMissingEntryPoint)
    notes.push_back(L"导出表里没有 " + Wide(entry) + L"。");
  for (const Finding& finding : walk.findings) {
    if (!IsDelayFinding(finding.kind)) notes.push_back(Line(finding, walk.machine));
  }
  return notes;
}

}  // namespace

std::vector<std::wstring> ExplainLoadFailure(const Walk& walk, Ostravel::ServerTask task,
                                             const Ostravel::RegistrationOutcome& outcome) {
  if (outcome.Succeeded() || outcome.result == RegistrationResult::NothingDone ||
      outcome.result == RegistrationResult::TimedOut) {
    return {};
  }
  if (outcome.result == RegistrationResult::NotLoadable &&
      outcome.machine != Ostravel::Machine::None && outcome.machine != Ostravel::kOwnMachine) {
    return {};
  }
  if (!walk.readable) return {};
  if (walk.image && walk.machine != Ostravel::kOwnMachine)
    return {};  // not what this process's system would load
  std::vector<std::wstring> notes =
      StaticNotes(walk, task, outcome.result != RegistrationResult::NoEntryPoint);
  const bool delayFailure =
      outcome.result == RegistrationResult::EntryPointCrashed &&
      (outcome.detail == kDelayLoadModule || outcome.detail == kDelayLoadFunction);
  if (delayFailure) {
    for (const Finding& finding : walk.findings) {
      if (IsDelayFinding(finding.kind)) notes.push_back(Line(finding, walk.machine));
    }
  }
  if (notes.empty() && (outcome.result == RegistrationResult::NotLoadable || delayFailure)) {
    notes.push_back(
        L"文件本身没有发现缺少的 DLL 或函数:原因在加载时才出现,例如 DllMain 返回失败(错误 1114)。");
  }
  return notes;
}

std::optional<Ostravel::RegistrationOutcome> OutcomeBeforeLoad(const Walk& walk,
                                                               Ostravel::ServerTask task) {
  if (!walk.readable) return std::nullopt;
  if (!walk.image)
    return Ostravel::RegistrationOutcome{RegistrationResult::NotLoadable, ERROR_BAD_EXE_FORMAT};
  if (walk.machine != Ostravel::kOwnMachine) return std::nullopt;
  const char* entry = Ostravel::EntryPointName(task);
  if (entry && walk.Exports(entry)) return std::nullopt;
  return Ostravel::RegistrationOutcome{RegistrationResult::NoEntryPoint};
}

std::vector<std::wstring> ExplainLoadFailure(const std::wstring& path, Ostravel::ServerTask task,
                                             const Ostravel::RegistrationOutcome& outcome,
                                             const SearchPlaces& places) {
  return ExplainLoadFailure(WalkDependencies(path, places), task, outcome);
}

std::optional<Ostravel::RegistrationOutcome> OutcomeBeforeLoad(const std::wstring& path,
                                                               Ostravel::ServerTask task) {
  // Only the server itself matters here: a walk limited to it.
  WalkLimits serverOnly;
  serverOnly.depth = 0;
  return OutcomeBeforeLoad(WalkDependencies(path, SearchPlaces{}, serverOnly), task);
}

Ostravel::FileInspection InspectBeforeLoad(const std::wstring& path, Ostravel::ServerTask task) {
  auto walk = std::make_shared<const Walk>(WalkDependencies(path, SearchPlaces::OfThisProcess()));
  return {OutcomeBeforeLoad(*walk, task),
          [walk, task](const Ostravel::RegistrationOutcome& outcome) {
            return ExplainLoadFailure(*walk, task, outcome);
          }};
}

}  // namespace inspection
