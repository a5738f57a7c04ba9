#include "local_time_text.h"

#include <windows.h>

namespace toolkit {

std::wstring LocalTimeText() {
  const int length = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, nullptr, 0);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length), L'\0');
  text.resize(static_cast<std::size_t>(
      GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, nullptr, nullptr, text.data(), length)));
  if (!text.empty()) text.pop_back();  // the terminating NUL the length counts
  return text;
}

}  // namespace toolkit
