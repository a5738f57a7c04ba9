#include "error_report.h"

std::wstring ErrorReport(std::int32_t number, const std::wstring& description) {
  return L"运行时错误 '" + std::to_wstring(number) + L"':\r\n\r\n" + description;
}
