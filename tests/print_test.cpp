// The print and page-setup operations: first through fake dialog functions,
// for what a real dialog cannot show, then with the real dialogs against the
// default printer, the CorvantisPDF queue.

#include <gtest/gtest.h>

#include <algorithm>
#include <cfenv>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <cderr.h>
#include <oaidl.h>
#include <winspool.h>

#include "architecture.h"
#include "common_dialog.h"
#include "dialog_driver.h"
#include "handle_values.h"
#include "raised.h"
#include "rounding_mode.h"

namespace {

using namespace dialog_driver;

// What the fake dialogs were shown, and how they answer.
struct FakeDialog {
  int calls = 0;
  PRINTDLGW print{};
  PAGESETUPDLGW pageSetup{};
  std::function<BOOL(PRINTDLGW&)> answerPrint;
  std::function<BOOL(PAGESETUPDLGW&)> answerPageSetup;
  DWORD extendedError = 0;
};
FakeDialog script;

BOOL WINAPI FakePrintDlg(LPPRINTDLGW record) {
  ++script.calls;
  script.print = *record;
  return script.answerPrint ? script.answerPrint(*record) : FALSE;
}

BOOL WINAPI FakePageSetupDlg(LPPAGESETUPDLGW record) {
  ++script.calls;
  script.pageSetup = *record;
  return script.answerPageSetup ? script.answerPageSetup(*record) : FALSE;
}

DWORD WINAPI FakeCommDlgExtendedError() { return script.extendedError; }

DialogFunctions FakeDialogFunctions() {
  DialogFunctions functions = SystemDialogFunctions();
  functions.PrintDlg = FakePrintDlg;
  functions.PageSetupDlg = FakePageSetupDlg;
  functions.CommDlgExtendedError = FakeCommDlgExtendedError;
  return functions;
}

DEVMODEW SampleDevMode() {
  DEVMODEW mode{};
  std::fill(std::begin(mode.dmDeviceName), std::end(mode.dmDeviceName),
            L'x');  // behind the names' NUL
  std::fill(std::begin(mode.dmFormName), std::end(mode.dmFormName), L'y');
  lstrcpyW(mode.dmDeviceName, L"Fake Printer");
  lstrcpyW(mode.dmFormName, L"Letter");
  mode.dmSpecVersion = DM_SPECVERSION;
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_PRINTQUALITY | DM_COLLATE;
  mode.dmOrientation = DMORIENT_LANDSCAPE;
  mode.dmPaperSize = DMPAPER_LETTER;
  mode.dmCopies = 3;
  mode.dmPrintQuality = DMRES_MEDIUM;
  mode.dmCollate = DMCOLLATE_TRUE;
  mode.dmBitsPerPel = 0x00120018;
  mode.dmDisplayFrequency = 0xA1B2C3D4;
  return mode;
}

// A device mode block as a dialog hands it over.
HGLOBAL NewDevMode() {
  const DEVMODEW mode = SampleDevMode();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, sizeof mode);
  CopyMemory(GlobalLock(block), &mode, sizeof mode);
  GlobalUnlock(block);
  return block;
}

bool Freed(HGLOBAL block) { return GlobalSize(block) == 0; }

// An automation object that logs the property puts it receives; it does not
// know "Orientation" and refuses "PaperSize".
class FakePrinter : public IDispatch {
 public:
  std::vector<std::wstring> log;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                          DISPID* ids) override {
    if (names[0] == std::wstring(L"Orientation")) {
      log.push_back(L"Orientation unknown");
      return DISP_E_UNKNOWNNAME;
    }
    known_.push_back(names[0]);
    ids[0] = static_cast<DISPID>(known_.size());
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters,
                                   VARIANT*, EXCEPINFO*, UINT*) override {
    const std::wstring& name = known_.at(static_cast<std::size_t>(id) - 1);
    const bool put =
        flags == DISPATCH_PROPERTYPUT && parameters->cArgs == 1 && parameters->cNamedArgs == 1 &&
        parameters->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT && parameters->rgvarg[0].vt == VT_I2;
    if (!put || name == L"PaperSize") {
      log.push_back(name + (put ? L" refused" : L" not a 16-bit put"));
      return DISP_E_TYPEMISMATCH;
    }
    log.push_back(name + L"=" + std::to_wstring(parameters->rgvarg[0].iVal));
    return S_OK;
  }

 private:
  std::vector<std::wstring> known_;
};

