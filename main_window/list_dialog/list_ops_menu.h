#pragma once
// mnuListOps, the list-operations menu: Select All, Select None, a separator
// and Refresh, built in this one place for every window that has it. The
// caller owns the menu bar it gets (one item, "mnu", opening the list) and
// may hand it to a toolkit::OwnedMenu.
#include <windows.h>

// Clear of IDOK, IDCANCEL and the like, since a dialog gets these commands too.
enum ListOpsCommand : UINT {
  kMnuSelectAll = 301,
  kMnuSelectNone = 302,
  kMnuRefresh = 303,
};

HMENU BuildListOpsMenu();
