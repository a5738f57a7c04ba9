// File open, file save and file title: the record the object hands to Windows
// and how it reads the answer back (through a fake dialog table), and the real
// dialogs under Wine, driven from a second thread.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

#include "architecture.h"
#include "common_dialog.h"
#include "dialog_driver.h"
#include "file_dialogs.h"
#include "handle_values.h"
#include "raised.h"
#include "test_files.h"

#include <cderr.h>

namespace {

using namespace dialog_driver;
using test_files::TempFolder;
using namespace std::string_literals;

const std::wstring kMainWindowFilter =
    L"OCX Files (*.ocx)|*.ocx|DLL Files (*.dll)|*.dll|All Files (*.*)|*.*";

std::wstring OptionalText(const wchar_t* text) { return text ? text : L"<null>"; }

// What the fake dialog saw, and what it answers. The table holds plain function
// pointers, so the fake keeps its state here; each test starts from Reset().
struct FakeDialog {
  struct Seen {
    DWORD lStructSize;
    HWND hwndOwner;
    DWORD Flags;
    std::wstring filter;  // up to and including the double NUL
    DWORD nFilterIndex;
    std::wstring file;  // the whole buffer, nMaxFile characters
    std::wstring title;
    std::wstring initialDir, dlgTitle, defExt;
    bool restZero;  // hook, template, custom filter, instance, offsets
  };
  static inline int calls;
  static inline std::optional<Seen> seen;
  static inline BOOL answer;
  static inline DWORD extendedError;
  static inline std::wstring chosenFile, chosenTitle;
  static inline DWORD returnedIndex;             // 0 keeps the caller's
  static inline DWORD addedFlags, removedFlags;  // changes the user makes to the flags