class Seam : public ::testing::Test {
 protected:
  void SetUp() override { script = FakeDialog{}; }
  cCommonDialog dialog{FakeDialogFunctions()};
};

// ---- Print dialog through the seam ----

TEST_F(Seam, PrintFlagWords) {
  PrintDlgArgs only(0);
  EXPECT_FALSE(dialog.VBPrintDlg(only));
  EXPECT_EQ(script.print.lStructSize, architecture::PerArchitecture(66u, 120u));
  EXPECT_EQ(script.print.Flags, 0x001C0100u);
  EXPECT_EQ(script.print.nMinPage, 1);
  EXPECT_EQ(script.print.nMaxPage, 0xFFFF);
  EXPECT_EQ(script.print.hDevMode, nullptr);

  const struct {
    void (*set)(PrintDlgArgs&);
    DWORD flags;
  } cases[] = {
      {[](PrintDlgArgs& a) { a.DisablePageNumbers = true; }, 0x001C0108},
      {[](PrintDlgArgs& a) { a.DisableSelection = true; }, 0x001C0104},
      {[](PrintDlgArgs& a) { a.Collate = true; }, 0x001C0110},
      {[](PrintDlgArgs& a) { a.PrintToFile = true; }, 0x001C0120},
      {[](PrintDlgArgs& a) { a.PreventWarning = true; }, 0x001C0180},
      {[](PrintDlgArgs& a) { a.DisablePrintToFile = false; }, 0x00140100},
      {[](PrintDlgArgs& a) { a.ShowPrintToFile = true; }, 0x000C0100},
      {[](PrintDlgArgs& a) { a.PrintRange = 1; }, 0x001C0102},
      {[](PrintDlgArgs& a) { a.PrintRange = 2; }, 0x001C0101},
      {[](PrintDlgArgs& a) { a.PrintRange = 3; }, 0x001C0100},
      {[](PrintDlgArgs& a) { a.flags = PD_RETURNDEFAULT | PD_ENABLEPRINTHOOK; }, 0x001C0500},
      // Every hook and template bit is cleared, template handles included.
      {[](PrintDlgArgs& a) { a.flags = -1; }, 0xFFFC0FFF},
  };
  for (const auto& c : cases) {
    PrintDlgArgs args(0);
    c.set(args);
    dialog.VBPrintDlg(args);
    EXPECT_EQ(script.print.Flags, c.flags) << std::hex << c.flags;
  }
}

TEST_F(Seam, PrintPageNumbersAreSixteenBitAndOverflowBeforeAnyDialog) {
  script.answerPrint = [](PRINTDLGW& record) {
    record.nFromPage = 0xFFFF;
    record.nToPage = 0x7FFF;
    return TRUE;
  };
  PrintDlgArgs edges(0);
  edges.ToPage = -32768;
  EXPECT_TRUE(dialog.VBPrintDlg(edges));
  EXPECT_EQ(script.print.nFromPage, 1);
  EXPECT_EQ(script.print.nToPage, 0x8000);
  EXPECT_EQ(edges.FromPage, -1);
  EXPECT_EQ(edges.ToPage, 32767);

  script.answerPrint = nullptr;
  script.extendedError = PDERR_NODEFAULTPRN;
  dialog.VBPrintDlg(edges);
  script.calls = 0;
  for (auto [from, to] : {std::pair{40000, 5}, std::pair{1, -32769}}) {
    PrintDlgArgs args(0);
    args.FromPage = from;
    args.ToPage = to;
    const auto error = Raised([&] { dialog.VBPrintDlg(args); });
    ASSERT_TRUE(error) << from << ' ' << to;
    EXPECT_EQ(error->Number(), 6);
  }
  EXPECT_EQ(script.calls, 0);
  EXPECT_EQ(dialog.ExtendedError(), 0);
}

