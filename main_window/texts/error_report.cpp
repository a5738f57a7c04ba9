#include "error_report.h"

#include <cstdint>
#include <cwchar>
#include <exception>

#include "executable_name.h"
#include "raised_error.h"

namespace {

// The number shown for a failure that carries no number of its own.
constexpr std::int32_t kInternalError = 51;

// Long enough for any description worth reading; a longer one is cut.
constexpr std::size_t kTextLength = 1024;

void Show(HWND owner, std::int32_t number, const wchar_t* description) noexcept {
  wchar_t text[kTextLength];
  std::swprintf(text, kTextLength, L"运行时错误 '%d':\r\n\r\n%ls", static_cast<int>(number),
                description);
  text[kTextLength - 1] = L'\0';  // the standard leaves a cut text's end open
  wchar_t title[MAX_PATH] = L"Corvantis";
  try {
    lstrcpynW(title, toolkit::ExecutableBaseName().c_str(), MAX_PATH);
  } catch (...) {
    // Out of memory: the fixed title will do.
  }
  MessageBoxW(owner, text, title, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

void ReportCurrentException(HWND owner) noexcept {
  try {
    throw;
  } catch (const toolkit::RaisedError& error) {
    Show(owner, error.Number(), error.Description().c_str());
  } catch (const std::exception& error) {
    wchar_t what[kTextLength / 2] = L"";
    MultiByteToWideChar(CP_ACP, 0, error.what(), -1, what, kTextLength / 2 - 1);
    Show(owner, kInternalError, what);
  } catch (...) {
    Show(owner, kInternalError, L"Internal error");
  }
}