  static void Reset() {
    calls = 0;
    seen.reset();
    answer = TRUE;
    extendedError = 0;
    chosenFile = L"C:\\work\\module.ocx";
    chosenTitle = L"module.ocx";
    returnedIndex = 0;
    addedFlags = 0;
    removedFlags = 0;
  }
};

// Stands for both the open and the save dialog.
BOOL WINAPI FakeGetFileName(OPENFILENAMEW* record) {
  using F = FakeDialog;
  ++F::calls;
  const wchar_t* end = record->lpstrFilter;
  while (end[0] || end[1]) ++end;
  F::seen = F::Seen{record->lStructSize,
                    record->hwndOwner,
                    record->Flags,
                    std::wstring(record->lpstrFilter, end + 2),
                    record->nFilterIndex,
                    std::wstring(record->lpstrFile, record->nMaxFile),
                    std::wstring(record->lpstrFileTitle, record->nMaxFileTitle),
                    OptionalText(record->lpstrInitialDir),
                    OptionalText(record->lpstrTitle),
                    OptionalText(record->lpstrDefExt),
                    !record->hInstance && !record->lpstrCustomFilter && !record->nMaxCustFilter &&
                        !record->lCustData && !record->lpfnHook && !record->lpTemplateName &&
                        !record->nFileOffset && !record->nFileExtension};
  if (F::answer) {
    // A multiple selection holds NULs of its own: copy it whole.
    const std::wstring file = F::chosenFile + L'\0';
    std::copy_n(file.begin(), std::min<std::size_t>(file.size(), record->nMaxFile),
                record->lpstrFile);
    lstrcpynW(record->lpstrFileTitle, F::chosenTitle.c_str(),
              static_cast<int>(record->nMaxFileTitle));
    if (F::returnedIndex) record->nFilterIndex = F::returnedIndex;
    record->Flags = (record->Flags | F::addedFlags) & ~F::removedFlags;
  }
  return F::answer;
}

DWORD WINAPI FakeCommDlgExtendedError() { return FakeDialog::extendedError; }

DialogFunctions FakeDialogFunctions() {
  DialogFunctions functions = SystemDialogFunctions();
  functions.GetOpenFileName = FakeGetFileName;
  functions.GetSaveFileName = FakeGetFileName;
  functions.CommDlgExtendedError = FakeCommDlgExtendedError;
  return functions;
}

class FileDialogSeam : public ::testing::Test {
 protected:
  void SetUp() override { FakeDialog::Reset(); }
  cCommonDialog dialog{FakeDialogFunctions()};
};

TEST_F(FileDialogSeam, OptionsSelectTheirFlagsAndHooksAndTemplatesNeverPass) {
  struct Case {
    void (*set)(OpenFileNameArgs&);
    DWORD flags;
  };
  const Case cases[] = {
      {[](OpenFileNameArgs&) {}, OFN_FILEMUSTEXIST},
      {[](OpenFileNameArgs& a) { a.FileMustExist = false; }, 0},
      {[](OpenFileNameArgs& a) { a.MultiSelect = true; }, OFN_FILEMUSTEXIST | OFN_ALLOWMULTISELECT},
      {[](OpenFileNameArgs& a) { a.ReadOnly = true; }, OFN_FILEMUSTEXIST | OFN_READONLY},
      {[](OpenFileNameArgs& a) { a.HideReadOnly = true; }, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY},
      {[](OpenFileNameArgs& a) {
         a.FileMustExist = false;
         a.flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLETEMPLATEHANDLE |
                   OFN_NOCHANGEDIR;
       },
       OFN_EXPLORER | OFN_NOCHANGEDIR},
  };
  for (const Case& c : cases) {
    OpenFileNameArgs args(L"");
    c.set(args);
    dialog.VBGetOpenFileName(args);
    EXPECT_EQ(FakeDialog::seen->Flags, c.flags);
  }

  SaveFileNameArgs save(L"");
  dialog.VBGetSaveFileName(save);
  EXPECT_EQ(FakeDialog::seen->Flags, DWORD{OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY});
  SaveFileNameArgs plain(L"");
  plain.OverWritePrompt = false;
  dialog.VBGetSaveFileName(plain);
  EXPECT_EQ(FakeDialog::seen->Flags, DWORD{OFN_HIDEREADONLY});
  SaveFileNameArgs hooked(L"");
  hooked.flags = OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE | OFN_NOREADONLYRETURN;
  dialog.VBGetSaveFileName(hooked);
  EXPECT_EQ(FakeDialog::seen->Flags,
            DWORD{OFN_NOREADONLYRETURN | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY});
}

TEST_F(FileDialogSeam, DefaultsFillAClassicRecordWithPaddedBuffersAndNoOwner) {
  OpenFileNameArgs open(L"start.ocx");
  dialog.VBGetOpenFileName(open);
  const FakeDialog::Seen seen = *FakeDialog::seen;
  SaveFileNameArgs save(L"start.ocx");
  dialog.VBGetSaveFileName(save);

  for (const FakeDialog::Seen& s : {seen, *FakeDialog::seen}) {
    EXPECT_EQ(s.lStructSize, architecture::PerArchitecture(76u, 136u));
    EXPECT_EQ(s.hwndOwner, nullptr);
    EXPECT_EQ(s.filter, L"All (*.*)\0 *.*\0\0"s);
    EXPECT_EQ(s.nFilterIndex, 1u);
    EXPECT_EQ(s.file, L"start.ocx" + std::wstring(251, L'\0'));
    EXPECT_EQ(s.title, std::wstring(260, L'\0'));
    EXPECT_EQ(s.initialDir, L"<null>");
    EXPECT_EQ(s.dlgTitle, L"<null>");
    EXPECT_EQ(s.defExt, L"<null>");
    EXPECT_TRUE(s.restZero);
  }
}

TEST_F(FileDialogSeam, GivenValuesReachTheRecordAndBothSeparatorsSplitTheFilter) {
  OpenFileNameArgs args(L"a.dll");
  args.FileTitle = L"a";
  args.Filter = L"Text: plain|*.txt:Any|*.*";
  args.FilterIndex = 2;
  args.InitDir = L"C:\\windows";
  args.DlgTitle = L"Pick one";
  args.DefaultExt = L"dll";
  args.Owner = 0x1234;
  dialog.VBGetOpenFileName(args);

  const FakeDialog::Seen& s = *FakeDialog::seen;
  EXPECT_EQ(s.hwndOwner, reinterpret_cast<HWND>(0x1234));
  EXPECT_EQ(s.filter, L"Text\0 plain\0*.txt\0Any\0*.*\0\0"s);
  EXPECT_EQ(s.nFilterIndex, 2u);
  EXPECT_EQ(s.title, L"a" + std::wstring(259, L'\0'));
  EXPECT_EQ(s.initialDir, L"C:\\windows");
  EXPECT_EQ(s.dlgTitle, L"Pick one");
  EXPECT_EQ(s.defExt, L"dll");
}

TEST_F(FileDialogSeam, AcceptedDialogReadsBackPathTitleFlagsAndTheChosenPair) {
  struct Case {
    DWORD index;
    std::wstring pair;
  };
  const Case cases[] = {{1, L"OCX Files (*.ocx)\0*.ocx"s},
                        {2, L"DLL Files (*.dll)\0*.dll"s},
                        {3, L"All Files (*.*)\0*.*"s},
                        {4, L""},
                        {9, L""}};
  for (const Case& c : cases) {
    FakeDialog::returnedIndex = c.index;
    OpenFileNameArgs args(L"");
    args.Filter = kMainWindowFilter;
    EXPECT_TRUE(dialog.VBGetOpenFileName(args));
    EXPECT_EQ(dialog.APIReturn(), 1);
    EXPECT_EQ(args.FileName, L"C:\\work\\module.ocx");
    EXPECT_EQ(args.FileTitle, L"module.ocx");
    EXPECT_EQ(args.flags, OFN_FILEMUSTEXIST);
    EXPECT_EQ(args.FilterIndex, static_cast<std::int32_t>(c.index));
    EXPECT_EQ(args.Filter, c.pair) << "index " << c.index;
  }

  FakeDialog::returnedIndex = 2;
  SaveFileNameArgs save(L"");
  save.Filter = kMainWindowFilter;
  EXPECT_TRUE(dialog.VBGetSaveFileName(save));
  EXPECT_EQ(save.FileName, L"C:\\work\\module.ocx");
  EXPECT_EQ(save.FilterIndex, 2);
  EXPECT_EQ(save.Filter, L"DLL Files (*.dll)\0*.dll"s);
  EXPECT_EQ(save.flags, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY);
}

// FileName stays the buffer's text up to its first NUL for every caller; only
// a caller that asked for the Explorer-style dialog gets the split paths.
TEST_F(FileDialogSeam, MultipleSelectionKeepsFileNameAndListsPathsOnlyForExplorerCallers) {
  FakeDialog::chosenFile = L"C:\\work\0a.ocx\0b c.ocx\0"s;
  OpenFileNameArgs plain(L"");
  plain.MultiSelect = true;
  EXPECT_TRUE(dialog.VBGetOpenFileName(plain));
  EXPECT_EQ(FakeDialog::seen->file.size(), 32768u);  // room for many names
  EXPECT_EQ(plain.FileName, L"C:\\work");
  EXPECT_TRUE(dialog.FileNames().empty());

  OpenFileNameArgs explorer(L"");
  explorer.MultiSelect = true;
  explorer.flags = OFN_EXPLORER;
  EXPECT_TRUE(dialog.VBGetOpenFileName(explorer));
  EXPECT_EQ(explorer.FileName, L"C:\\work");
  EXPECT_EQ(dialog.FileNames(),
            (std::vector<std::wstring>{L"C:\\work\\a.ocx", L"C:\\work\\b c.ocx"}));

  FakeDialog::chosenFile = L"C:\\\0a.ocx\0"s;  // a drive's root ends in its separator
  EXPECT_TRUE(dialog.VBGetOpenFileName(explorer));
  EXPECT_EQ(dialog.FileNames(), std::vector<std::wstring>{L"C:\\a.ocx"});
  FakeDialog::chosenFile = L"C:\\work\\one.ocx";  // one file is its full path alone
  EXPECT_TRUE(dialog.VBGetOpenFileName(explorer));
  EXPECT_EQ(dialog.FileNames(), std::vector<std::wstring>{L"C:\\work\\one.ocx"});

  FakeDialog::answer = FALSE;
  EXPECT_FALSE(dialog.VBGetOpenFileName(explorer));
  EXPECT_TRUE(dialog.FileNames().empty());
}

TEST_F(FileDialogSeam, ReadOnlyAnswerCanOnlyTurnTheCallersValueOn) {
  FakeDialog::addedFlags = OFN_READONLY;
  OpenFileNameArgs ticked(L"");
  EXPECT_TRUE(dialog.VBGetOpenFileName(ticked));
  EXPECT_TRUE(ticked.ReadOnly);

  FakeDialog::addedFlags = 0;
  OpenFileNameArgs untouched(L"");
  EXPECT_TRUE(dialog.VBGetOpenFileName(untouched));
  EXPECT_FALSE(untouched.ReadOnly);

  FakeDialog::removedFlags = OFN_READONLY;
  OpenFileNameArgs cleared(L"");
  cleared.ReadOnly = true;
  EXPECT_TRUE(dialog.VBGetOpenFileName(cleared));
  EXPECT_TRUE(FakeDialog::seen->Flags & OFN_READONLY);
  EXPECT_TRUE(cleared.ReadOnly);
  EXPECT_EQ(cleared.flags & OFN_READONLY, 0);
}

TEST_F(FileDialogSeam, CancelOrFailureResetsTheOutValuesAndRecordsTheCode) {
  FakeDialog::answer = FALSE;
  OpenFileNameArgs open(L"old.ocx");
  open.FileTitle = L"old";
  open.ReadOnly = true;
  open.flags = OFN_NOCHANGEDIR;
  EXPECT_FALSE(dialog.VBGetOpenFileName(open));
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), 0);
  EXPECT_EQ(open.FileName, L"");
  EXPECT_EQ(open.FileTitle, L"");
  EXPECT_EQ(open.Filter, L"");
  EXPECT_EQ(open.FilterIndex, -1);
  EXPECT_EQ(open.flags, 0);
  EXPECT_TRUE(open.ReadOnly);

  FakeDialog::extendedError = FNERR_BUFFERTOOSMALL;
  SaveFileNameArgs save(L"old.txt");
  save.FilterIndex = 3;
  EXPECT_FALSE(dialog.VBGetSaveFileName(save));
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), FNERR_BUFFERTOOSMALL);
  EXPECT_EQ(save.FileName, L"");
  EXPECT_EQ(save.Filter, L"");
  EXPECT_EQ(save.FilterIndex, 0);
  EXPECT_EQ(save.flags, 0);

  // The next call starts from a clean slate.
  FakeDialog::answer = TRUE;
  OpenFileNameArgs next(L"");
  EXPECT_TRUE(dialog.VBGetOpenFileName(next));
  EXPECT_EQ(dialog.APIReturn(), 1);
  EXPECT_EQ(dialog.ExtendedError(), 0);
}