TEST_F(Seam, AcceptedPrintFillsEveryResultAndTheWholeDeviceMode) {
  HGLOBAL devMode = nullptr, devNames = nullptr;
  script.answerPrint = [&](PRINTDLGW& record) {
    record.hDevMode = devMode = NewDevMode();
    record.hDevNames = devNames = GlobalAlloc(GMEM_MOVEABLE, 64);
    record.hDC = reinterpret_cast<HDC>(0x1234);
    record.Flags |= PD_PAGENUMS | PD_PRINTTOFILE;
    return TRUE;
  };
  PrintDlgArgs args(0);
  args.Copies = 9;
  EXPECT_TRUE(dialog.VBPrintDlg(args));
  EXPECT_EQ(dialog.APIReturn(), 1);
  EXPECT_EQ(args.hdc, 0x1234);
  EXPECT_EQ(args.PrintRange, 1);
  EXPECT_TRUE(args.PrintToFile);
  EXPECT_EQ(args.Copies, 3);
  EXPECT_TRUE(args.Collate);
  EXPECT_EQ(static_cast<DWORD>(args.flags), 0x001C0100u | PD_PAGENUMS | PD_PRINTTOFILE);

  const PrinterDevModeRecord mode = dialog.GetPrinterDevMode();
  EXPECT_EQ(mode.dmDeviceName, std::wstring(L"Fake Printer") + std::wstring(20, L'\0'));
  EXPECT_EQ(mode.dmFormName, std::wstring(L"Letter") + std::wstring(26, L'\0'));
  EXPECT_EQ(mode.dmPaperSize, DMPAPER_LETTER);
  EXPECT_EQ(mode.dmPrintQuality, DMRES_MEDIUM);
  EXPECT_EQ(mode.dmBitsPerPel, 0x0018);
  EXPECT_EQ(mode.dmDisplayFrequency, 0xA1B2C3D4u);  // the last field, both halves
  EXPECT_TRUE(Freed(devMode));
  EXPECT_TRUE(Freed(devNames));

  for (auto [flags, range] :
       {std::pair{0, 0}, std::pair{PD_SELECTION, 2}, std::pair{PD_PAGENUMS | PD_SELECTION, 1}}) {
    script.answerPrint = [flags = flags](PRINTDLGW& record) {
      record.Flags = flags;
      return TRUE;
    };
    dialog.VBPrintDlg(args);
    EXPECT_EQ(args.PrintRange, range) << flags;
  }
}

TEST_F(Seam, CancelledPrintLeavesEveryResultAndTheDeviceModeAlone) {
  script.answerPrint = [](PRINTDLGW& record) {
    record.hDevMode = NewDevMode();
    return TRUE;
  };
  PrintDlgArgs first(0);
  ASSERT_TRUE(dialog.VBPrintDlg(first));
  const PrinterDevModeRecord before = dialog.GetPrinterDevMode();

  HGLOBAL devMode = nullptr;
  script.answerPrint = [&](PRINTDLGW& record) {
    record.hDevMode = devMode = NewDevMode();
    return FALSE;
  };
  PrintDlgArgs args(77);
  args.PrintRange = 2;
  args.FromPage = 4;
  args.ToPage = 9;
  args.Copies = 5;
  args.PrintToFile = args.Collate = true;
  args.flags = 0x40;
  EXPECT_FALSE(dialog.VBPrintDlg(args));
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), 0);
  EXPECT_EQ(
      std::tuple(args.hdc, args.PrintRange, args.FromPage, args.ToPage, args.Copies, args.flags),
      std::tuple(77, 2, 4, 9, std::int16_t{5}, 0x40));
  EXPECT_TRUE(args.PrintToFile && args.Collate);
  EXPECT_TRUE(dialog.GetPrinterDevMode() == before);
  EXPECT_TRUE(Freed(devMode));

  // An accepted dialog that hands back no device mode changes no setting.
  script.answerPrint = [](PRINTDLGW&) { return TRUE; };
  EXPECT_TRUE(dialog.VBPrintDlg(args));
  EXPECT_EQ(args.Copies, 5);
  EXPECT_TRUE(dialog.GetPrinterDevMode() == before);
}

