#include "common_dialog.h"

std::wstring cCommonDialog::TrimAtNull(const std::wstring& text) {
  return text.substr(0, text.find(L'\0'));
}

std::wstring cCommonDialog::FilterByIndex(std::wstring filters, std::int32_t index) {
  // The list alternates description and pattern, each ended by a NUL; the pair
  // is returned with the NUL between its two halves.
  if (filters.empty() || index < 1) return {};
  std::size_t start = 0;
  for (std::int32_t countdown = index;; --countdown) {
    const std::size_t first = filters.find(L'\0', start);
    if (first == std::wstring::npos) return {};
    const std::size_t second = filters.find(L'\0', first + 1);
    if (countdown == 1) {
      const std::wstring pair =
          filters.substr(start, second == std::wstring::npos ? std::wstring::npos : second - start);
      // The double NUL that ends a dialog's list is no pair: an index one past
      // the last pair would otherwise come back as a lone NUL.
      return pair.find_first_not_of(L'\0') == std::wstring::npos ? std::wstring() : pair;
    }
    if (second == std::wstring::npos) return {};
    start = second + 1;
  }
}
