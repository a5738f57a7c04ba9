#pragma once
// The face name of the font dialog's LOGFONTW: a fixed array of LF_FACESIZE
// characters that holds the name and the NUL that ends it.

#include <string>

#include <windows.h>

namespace font_dialog {

// Copies as much of `text` as fits before the closing NUL and fills the rest
// with NULs; a cut never splits a surrogate pair.
void StoreTextInCharBuffer(WCHAR (&buffer)[LF_FACESIZE], const std::wstring& text);

// The name up to its first NUL, never read past the array.
std::wstring TextFromCharBuffer(const WCHAR (&buffer)[LF_FACESIZE]);

}  // namespace font_dialog