TEST_F(Seam, PrinterObjectGetsTheFourSettingsInOrderPastRejections) {
  script.answerPrint = [](PRINTDLGW& record) {
    record.hDevMode = NewDevMode();
    return TRUE;
  };
  script.answerPageSetup = [](PAGESETUPDLGW& record) {
    record.hDevMode = NewDevMode();
    return TRUE;
  };
  const std::vector<std::wstring> expected = {L"Copies=3", L"Orientation unknown",
                                              L"PaperSize refused", L"PrintQuality=-3"};
  FakePrinter printed, setUp;
  PrintDlgArgs print(0);
  print.Printer = &printed;
  EXPECT_TRUE(dialog.VBPrintDlg(print));
  EXPECT_EQ(printed.log, expected);
  PageSetupDlgArgs pageSetup;
  pageSetup.Printer = &setUp;
  EXPECT_TRUE(dialog.VBPageSetupDlg(pageSetup));
  EXPECT_EQ(setUp.log, expected);
}

// ---- Page-setup dialog through the seam ----

TEST_F(Seam, PageSetupFlagWordsAndScaledMargins) {
  PageSetupDlgArgs none;
  EXPECT_FALSE(dialog.VBPageSetupDlg(none));
  const PAGESETUPDLGW& seen = script.pageSetup;
  EXPECT_EQ(seen.lStructSize, architecture::PerArchitecture(84u, 128u));
  EXPECT_EQ(seen.Flags, 0x7u);
  EXPECT_EQ(std::tuple(seen.rtMargin.left, seen.rtMargin.bottom, seen.rtMinMargin.top,
                       seen.rtMinMargin.right),
            std::tuple(0, 0, 0, 0));

  const struct {
    void (*set)(PageSetupDlgArgs&);
    DWORD flags;
  } cases[] = {
      {[](PageSetupDlgArgs& a) { a.DisableMargins = true; }, 0x17},
      {[](PageSetupDlgArgs& a) { a.DisableOrientation = true; }, 0x107},
      {[](PageSetupDlgArgs& a) { a.DisablePaper = true; }, 0x207},
      {[](PageSetupDlgArgs& a) { a.DisablePrinter = true; }, 0x27},
      {[](PageSetupDlgArgs& a) { a.Units = -5; }, 0xB},
      {[](PageSetupDlgArgs& a) { a.flags = PSD_RETURNDEFAULT | PSD_ENABLEPAGEPAINTHOOK; }, 0x407},
      // Hooks, templates, page painting and the other unit never reach the dialog.
      {[](PageSetupDlgArgs& a) { a.flags = -1; }, 0xFFF95FF7},
  };
  for (const auto& c : cases) {
    PageSetupDlgArgs args;
    c.set(args);
    dialog.VBPageSetupDlg(args);
    EXPECT_EQ(seen.Flags, c.flags) << std::hex << c.flags;
  }

  PageSetupDlgArgs inches;
  inches.TopMargin = 1;
  inches.RightMargin = 3;
  inches.MinLeftMargin = 2147483;
  dialog.VBPageSetupDlg(inches);
  EXPECT_EQ(std::tuple(seen.rtMargin.top, seen.rtMargin.right, seen.rtMinMargin.left),
            std::tuple(1000, 3000, 2147483000));
  PageSetupDlgArgs millimetres;
  millimetres.Units = 1;
  millimetres.LeftMargin = 20;
  millimetres.MinBottomMargin = 21474836;
  dialog.VBPageSetupDlg(millimetres);
  EXPECT_EQ(std::tuple(seen.rtMargin.left, seen.rtMinMargin.bottom), std::tuple(2000, 2147483600));
}

TEST_F(Seam, PageSetupMarginsThatOverflowRaiseBeforeAnyDialog) {
  const struct {
    std::int32_t PageSetupDlgArgs::*margin;
    std::int32_t value, units;
  } cases[] = {
      {&PageSetupDlgArgs::LeftMargin, 2147484, 0},
      {&PageSetupDlgArgs::MinBottomMargin, -2147484, 0},
      {&PageSetupDlgArgs::RightMargin, 21474837, 1},
  };
  for (const auto& c : cases) {
    PageSetupDlgArgs args;
    args.*c.margin = c.value;
    args.Units = c.units;
    const auto error = Raised([&] { dialog.VBPageSetupDlg(args); });
    ASSERT_TRUE(error) << c.value;
    EXPECT_EQ(error->Number(), 6);
  }
  EXPECT_EQ(script.calls, 0);
}

