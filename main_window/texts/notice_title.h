#pragma once
// The title of every notice the window and the preview's dialog show: an
// outcome, a refused path, a file that could not be written.
inline constexpr wchar_t kNoticeTitle[] = L"提示";