TEST_F(FileDialogSeam, NamesBeyond260CharactersRaiseBeforeAnyDialogAndChangeNothing) {
  FakeDialog::answer = FALSE;
  FakeDialog::extendedError = CDERR_INITIALIZATION;
  OpenFileNameArgs failing(L"");
  dialog.VBGetOpenFileName(failing);
  ASSERT_NE(dialog.ExtendedError(), 0);
  FakeDialog::Reset();

  const std::wstring fits(260, L'x');
  const std::wstring tooLong(261, L'x');

  OpenFileNameArgs longName(tooLong);
  longName.Filter = kMainWindowFilter;
  const auto error = Raised([&] { dialog.VBGetOpenFileName(longName); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->Number(), 5);
  EXPECT_EQ(error->Source(), L"file_dialog_tests");
  EXPECT_EQ(error->Description(), L"Invalid procedure call or argument");
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), 0);
  EXPECT_EQ(longName.FileName, tooLong);
  EXPECT_EQ(longName.Filter, kMainWindowFilter);
  EXPECT_EQ(longName.FilterIndex, 1);

  OpenFileNameArgs longTitle(L"");
  longTitle.FileTitle = tooLong;
  EXPECT_TRUE(Raised([&] { dialog.VBGetOpenFileName(longTitle); }));
  SaveFileNameArgs saveName(tooLong);
  EXPECT_TRUE(Raised([&] { dialog.VBGetSaveFileName(saveName); }));
  SaveFileNameArgs saveTitle(L"");
  saveTitle.FileTitle = tooLong;
  EXPECT_TRUE(Raised([&] { dialog.VBGetSaveFileName(saveTitle); }));
  EXPECT_EQ(FakeDialog::calls, 0);

  OpenFileNameArgs full(fits);
  full.FileTitle = fits;
  EXPECT_TRUE(dialog.VBGetOpenFileName(full));
  EXPECT_EQ(FakeDialog::seen->file, fits);
  EXPECT_EQ(FakeDialog::seen->title, fits);
}

