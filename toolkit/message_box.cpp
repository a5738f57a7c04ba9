#include "message_box.h"

namespace toolkit {

void MsgBox(HWND owner, const std::wstring& text, UINT icon, const std::wstring& title) {
  MessageBoxW(owner, text.c_str(), title.c_str(), MB_OK | icon);
}

}  // namespace toolkit
