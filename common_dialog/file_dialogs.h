#pragma once
// The text helpers of the file dialogs: the filter list in the dialog's form,
// the pair of it that the user chose, and a dialog buffer cut at its first NUL.

#include <cstdint>
#include <string>
#include <vector>

namespace file_dialogs {

// "|" and ":" both separate description and pattern; the dialog wants a NUL
// after each part and a second NUL at the end.
std::wstring DialogFilter(const std::wstring& filter);

// The description/pattern pair at `index` (from 1) of a NUL-separated list,
// with the NUL between its halves; empty when there is no such pair.
std::wstring FilterByIndex(const std::wstring& filters, std::int32_t index);

// The text before the first NUL, or all of it.
std::wstring TrimAtNull(const std::wstring& text);

// The full paths an Explorer-style multiple selection stands for: the buffer
// holds the folder, then each name chosen in it, NUL-separated up to two NULs
// in a row; or, for one file, its full path.
std::vector<std::wstring> SelectedPaths(const std::wstring& buffer);

}  // namespace file_dialogs
