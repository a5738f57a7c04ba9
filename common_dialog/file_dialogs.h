#pragma once
// The text helpers of the file dialogs: the filter list in the dialog's form,
// the pair of it that the user chose, and a dialog buffer cut at its first NUL.

#include <cstdint>
#include <string>

namespace file_dialogs {

// "|" and ":" both separate description and pattern; the dialog wants a NUL
// after each part and a second NUL at the end.
std::wstring DialogFilter(const std::wstring& filter);

// The description/pattern pair at `index` (from 1) of a NUL-separated list,
// with the NUL between its halves; empty when there is no such pair.
std::wstring FilterByIndex(const std::wstring& filters, std::int32_t index);

// The text before the first NUL, or all of it.
std::wstring TrimAtNull(const std::wstring& text);

// The text before the first two NULs in a row, or all of it: a multiple
// selection, whose parts are NUL-separated.
std::wstring TrimAtDoubleNull(const std::wstring& text);

}  // namespace file_dialogs