TEST_F(Seam, AcceptedPageSetupGivesWholeUnitsHalvesToEvenAndThePaper) {
  HGLOBAL devMode = nullptr;
  RECT margins{};
  script.answerPageSetup = [&](PAGESETUPDLGW& record) {
    record.rtMargin = margins;
    record.rtMinMargin = {-2500, 1500, 2147483647, -1501};
    record.hDevMode = devMode = NewDevMode();
    record.Flags |= PSD_NOWARNING;
    return TRUE;
  };
  margins = {3500, 2500, 500, 1499};  // left, top, right, bottom
  PageSetupDlgArgs inches;
  // The same whatever rounding mode the printer driver has left.
  for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    inches = PageSetupDlgArgs{};
    const RoundingMode rounding(mode);
    EXPECT_TRUE(dialog.VBPageSetupDlg(inches));
    EXPECT_EQ(
        std::tuple(inches.LeftMargin, inches.TopMargin, inches.RightMargin, inches.BottomMargin),
        std::tuple(4, 2, 0, 1))
        << "mode " << mode;
    EXPECT_EQ(std::tuple(inches.MinLeftMargin, inches.MinTopMargin, inches.MinRightMargin,
                         inches.MinBottomMargin),
              std::tuple(-2, 2, 2147484, -2))
        << "mode " << mode;
  }
  EXPECT_EQ(std::tuple(inches.PaperSize, inches.Orientation, inches.PrintQuality),
            std::tuple(DMPAPER_LETTER, DMORIENT_LANDSCAPE, DMRES_MEDIUM));
  EXPECT_EQ(dialog.APIReturn(), 1);
  EXPECT_EQ(static_cast<DWORD>(inches.flags), 0x7u | PSD_NOWARNING);
  EXPECT_TRUE(dialog.GetPrinterDevMode() == PrinterDevModeRecord{});
  EXPECT_TRUE(Freed(devMode));

  margins = {350, 250, 50, 149};
  PageSetupDlgArgs millimetres;
  millimetres.Units = 1;
  EXPECT_TRUE(dialog.VBPageSetupDlg(millimetres));
  EXPECT_EQ(std::tuple(millimetres.LeftMargin, millimetres.TopMargin, millimetres.RightMargin,
                       millimetres.BottomMargin, millimetres.MinRightMargin),
            std::tuple(4, 2, 0, 1, 21474836));
}

TEST_F(Seam, CancelledPageSetupLeavesEveryValueAndRecordsTheError) {
  script.extendedError = PDERR_NODEFAULTPRN;
  PageSetupDlgArgs args;
  std::int32_t PageSetupDlgArgs::*const values[] = {
      &PageSetupDlgArgs::LeftMargin,   &PageSetupDlgArgs::MinLeftMargin,
      &PageSetupDlgArgs::RightMargin,  &PageSetupDlgArgs::MinRightMargin,
      &PageSetupDlgArgs::TopMargin,    &PageSetupDlgArgs::MinTopMargin,
      &PageSetupDlgArgs::BottomMargin, &PageSetupDlgArgs::MinBottomMargin,
      &PageSetupDlgArgs::PaperSize,    &PageSetupDlgArgs::Orientation,
      &PageSetupDlgArgs::PrintQuality, &PageSetupDlgArgs::flags};
  for (std::size_t i = 0; i < std::size(values); ++i)
    args.*values[i] = static_cast<std::int32_t>(i) + 1;
  EXPECT_FALSE(dialog.VBPageSetupDlg(args));
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), PDERR_NODEFAULTPRN);
  for (std::size_t i = 0; i < std::size(values); ++i)
    EXPECT_EQ(args.*values[i], static_cast<std::int32_t>(i) + 1);
}

// ---- The real dialogs against the default printer ----

// The default printer's own settings, as a dialog starts from them.
std::optional<DEVMODEW> DefaultDevMode() {
  wchar_t name[256];
  DWORD size = std::size(name);
  HANDLE printer = nullptr;
  if (!GetDefaultPrinterW(name, &size) || !OpenPrinterW(name, &printer, nullptr))
    return std::nullopt;
  std::optional<DEVMODEW> result;
  std::vector<BYTE> buffer(static_cast<std::size_t>(
      std::max(0L, DocumentPropertiesW(nullptr, printer, name, nullptr, nullptr, 0))));
  auto* mode = reinterpret_cast<DEVMODEW*>(buffer.data());
  if (buffer.size() >= sizeof(DEVMODEW) &&
      DocumentPropertiesW(nullptr, printer, name, mode, nullptr, DM_OUT_BUFFER) == IDOK) {
    result = *mode;
  }
  ClosePrinter(printer);
  return result;
}

