// The preview's dialog, shown for real and driven from a second thread: the
// list, the list-operations commands, Ctrl+C as typed, the save dialog, and
// the registration's message for a failed preview.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <windows.h>
#include <commctrl.h>

#include "capture_rows.h"
#include "dialog_driver.h"
#include "list_dialog_driver.h"
#include "list_ops_menu.h"
#include "preview_dialog.h"
#include "preview_samples.h"
#include "reg_file.h"
#include "test_files.h"

using namespace Ostravel;
using namespace std::chrono_literals;
using dialog_driver::WaitUntil;
using list_dialog_driver::ClipboardText;
using list_dialog_driver::TypeCtrlC;
using list_dialog_driver::WaitForOtherDialog;

namespace {

constexpr wchar_t kServer[] = L"C:\\servers\\控件.ocx";

TaskResult Previewed(RegistrationResult result, Capture capture) {
  TaskResult preview;
  preview.outcome.result = result;
  preview.capture = std::move(capture);
  return preview;
}

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
  EXPECT_EQ(
      ShowPreview(nullptr, kServer, Previewed(RegistrationResult::Registered, AwkwardCapture())),
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
  EXPECT_EQ(
      ShowPreview(nullptr, kServer, Previewed(RegistrationResult::TimedOut, AwkwardCapture())),
      PreviewAnswer::Closed);
  ASSERT_TRUE(driver.Found());
  EXPECT_EQ(message, L"不能打开注册的DLL或OCX控件!" + std::wstring(kServer) +
                         L"\r\n入口点 DllRegisterServer 在10秒内没有完成。");

  // A private key left behind is said with the message too.
  TaskResult leftover = Previewed(RegistrationResult::TimedOut, {});
  leftover.cleanup = ERROR_ACCESS_DENIED;
  dialog_driver::Driver again([&](HWND box) { message = dialog_driver::TakeMessageBox(box); });
  ShowPreview(nullptr, kServer, std::move(leftover));
  ASSERT_TRUE(again.Found());
  EXPECT_NE(message.find(std::wstring(L"HKEY_CURRENT_USER\\") + kPreviewsKey), std::wstring::npos);
}

TEST(PreviewDialog, NotesNameTheViewLinksOutUnreadableKeysTheCutAndALeftoverKey) {
  const std::wstring outside = L"\\REGISTRY\\USER\\S-1-5-21-1\\Software\\Real";
  Capture capture;
  capture.wow64 = true;
  capture.keys.push_back(PlainKey(RegistryRoot::ClassesRoot, L"CLSID\\{C}", {}));
  CapturedKey out = PlainKey(RegistryRoot::CurrentUser, L"Software\\Out",
                             {{kSymbolicLinkValue,
                               REG_LINK,
                               {reinterpret_cast<const BYTE*>(outside.data()),
                                reinterpret_cast<const BYTE*>(outside.data() + outside.size())}}});
  out.link = outside;
  out.linkLeaves = true;
  capture.keys.push_back(out);
  CapturedKey denied = PlainKey(RegistryRoot::CurrentUser, L"Software\\Denied", {});
  denied.error = ERROR_ACCESS_DENIED;
  capture.keys.push_back(denied);
  capture.keys.push_back(PlainKey(RegistryRoot::CurrentUser, L"Software\\a\r\nb", {}));
  capture.cut =
      CaptureCut{CaptureCut::Reason::Keys, RegistryRoot::CurrentUser, L"Software\\Many\\000123"};
  TaskResult preview = Previewed(RegistrationResult::Registered, capture);
  preview.cleanup = ERROR_ACCESS_DENIED;

  std::wstring notes, firstKey;
  int listed = -1;
  dialog_driver::Driver driver([&](HWND dialog) {
    HWND lines = GetDlgItem(dialog, kPreviewNotes);
    for (int i = 0; i < ListView_GetItemCount(lines); ++i) {
      wchar_t text[512] = {};
      ListView_GetItemText(lines, i, 0, text, 512);
      notes += std::wstring(text) + L"\n";
    }
    HWND list = GetDlgItem(dialog, kPreviewList);
    listed = ListView_GetItemCount(list);
    wchar_t text[256] = {};
    ListView_GetItemText(list, 0, kRowKey, text, 256);
    firstKey = text;
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(ShowPreview(nullptr, kServer, std::move(preview)), PreviewAnswer::Closed);
  ASSERT_TRUE(driver.Found());

  EXPECT_EQ(listed, 5);  // a row a key, and the cut
  EXPECT_EQ(firstKey, L"WOW6432Node\\CLSID\\{C}");
  for (const std::wstring& named :
       {std::wstring(L"WOW6432Node"), L"HKEY_CURRENT_USER\\Software\\Out → " + outside,
        std::wstring(L"HKEY_CURRENT_USER\\Software\\Denied"),
        std::wstring(L"HKEY_CURRENT_USER\\Software\\Many\\000123"),
        std::wstring(L"HKEY_CURRENT_USER\\Software\\a<CR><LF>b"),
        std::wstring(L"HKEY_CURRENT_USER\\") + kPreviewsKey}) {
    EXPECT_NE(notes.find(named), std::wstring::npos) << testing::PrintToString(named);
  }
}
