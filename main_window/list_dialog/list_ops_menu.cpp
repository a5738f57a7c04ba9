#include "list_ops_menu.h"

HMENU BuildListOpsMenu() {
  HMENU items = CreatePopupMenu();
  AppendMenuW(items, MF_STRING, kMnuSelectAll, L"Select &All");    // mnuSelectAll
  AppendMenuW(items, MF_STRING, kMnuSelectNone, L"Select &None");  // mnuSelectNone
  AppendMenuW(items, MF_SEPARATOR, 0, nullptr);                    // sep1
  AppendMenuW(items, MF_STRING, kMnuRefresh, L"&Refresh");         // mnuRefresh
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(items), L"mnu");
  return bar;
}