constexpr int kCopiesEdit = 0x482;  // edt3 of the print dialog's template

TEST(RealDialogs, PrintOkReturnsADeviceContextAndTheQueuesSettings) {
  // Without a printer the dialog may never show, and nothing would end it.
  const auto queue = DefaultDevMode();
  ASSERT_TRUE(queue) << "no default printer: is CorvantisPDF set up?";
  cCommonDialog dialog;
  PrintDlgArgs args(0);
  {
    Driver driver([](HWND found) {
      SetControlText(found, kCopiesEdit, L"2");
      PressButton(found, IDOK);
    });
    EXPECT_TRUE(dialog.VBPrintDlg(args)) << dialog.ExtendedError();
    ASSERT_TRUE(driver.Found()) << "no print dialog: is CorvantisPDF the default printer?";
  }
  HDC dc = toolkit::ToHandle<HDC>(args.hdc);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
  DeleteDC(dc);

  const PrinterDevModeRecord mode = dialog.GetPrinterDevMode();
  EXPECT_EQ(mode.dmDeviceName, std::wstring(L"CorvantisPDF") + std::wstring(20, L'\0'));
  EXPECT_EQ(args.Copies, 2);
  EXPECT_EQ(mode.dmCopies, 2);
  EXPECT_EQ(args.Collate, queue->dmCollate == DMCOLLATE_TRUE);
  EXPECT_EQ(std::tuple(args.PrintRange, args.FromPage, args.ToPage), std::tuple(0, 1, -1));

  PrintDlgArgs cancelled(55);
  cancelled.Copies = 7;
  {
    Driver driver([](HWND found) { PressButton(found, IDCANCEL); });
    EXPECT_FALSE(dialog.VBPrintDlg(cancelled));
    ASSERT_TRUE(driver.Found());
  }
  EXPECT_EQ(std::tuple(dialog.APIReturn(), dialog.ExtendedError()), std::tuple(0, 0));
  EXPECT_EQ(std::tuple(cancelled.hdc, cancelled.Copies), std::tuple(55, std::int16_t{7}));
  EXPECT_TRUE(dialog.GetPrinterDevMode() == mode);
}

TEST(RealDialogs, PageSetupOkReturnsTheMarginsItWasGivenAndThePaper) {
  const auto expected = DefaultDevMode();
  ASSERT_TRUE(expected) << "no default printer";
  cCommonDialog dialog;
  for (const auto& [units, left, top, right, bottom] :
       {std::tuple(0, 1, 2, 1, 1), std::tuple(1, 20, 25, 15, 30)}) {
    PageSetupDlgArgs args;
    args.Units = units;
    args.LeftMargin = left;
    args.TopMargin = top;
    args.RightMargin = right;
    args.BottomMargin = bottom;
    {
      Driver driver([](HWND found) { PressButton(found, IDOK); });
      EXPECT_TRUE(dialog.VBPageSetupDlg(args)) << dialog.ExtendedError();
      ASSERT_TRUE(driver.Found());
    }
    EXPECT_EQ(std::tuple(args.LeftMargin, args.TopMargin, args.RightMargin, args.BottomMargin),
              std::tuple(left, top, right, bottom))
        << units;
    EXPECT_EQ(args.PaperSize, expected->dmPaperSize);
    EXPECT_EQ(args.Orientation, expected->dmOrientation);
  }

  PageSetupDlgArgs cancelled;
  cancelled.LeftMargin = 1;
  cancelled.PaperSize = 99;
  {
    Driver driver([](HWND found) { PressButton(found, IDCANCEL); });
    EXPECT_FALSE(dialog.VBPageSetupDlg(cancelled));
    ASSERT_TRUE(driver.Found());
  }
  EXPECT_EQ(std::tuple(dialog.APIReturn(), dialog.ExtendedError()), std::tuple(0, 0));
  EXPECT_EQ(std::tuple(cancelled.LeftMargin, cancelled.PaperSize), std::tuple(1, 99));
}

}  // namespace
