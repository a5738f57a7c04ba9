// File open, file save and file title. Open and save share one path: build the
// record, show the dialog, read the results back or reset them on cancel.

#include "common_dialog.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "caller_flags.h"
#include "file_dialogs.h"
#include "handle_values.h"
#include "raised_error.h"
#include "record_sizes.h"

namespace {

// Every text buffer handed to the dialog holds this many characters, but the
// file name's of a multiple selection, which holds a folder and every name
// chosen in it: as much as the dialog can return, so that choosing many files
// does not fail for want of room.
constexpr std::size_t kBufferLength = 260;
constexpr std::size_t kSelectionBufferLength = 32768;

// The text padded with NULs to the full buffer length.
std::wstring DialogBuffer(const std::wstring& text, std::size_t length = kBufferLength) {
  if (text.size() > kBufferLength) toolkit::Raise(toolkit::kInvalidArgument);
  std::wstring buffer = text;
  buffer.resize(length, L'\0');
  return buffer;
}

const wchar_t* NullIfEmpty(const std::wstring& text) {
  return text.empty() ? nullptr : text.c_str();
}

}  // namespace

namespace file_dialogs {

std::wstring DialogFilter(const std::wstring& filter) {
  std::wstring converted = filter;
  for (wchar_t& c : converted) {
    if (c == L'|' || c == L':') c = L'\0';
  }
  return converted + std::wstring(2, L'\0');
}

std::wstring FilterByIndex(const std::wstring& filters, std::int32_t index) {
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

std::wstring TrimAtNull(const std::wstring& text) { return text.substr(0, text.find(L'\0')); }

std::vector<std::wstring> SelectedPaths(const std::wstring& buffer) {
  std::vector<std::wstring> parts;
  for (std::size_t start = 0; start < buffer.size() && buffer[start] != L'\0';) {
    const std::size_t end = std::min(buffer.find(L'\0', start), buffer.size());
    parts.push_back(buffer.substr(start, end - start));
    start = end + 1;
  }
  if (parts.size() < 2) return parts;
  const std::wstring& folder = parts.front();
  const std::wstring separator = folder.empty() || folder.back() == L'\\' ? L"" : L"\\";
  std::vector<std::wstring> paths;
  for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + separator + parts[i]);
  return paths;
}

}  // namespace file_dialogs

template <class Args>
bool cCommonDialog::ShowFileDialog(Args& args, DWORD flags, decltype(&::GetOpenFileNameW) show,
                                   std::int32_t cancelledIndex) {
  LastAPIReturn = 0;
  LastExtendedError = 0;
  LastFileNames.clear();
  const DWORD passed = CallerFlags(args.flags, kFileHooksAndTemplates) | flags;
  const bool selection = passed & OFN_ALLOWMULTISELECT;
  // Only the Explorer-style dialog separates the chosen names with NULs; the
  // old one separates them with spaces, which long names hold themselves.
  const bool namesApart = selection && (passed & OFN_EXPLORER);
  std::wstring fileBuffer =
      DialogBuffer(args.FileName, selection ? kSelectionBufferLength : kBufferLength);
  std::wstring titleBuffer = DialogBuffer(args.FileTitle);
  const std::wstring filter = file_dialogs::DialogFilter(args.Filter);

  OPENFILENAMEW record{};
  record.lStructSize = record_sizes::kOpenFileName;
  record.hwndOwner = toolkit::OwnerWindow(args.Owner);
  record.lpstrFilter = filter.c_str();
  record.nFilterIndex = static_cast<DWORD>(args.FilterIndex);
  record.lpstrFile = fileBuffer.data();
  record.nMaxFile = static_cast<DWORD>(fileBuffer.size());
  record.lpstrFileTitle = titleBuffer.data();
  record.nMaxFileTitle = kBufferLength;
  record.lpstrInitialDir = NullIfEmpty(args.InitDir);
  record.lpstrTitle = NullIfEmpty(args.DlgTitle);
  record.Flags = passed;
  record.lpstrDefExt = NullIfEmpty(args.DefaultExt);

  LastAPIReturn = show(&record);
  if (LastAPIReturn == 1) {
    args.FileName = file_dialogs::TrimAtNull(fileBuffer);
    if (namesApart) LastFileNames = file_dialogs::SelectedPaths(fileBuffer);
    args.FileTitle = file_dialogs::TrimAtNull(titleBuffer);
    args.flags = static_cast<std::int32_t>(record.Flags);
    args.FilterIndex = static_cast<std::int32_t>(record.nFilterIndex);
    args.Filter = file_dialogs::FilterByIndex(filter, args.FilterIndex);
    return true;
  }
  LastExtendedError = static_cast<std::int32_t>(dialogs_.CommDlgExtendedError());
  args.FileName.clear();
  args.FileTitle.clear();
  args.flags = 0;
  args.FilterIndex = cancelledIndex;
  args.Filter.clear();
  return false;
}

bool cCommonDialog::VBGetOpenFileName(OpenFileNameArgs& args) {
  DWORD flags = 0;
  if (args.FileMustExist) flags |= OFN_FILEMUSTEXIST;
  if (args.MultiSelect) flags |= OFN_ALLOWMULTISELECT;
  if (args.ReadOnly) flags |= OFN_READONLY;
  if (args.HideReadOnly) flags |= OFN_HIDEREADONLY;
  if (!ShowFileDialog(args, flags, dialogs_.GetOpenFileName, -1)) return false;
  // The read-only answer only ever adds: a caller's true stands even when the
  // user cleared the box.
  if (args.flags & OFN_READONLY) args.ReadOnly = true;
  return true;
}

bool cCommonDialog::VBGetSaveFileName(SaveFileNameArgs& args) {
  DWORD flags = OFN_HIDEREADONLY;
  if (args.OverWritePrompt) flags |= OFN_OVERWRITEPROMPT;
  return ShowFileDialog(args, flags, dialogs_.GetSaveFileName, 0);
}

std::wstring cCommonDialog::VBGetFileTitle(const std::wstring& sFile) {
  std::wstring title(kBufferLength, L'\0');
  if (dialogs_.GetFileTitle(sFile.c_str(), title.data(), kBufferLength) != 0) return {};
  return file_dialogs::TrimAtNull(title);
}
