// The preview's dialog, shown for real and driven from a second thread: the
// list, the list-operations commands, Ctrl+C as typed, the save dialog, and
// the registration's message for a failed preview.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <windows.h>
#include <commctrl.h>

#include "capture_text.h"
#include "dialog_driver.h"
#include "list_dialog_driver.h"
#include "list_ops_menu.h"
#include "preview_dialog.h"
#include "preview_samples.h"
#include "test_files.h"

using namespace Ostravel;
using namespace std::chrono_literals;
using dialog_driver::WaitUntil;
using list_dialog_driver::ClipboardText;
using list_dialog_driver::TypeCtrlC;
using list_dialog_driver::WaitForOtherDialog;

namespace {

constexpr wchar_t kServer[] = L"C:\\servers\\控件.ocx";

int SelectedCount(HWND list) {
  return static_cast<int>(SendMessageW(list, LVM_GETSELECTEDCOUNT, 0, 0));
}

}  // namespace

TEST(PreviewDialog, ListsCopiesSavesAndEndsForARefresh) {
  test_files::TempFolder dir;
  const std::wstring saved = dir.File(L"saved.reg");
  int listed = -1, allSelected = -1, noneSelected = -1;
  std::wstring caption, copied;

  dialog_driver::Driver driver([&](HWND dialog) {
    HWND list = GetDlgItem(dialog, kPreviewList);
    caption = dialog_driver::WindowText(dialog);
    listed = ListView_GetItemCount(list);

    SendMessageW(dialog, WM_COMMAND, kMnuSelectAll, 0);
    allSelected = SelectedCount(list);
    SendMessageW(dialog, WM_COMMAND, kMnuSelectNone, 0);
    noneSelected = SelectedCount(list);

    ListView_SetItemState(list, 5, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(list, 11, LVIS_SELECTED, LVIS_SELECTED);
    SetForegroundWindow(dialog);
    WaitUntil([&] { return GetForegroundWindow() == dialog; }, 5s);
    TypeCtrlC();
    WaitUntil([&] { return !(copied = ClipboardText()).empty(); }, 5s);

    dialog_driver::PressButton(dialog, kPreviewSaveReg);
    if (HWND save = WaitForOtherDialog(dialog)) {
      dialog_driver::TypeFileName(save, saved);
      dialog_driver::PressButton(save, IDOK);
      WaitUntil([&] { return !IsWindow(save); }, 10s);
    }

    PostMessageW(dialog, WM_COMMAND, kMnuRefresh, 0);
  });
  list_dialog_driver::EmptyClipboardText();
  EXPECT_EQ(ShowPreview(nullptr, kServer, {{RegistrationResult::Registered}, AwkwardCapture()}),
            PreviewAnswer::Refresh);
  ASSERT_TRUE(driver.Found());

  EXPECT_EQ(caption, L"预览注册 - 控件.ocx");
  EXPECT_EQ(listed, 12);
  EXPECT_EQ(allSelected, 12);
  EXPECT_EQ(noneSelected, 0);
  EXPECT_EQ(copied,
            L"HKEY_CURRENT_USER\tSoftware\\CorvantisRoundTrip\\CLSID\\{Class}\tDword\tREG_DWORD\t"
            L"0x8000002a (2147483690)\r\n"
            L"HKEY_CURRENT_USER\tSoftware\\CorvantisRoundTrip\\Empty "
            L"key\t(默认)\tREG_SZ\t(数值未设置)\r\n");

  std::ifstream file(std::filesystem::path(saved), std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), {}};
  const std::wstring expected = L"\xFEFF" + RegFileText(AwkwardCapture());
  EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(expected.data()),
                               expected.size() * sizeof(wchar_t)));
}

TEST(PreviewDialog, FailedPreviewShowsTheRegistrationMessageInsteadOfTheList) {
  std::wstring message;
  dialog_driver::Driver driver([&](HWND box) { message = dialog_driver::TakeMessageBox(box); });
  EXPECT_EQ(ShowPreview(nullptr, kServer, {{RegistrationResult::TimedOut}, AwkwardCapture()}),
            PreviewAnswer::Closed);
  ASSERT_TRUE(driver.Found());
  EXPECT_EQ(message, L"不能打开注册的DLL或OCX控件!" + std::wstring(kServer) +
                         L"\r\n入口点 DllRegisterServer 在10秒内没有完成。");
}