TEST(FileDialogHelpers, DialogFilterSplitsAtBothSeparatorsAndEndsWithTwoNuls) {
  using file_dialogs::DialogFilter;
  EXPECT_EQ(DialogFilter(L"All (*.*)| *.*"), L"All (*.*)\0 *.*\0\0"s);
  EXPECT_EQ(DialogFilter(L"Text: plain|*.txt"), L"Text\0 plain\0*.txt\0\0"s);
  EXPECT_EQ(DialogFilter(L""), L"\0\0"s);
}

TEST(FileDialogHelpers, TrimAtNullCutsAtTheFirstNul) {
  using file_dialogs::TrimAtNull;
  EXPECT_EQ(TrimAtNull(L"plain"), L"plain");
  EXPECT_EQ(TrimAtNull(L""), L"");
  EXPECT_EQ(TrimAtNull(L"\0tail"s), L"");
  EXPECT_EQ(TrimAtNull(L"C:\\目录\\a.ocx\0\0b\0"s), L"C:\\目录\\a.ocx");
}

TEST(FileDialogHelpers, FilterByIndexFindsPairsAndNothingOutsideTheList) {
  using file_dialogs::FilterByIndex;
  const std::wstring list = L"A\0a\0B\0b\0C\0c\0\0"s;
  EXPECT_EQ(FilterByIndex(list, 1), L"A\0a"s);
  EXPECT_EQ(FilterByIndex(list, 3), L"C\0c"s);
  for (std::int32_t index : {0, -1, 4, 5, 1000}) {
    EXPECT_EQ(FilterByIndex(list, index), L"") << index;
  }
  for (std::int32_t index : {-1, 0, 1, 2}) {
    EXPECT_EQ(FilterByIndex(L"", index), L"") << index;
  }
  // A list without its closing NULs still yields its last pair; a half pair is none.
  EXPECT_EQ(FilterByIndex(L"A\0a\0B\0b"s, 2), L"B\0b"s);
  EXPECT_EQ(FilterByIndex(L"A\0a\0B"s, 2), L"");
  EXPECT_EQ(FilterByIndex(L"no separator", 1), L"");
  // An empty description is still a pair.
  EXPECT_EQ(FilterByIndex(L"\0*.txt\0\0"s, 1), L"\0*.txt"s);
}

