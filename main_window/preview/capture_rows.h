#pragma once
// A capture as the preview's list shows it, as regedit lists keys and values:
// root, key, value name, type name, data. Rows are made as they are shown, so
// that a capture of any size opens at once; long data is shortened and names
// show a CR, LF or NUL they hold as a visible word.
#include <cstdint>
#include <string>
#include <vector>

#include "registry_capture.h"

// The data as regedit's list shows it: text, "0x0000002a (42)", hex bytes;
// at most kShownDataChars characters and a word on what was left out.
inline constexpr std::size_t kShownDataChars = 512;
std::wstring DataText(const Ostravel::CapturedValue& value);

// "错误 5: " and the system's text for a Win32 error.
std::wstring ErrorText(DWORD error);

// "层数", "键数" or "字节数": the bound that cut a capture.
const wchar_t* BoundName(Ostravel::CaptureCut::Reason reason);

enum RowColumn { kRowRoot, kRowKey, kRowName, kRowType, kRowData, kRowColumns };

// One row per value; one for each key without values, as regedit shows such a
// key (its default value unset), or that could not be read; and one where the
// capture was cut.
struct ListRow {
  std::uint32_t key;    // index in the capture's keys; past them for the cut
  std::uint32_t value;  // index in the key's values, or kNoValue
};
inline constexpr std::uint32_t kNoValue = 0xFFFFFFFF;

std::vector<ListRow> ListRows(const Ostravel::Capture& capture);
std::wstring CellText(const Ostravel::Capture& capture, ListRow row, int column);
