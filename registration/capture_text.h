#pragma once
// A capture in the two forms people read it in: rows as regedit lists them
// (root, key, value name, type name, data) and a REGEDIT5 .reg file that
// regedit and `reg import` take back to the same keys and values.
#include <array>
#include <string>
#include <vector>

#include "registry_capture.h"

namespace Ostravel {

// The data as regedit's list shows it: text, "0x0000002a (42)", hex bytes.
std::wstring DataText(const CapturedValue& value);

enum RowColumn { kRowRoot, kRowKey, kRowName, kRowType, kRowData, kRowColumns };
using Row = std::array<std::wstring, kRowColumns>;

// One row per value, and one for each key without values, as regedit shows
// such a key: its default value unset.
std::vector<Row> Rows(const Capture& capture);

// The whole file: header, each key in brackets with its values, CR LF line ends.
std::wstring RegFileText(const Capture& capture);

// Writes RegFileText as UTF-16 LE with a byte-order mark, as regedit does.
// False if the file could not be written.
bool WriteRegFile(const std::wstring& path, const Capture& capture);

}  // namespace Ostravel