struct WindowDeleter {
  void operator()(HWND window) const { DestroyWindow(window); }
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

// Types `name` and presses the default button.
Driver Accepting(std::wstring name) {
  return Driver([name = std::move(name)](HWND dialog) {
    TypeFileName(dialog, name);
    PressButton(dialog, IDOK);
  });
}

// Opening the way the main window does: owned by a window, the server filter,
// file must exist.
OpenFileNameArgs MainWindowOpen(HWND owner) {
  OpenFileNameArgs args(L"");
  args.Filter = kMainWindowFilter;
  args.DefaultExt = L"ocx";
  args.Owner = toolkit::HandleValue(owner);
  return args;
}

class RealFileDialog : public ::testing::Test {
 protected:
  TempFolder folder;
  OwnedWindow owner{CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                    200, 100, nullptr, nullptr, nullptr, nullptr)};
  cCommonDialog dialog;
};

TEST_F(RealFileDialog, ChoosingAServerReturnsItsPathTitleAndTheFirstFilter) {
  const std::wstring file = folder.Create(L"module.ocx");
  OpenFileNameArgs args = MainWindowOpen(owner.get());
  Driver driver = Accepting(file);
  EXPECT_TRUE(dialog.VBGetOpenFileName(args));
  EXPECT_TRUE(driver.Found());
  EXPECT_EQ(dialog.APIReturn(), 1);
  EXPECT_EQ(args.FileName, file);
  EXPECT_EQ(args.FileTitle, L"module.ocx");
  EXPECT_EQ(args.FilterIndex, 1);
  EXPECT_EQ(args.Filter, L"OCX Files (*.ocx)\0*.ocx"s);
  EXPECT_TRUE(args.flags & OFN_FILEMUSTEXIST);
}

TEST_F(RealFileDialog, CancellingResetsTheOutValues) {
  OpenFileNameArgs args = MainWindowOpen(owner.get());
  args.FileName = L"start.ocx";
  Driver driver([](HWND dialog) { PressButton(dialog, IDCANCEL); });
  EXPECT_FALSE(dialog.VBGetOpenFileName(args));
  EXPECT_TRUE(driver.Found());
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), 0);
  EXPECT_EQ(args.FileName, L"");
  EXPECT_EQ(args.Filter, L"");
  EXPECT_EQ(args.FilterIndex, -1);
  EXPECT_EQ(args.flags, 0);
}

TEST_F(RealFileDialog, AFileInAChineseFolderComesBackIntact) {
  const std::wstring file = folder.Create(L"注册控件\\组件.ocx");
  OpenFileNameArgs args = MainWindowOpen(owner.get());
  Driver driver = Accepting(file);
  EXPECT_TRUE(dialog.VBGetOpenFileName(args));
  EXPECT_EQ(args.FileName, file);
  EXPECT_EQ(args.FileName.find(L'\0'), std::wstring::npos);
  EXPECT_EQ(args.FileTitle, L"组件.ocx");
}

TEST_F(RealFileDialog, AnExplorerMultipleSelectionGivesEveryPath) {
  const std::wstring first = folder.Create(L"一.ocx"), second = folder.Create(L"two.dll");
  OpenFileNameArgs args = MainWindowOpen(owner.get());
  args.MultiSelect = true;
  args.flags = OFN_EXPLORER;
  args.InitDir = folder.Path();
  args.FilterIndex = 3;  // all files
  Driver driver = Accepting(L"\"一.ocx\" \"two.dll\"");
  EXPECT_TRUE(dialog.VBGetOpenFileName(args));
  EXPECT_EQ(args.FileName, folder.Path());
  EXPECT_EQ(dialog.FileNames(), (std::vector<std::wstring>{first, second}));
}

TEST_F(RealFileDialog, SavingAppendsTheDefaultExtension) {
  SaveFileNameArgs args(L"");
  args.InitDir = folder.Path();
  args.Filter = L"Text (*.txt)|*.txt";
  args.DefaultExt = L"txt";
  Driver driver = Accepting(L"报告");
  EXPECT_TRUE(dialog.VBGetSaveFileName(args));
  EXPECT_TRUE(driver.Found());
  EXPECT_EQ(args.FileName, folder.Path() + L"\\报告.txt");
  EXPECT_EQ(args.FileTitle, L"报告.txt");
  EXPECT_EQ(args.FilterIndex, 1);
  EXPECT_EQ(args.Filter, L"Text (*.txt)\0*.txt"s);
}

TEST(FileTitle, RealPathsGiveTheirTitleAndTheLastDialogResultStays) {
  TempFolder folder;
  FakeDialog::Reset();
  FakeDialog::answer = FALSE;
  FakeDialog::extendedError = FNERR_INVALIDFILENAME;
  cCommonDialog dialog(FakeDialogFunctions());  // the real title function
  OpenFileNameArgs args(L"");
  dialog.VBGetOpenFileName(args);

  EXPECT_EQ(dialog.VBGetFileTitle(folder.Create(L"module.ocx")), L"module.ocx");
  EXPECT_EQ(dialog.VBGetFileTitle(folder.Create(L"注册控件\\组件.ocx")), L"组件.ocx");
  EXPECT_EQ(dialog.VBGetFileTitle(folder.Path() + L"\\"), L"");
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), FNERR_INVALIDFILENAME);
}

}  // namespace
