// The colour and font operations of cCommonDialog: through the dialog-function
// table for what a real dialog cannot show (flag words, records, failures), and
// with the real dialogs, driven from a second thread, for the happy paths.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <cderr.h>
#include <colordlg.h>
#include <dlgs.h>
#include <olectl.h>

#include "architecture.h"
#include "common_dialog.h"
#include "dialog_driver.h"
#include "font_dialog.h"
#include "font_size.h"
#include "handle_values.h"
#include "raised.h"
#include "rounding_mode.h"
#include "twips.h"

namespace {

using dialog_driver::Driver;

// What the fake dialog functions saw and what they play back. Plain function
// pointers carry no state, hence one instance for the whole file.
struct FakeDialog {
  int calls = 0;
  CHOOSECOLORW color{};
  CHOOSEFONTW font{};
  LOGFONTW logFont{};
  BOOL result = 1;
  DWORD extendedError = 0;
  COLORREF pickedColor = 0;
  int customSlot = -1;  // the custom slot the user redefines, if any
  COLORREF customColor = 0;
  LOGFONTW pickedFont{};
  INT pickedPointSize = 0;
  WORD pickedFontType = 0;
  DWORD pickedFlags = 0;
  COLORREF pickedFontColor = 0;
};
FakeDialog fake;

BOOL WINAPI FakeChooseColor(CHOOSECOLORW* record) {
  ++fake.calls;
  fake.color = *record;
  if (fake.result != 1) return fake.result;
  record->rgbResult = fake.pickedColor;
  if (fake.customSlot >= 0) record->lpCustColors[fake.customSlot] = fake.customColor;
  return 1;
}

BOOL WINAPI FakeChooseFont(CHOOSEFONTW* record) {
  ++fake.calls;
  fake.font = *record;
  fake.logFont = *record->lpLogFont;
  if (fake.result != 1) return fake.result;
  *record->lpLogFont = fake.pickedFont;
  record->iPointSize = fake.pickedPointSize;
  record->nFontType = fake.pickedFontType;
  record->Flags = fake.pickedFlags;
  record->rgbColors = fake.pickedFontColor;
  return 1;
}

DWORD WINAPI FakeCommDlgExtendedError() { return fake.extendedError; }

DialogFunctions FakeDialogFunctions() {
  DialogFunctions functions = SystemDialogFunctions();
  functions.ChooseColor = FakeChooseColor;
  functions.ChooseFont = FakeChooseFont;
  functions.CommDlgExtendedError = FakeCommDlgExtendedError;
  return functions;
}

class Seam : public ::testing::Test {
 protected:
  void SetUp() override { fake = FakeDialog{}; }
  cCommonDialog dialog{FakeDialogFunctions()};
};

CY Points(double points) {
  CY value;
  value.int64 = std::llround(points * 10000);
  return value;
}

// ---------------------------------------------------------------- colour

TEST_F(Seam, ColourFlagWordComesFromTheThreeOptionsOnly) {
  struct Case {
    bool anyColor, fullOpen, disableFullOpen;
    std::int32_t flags;
    DWORD expected;
  };
  const Case cases[] = {
      {true, false, false, 0, 0x101},
      {false, false, false, 0, 0x81},
      {true, true, false, 0, 0x103},
      {true, false, true, 0, 0x105},
      {true, true, true, 0, 0x107},
      {true, false, false, CC_ENABLEHOOK | CC_ENABLETEMPLATE | CC_SHOWHELP, 0x101},
  };
  for (const Case& c : cases) {
    ChooseColorArgs args(0x00336699);
    args.AnyColor = c.anyColor;
    args.FullOpen = c.fullOpen;
    args.DisableFullOpen = c.disableFullOpen;
    args.flags = c.flags;
    dialog.VBChooseColor(args);
    EXPECT_EQ(fake.color.Flags, c.expected) << c.anyColor << c.fullOpen << c.disableFullOpen;
  }
}

TEST_F(Seam, ColourRecordCarriesPresetOwnerAndTable) {
  ChooseColorArgs args(0x00336699);
  fake.pickedColor = 0x00112233;
  EXPECT_TRUE(dialog.VBChooseColor(args));
  EXPECT_EQ(fake.color.lStructSize, architecture::PerArchitecture(36u, 72u));
  EXPECT_EQ(fake.color.hwndOwner, nullptr);
  EXPECT_EQ(fake.color.rgbResult, 0x00336699u);
  EXPECT_EQ(fake.color.lpCustColors[5], GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(fake.color.lpfnHook, nullptr);
  EXPECT_EQ(fake.color.lpTemplateName, nullptr);
  EXPECT_EQ(args.Color, 0x00112233);
  EXPECT_EQ(dialog.APIReturn(), 1);

  args.Owner = 0x1234;
  dialog.VBChooseColor(args);
  EXPECT_EQ(fake.color.hwndOwner, reinterpret_cast<HWND>(0x1234));
}

TEST_F(Seam, ColourCancelAndFailure) {
  ChooseColorArgs args(0x00336699);
  fake.result = 0;
  EXPECT_FALSE(dialog.VBChooseColor(args));
  EXPECT_EQ(args.Color, -1);
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), 0);

  fake.extendedError = CDERR_INITIALIZATION;
  args.Color = 0x00336699;
  EXPECT_FALSE(dialog.VBChooseColor(args));
  EXPECT_EQ(args.Color, -1);
  EXPECT_EQ(dialog.ExtendedError(), CDERR_INITIALIZATION);

  // A confirmed colour dialog leaves the extended error of the earlier call.
  fake.result = 1;
  fake.extendedError = 0;
  EXPECT_TRUE(dialog.VBChooseColor(args));
  EXPECT_EQ(dialog.APIReturn(), 1);
  EXPECT_EQ(dialog.ExtendedError(), CDERR_INITIALIZATION);
}

TEST_F(Seam, CustomColoursStartAsSystemColoursAndStay) {
  EXPECT_EQ(dialog.CustomColor(16), -1);
  for (std::int16_t i = 0; i < 16; ++i) {
    EXPECT_EQ(dialog.CustomColor(i), static_cast<std::int32_t>(GetSysColor(i))) << i;
  }
  EXPECT_EQ(dialog.CustomColor(-1), -1);

  dialog.CustomColor(3, 0x00ABCDEF);
  dialog.CustomColor(20, 0x00FFFFFF);
  dialog.CustomColor(-1, 0x00FFFFFF);
  EXPECT_EQ(dialog.CustomColor(3), 0x00ABCDEF);

  // The dialog sees the table in place and its changes stay in it.
  ChooseColorArgs args(0);
  fake.customSlot = 7;
  fake.customColor = 0x00010203;
  dialog.VBChooseColor(args);
  fake.customSlot = -1;
  dialog.VBChooseColor(args);
  EXPECT_EQ(fake.color.lpCustColors[3], 0x00ABCDEFu);
  EXPECT_EQ(dialog.CustomColor(7), 0x00010203);
  EXPECT_EQ(dialog.CustomColor(3), 0x00ABCDEF);
  EXPECT_EQ(dialog.CustomColor(5), static_cast<std::int32_t>(GetSysColor(COLOR_WINDOW)));

  cCommonDialog fresh;  // a first access by the setter fills the other slots too
  fresh.CustomColor(3, 0x00ABCDEF);
  EXPECT_EQ(fresh.CustomColor(2), static_cast<std::int32_t>(GetSysColor(2)));
}

// ---------------------------------------------------------------- font

// A real font object, made the way a caller makes one. A font object stands for
// the nearest font the system has, so a face that is not installed (Tahoma
// under a bare Wine) reports the face that stands in.
IFont* CreateOleFont(const wchar_t* face, LONGLONG size, SHORT weight, bool italic = false) {
  CY points;
  points.int64 = size;
  FONTDESC description{sizeof(FONTDESC),
                       const_cast<LPOLESTR>(face),
                       points,
                       weight,
                       DEFAULT_CHARSET,
                       italic,
                       FALSE,
                       FALSE};
  IFont* font = nullptr;
  OleCreateFontIndirect(&description, IID_IFont, reinterpret_cast<void**>(&font));
  return font;
}

// An IFontDisp that keeps its properties as invariant text, hands them out in
// the font object's own types and records every call. Asked for IFont it hands
// over a real font object, as a font does, unless it plays an automation object
// that merely answers the font's dispatch ids. The failing property refuses,
// with exception information when a code is set.
class FakeFont : public IFontDisp {
 public:
  struct Call {
    DISPID id;
    VARTYPE type;  // of a written value; VT_EMPTY for a read
    std::wstring value;
  };
  std::vector<Call> calls;
  std::map<DISPID, std::wstring> properties = {
      {DISPID_FONT_NAME, L"Tahoma"}, {DISPID_FONT_SIZE, L"10"}, {DISPID_FONT_WEIGHT, L"700"},
      {DISPID_FONT_ITALIC, L"-1"},   {DISPID_FONT_UNDER, L"0"}, {DISPID_FONT_STRIKE, L"0"}};
  bool isFont = true;
  DISPID failing = DISPID_UNKNOWN;
  WORD refusalCode = 0;
  SCODE refusalScode = S_OK;
  std::wstring refusalText;
  std::wstring refusalSource;

  FakeFont() : standIn_(CreateOleFont(L"Tahoma", 100000, FW_NORMAL)) {}
  ~FakeFont() {
    if (standIn_) standIn_->Release();
  }
  FakeFont(const FakeFont&) = delete;
  FakeFont& operator=(const FakeFont&) = delete;

  std::vector<Call> Writes() const {
    std::vector<Call> writes;
    for (const Call& c : calls) {
      if (c.type != VT_EMPTY) writes.push_back(c);
    }
    return writes;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IFont)) {
      *object = nullptr;
      return isFont && standIn_ ? standIn_->QueryInterface(iid, object) : E_NOINTERFACE;
    }
    *object = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* parameters,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    if (id == failing) {
      if (!exception || (refusalCode == 0 && refusalScode == S_OK)) return DISP_E_MEMBERNOTFOUND;
      exception->wCode = refusalCode;
      exception->scode = refusalScode;
      exception->bstrDescription =
          refusalText.empty() ? nullptr : SysAllocString(refusalText.c_str());
      exception->bstrSource =
          refusalSource.empty() ? nullptr : SysAllocString(refusalSource.c_str());
      return DISP_E_EXCEPTION;
    }
    VARIANT text;
    VariantInit(&text);
    if (kind == DISPATCH_PROPERTYPUT) {
      VariantChangeTypeEx(&text, &parameters->rgvarg[0], LOCALE_INVARIANT, 0, VT_BSTR);
      calls.push_back({id, parameters->rgvarg[0].vt, text.bstrVal});
      VariantClear(&text);
      return S_OK;
    }
    calls.push_back({id, VT_EMPTY, L""});
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(properties.at(id).c_str());
    const VARTYPE type = id == DISPID_FONT_NAME     ? VT_BSTR
                         : id == DISPID_FONT_SIZE   ? VT_CY
                         : id == DISPID_FONT_WEIGHT ? VT_I2
                                                    : VT_BOOL;
    const HRESULT converted = VariantChangeTypeEx(result, &text, LOCALE_INVARIANT, 0, type);
    VariantClear(&text);
    return converted;
  }

 private:
  IFont* standIn_;
};

class FontSeam : public Seam {
 protected:
  FakeFont font;
};

TEST_F(FontSeam, FlagWordAndPrinterContextBeforeTheDialog) {
  struct Case {
    std::int32_t printerDC, color, minSize, maxSize, flags;
    std::int32_t expectedFlags, expectedDC;
  };
  const Case cases[] = {
      {-1, 0, 0, 0, 0, 0x41, 0},  // every option left out
      {0, 0, 0, 0, 0, 0x42, 0},   // 0 is a context like any other
      {0x5678, 0, 0, 0, 0, 0x42, 0x5678},
      {-1, 0x0000FF, 0, 0, 0, 0x141, 0},    // a colour asks for the effects
      {-1, 0, 0, 0, CF_EFFECTS, 0x141, 0},  // black only with the caller's CF_EFFECTS
      {-1, 0, 8, 0, 0, 0x2041, 0},
      {-1, 0, 0, 72, 0, 0x2041, 0},
      {-1, 0, 0, 0,
       CF_ENABLEHOOK | CF_ENABLETEMPLATE | CF_ENABLETEMPLATEHANDLE | CF_APPLY | CF_USESTYLE, 0x41,
       0},
      {-1, 0, 0, 0, CF_TTONLY | CF_NOVERTFONTS, 0x41 | CF_TTONLY | CF_NOVERTFONTS, 0},
  };
  fake.result = 0;  // flags and context keep their new values after a cancel
  for (const Case& c : cases) {
    ChooseFontArgs args(&font);
    args.PrinterDC = c.printerDC;
    args.Color = c.color;
    args.MinSize = c.minSize;
    args.MaxSize = c.maxSize;
    args.flags = c.flags;
    EXPECT_FALSE(dialog.VBChooseFont(args));
    EXPECT_EQ(args.flags, c.expectedFlags) << std::hex << c.flags;
    EXPECT_EQ(args.PrinterDC, c.expectedDC);
    EXPECT_EQ(static_cast<std::int32_t>(fake.font.Flags), c.expectedFlags);
    EXPECT_EQ(fake.font.hDC, reinterpret_cast<HDC>(c.expectedDC));
    EXPECT_EQ(fake.font.nSizeMin, c.minSize);
    EXPECT_EQ(fake.font.nSizeMax, c.maxSize);
    EXPECT_EQ(fake.font.rgbColors, static_cast<COLORREF>(c.color));
  }
}

// Printer fonts without a context borrow the current printer's; a call, however
// it ends, makes no device context of its own. GetGuiResources counts only on
// Windows (Wine answers 0), so every call must also hand out the one context.
TEST_F(FontSeam, PrinterFontsBorrowOnePrinterContextHoweverTheCallEnds) {
  ChooseFontArgs first(&font);
  first.flags = CF_PRINTERFONTS;
  fake.result = 0;
  dialog.VBChooseFont(first);
  EXPECT_EQ(first.flags, 0x42);
  const HDC printer = toolkit::ToHandle<HDC>(first.PrinterDC);
  ASSERT_NE(printer, nullptr) << "no default printer: is CorvantisPDF set up?";
  EXPECT_EQ(fake.font.hDC, printer);
  EXPECT_EQ(GetDeviceCaps(printer, TECHNOLOGY), DT_RASPRINTER);

  const DWORD objects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  int otherContexts = 0;
  for (int i = 0; i < 100; ++i) {
    fake.result = i % 3 == 0 ? 1 : 0;  // confirmed, cancelled or failed
    fake.extendedError = i % 3 == 2 ? CDERR_INITIALIZATION : 0;
    font.failing = i % 4 == 0 ? DISPID_FONT_NAME : DISPID_UNKNOWN;  // or raised after the flags
    ChooseFontArgs args(&font);
    args.flags = CF_PRINTERFONTS;
    Raised([&] { dialog.VBChooseFont(args); });
    if (args.PrinterDC != first.PrinterDC) ++otherContexts;
  }
  EXPECT_EQ(otherContexts, 0);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), objects);
  EXPECT_EQ(GetObjectType(printer), static_cast<DWORD>(OBJ_DC));
}

// The user's default printer, as the profile names it ("name,driver,port"),
// replaced for the guard's life.
class DefaultPrinterSetting {
 public:
  explicit DefaultPrinterSetting(const std::wstring& device) {
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", 0,
                  KEY_QUERY_VALUE | KEY_SET_VALUE, &key_);
    WCHAR old[MAX_PATH * 3] = {};
    DWORD size = sizeof old - sizeof(WCHAR);
    const auto bytes = reinterpret_cast<BYTE*>(old);
    if (RegQueryValueExW(key_, L"Device", nullptr, nullptr, bytes, &size) == ERROR_SUCCESS)
      old_ = old;
    Write(device);
  }
  ~DefaultPrinterSetting() {
    if (old_) {
      Write(*old_);
    } else {
      RegDeleteValueW(key_, L"Device");
    }
    RegCloseKey(key_);
  }
  DefaultPrinterSetting(const DefaultPrinterSetting&) = delete;
  DefaultPrinterSetting& operator=(const DefaultPrinterSetting&) = delete;

 private:
  void Write(const std::wstring& device) {
    RegSetValueExW(key_, L"Device", 0, REG_SZ, reinterpret_cast<const BYTE*>(device.c_str()),
                   static_cast<DWORD>((device.size() + 1) * sizeof(WCHAR)));
  }
  HKEY key_ = nullptr;
  std::optional<std::wstring> old_;
};

// The borrowed context follows the default printer: a change deletes the old
// one, and a default printer that cannot be opened gives none.
TEST_F(FontSeam, PrinterFontsFollowAChangeOfTheDefaultPrinter) {
  fake.result = 0;
  const auto borrow = [&] {
    ChooseFontArgs args(&font);
    args.flags = CF_PRINTERFONTS;
    dialog.VBChooseFont(args);
    return toolkit::ToHandle<HDC>(args.PrinterDC);
  };
  const HDC before = borrow();
  ASSERT_NE(before, nullptr) << "no default printer: is CorvantisPDF set up?";
  {
    const DefaultPrinterSetting nowhere(L"Corvantis Nowhere,winspool,Ne99:");
    EXPECT_EQ(borrow(), nullptr);
    EXPECT_EQ(GetObjectType(before), 0u);
  }
  const HDC after = borrow();
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(GetDeviceCaps(after, TECHNOLOGY), DT_RASPRINTER);
  EXPECT_EQ(borrow(), after);
}

TEST_F(FontSeam, RecordIsPresetFromTheFontObject) {
  ChooseFontArgs args(&font);
  font.properties[DISPID_FONT_SIZE] = L"12";
  font.properties[DISPID_FONT_UNDER] = L"-1";
  args.Owner = 0x1234;
  fake.result = 0;
  dialog.VBChooseFont(args);
  EXPECT_EQ(fake.font.lStructSize, architecture::PerArchitecture(60u, 104u));
  EXPECT_EQ(fake.font.hwndOwner, reinterpret_cast<HWND>(0x1234));
  EXPECT_EQ(fake.font.iPointSize, 120);
  EXPECT_EQ(fake.font.lpszStyle, nullptr);
  EXPECT_EQ(fake.font.lpfnHook, nullptr);
  EXPECT_EQ(fake.logFont.lfHeight, -MulDiv(12, toolkit::ScreenDpiY(), 72));
  EXPECT_EQ(fake.logFont.lfWeight, FW_BOLD);
  EXPECT_EQ(fake.logFont.lfItalic, 255);
  EXPECT_EQ(fake.logFont.lfUnderline, 255);
  EXPECT_EQ(fake.logFont.lfStrikeOut, 0);
  EXPECT_EQ(fake.logFont.lfCharSet, ANSI_CHARSET);
  EXPECT_STREQ(fake.logFont.lfFaceName, L"Tahoma");
  // Read in this order, and nothing written, when the dialog is not confirmed.
  std::vector<DISPID> reads;
  for (const auto& c : font.calls) reads.push_back(c.id);
  EXPECT_EQ(reads, (std::vector<DISPID>{DISPID_FONT_SIZE, DISPID_FONT_WEIGHT, DISPID_FONT_ITALIC,
                                        DISPID_FONT_UNDER, DISPID_FONT_STRIKE, DISPID_FONT_NAME}));
}

TEST_F(FontSeam, ConfirmedDialogWritesTheFontInOrderAndType) {
  fake.pickedFont.lfWeight = 600;
  fake.pickedFont.lfItalic = 0;
  fake.pickedFont.lfUnderline = 255;
  fake.pickedFont.lfStrikeOut = 255;
  fake.pickedFont.lfCharSet = GREEK_CHARSET;
  lstrcpyW(fake.pickedFont.lfFaceName, L"Courier New");
  lstrcpyW(fake.pickedFont.lfFaceName + 12, L"junk");  // after the name's NUL
  fake.pickedPointSize = 105;
  fake.pickedFontType = BOLD_FONTTYPE | SCREEN_FONTTYPE;
  fake.pickedFlags = 0x141;
  fake.pickedFontColor = 0x000000FF;
  ChooseFontArgs args(&font);
  args.Color = 0x00FF0000;
  font.calls.clear();

  ASSERT_TRUE(dialog.VBChooseFont(args));
  EXPECT_EQ(dialog.APIReturn(), 1);
  EXPECT_EQ(args.flags, 0x141);
  EXPECT_EQ(args.Color, 0x000000FF);
  const std::vector<std::tuple<DISPID, VARTYPE, std::wstring>> expected = {
      {DISPID_FONT_BOLD, VT_I4, L"256"},          {DISPID_FONT_ITALIC, VT_UI1, L"0"},
      {DISPID_FONT_STRIKE, VT_UI1, L"255"},       {DISPID_FONT_UNDER, VT_UI1, L"255"},
      {DISPID_FONT_WEIGHT, VT_I4, L"600"},        {DISPID_FONT_SIZE, VT_R8, L"10.5"},
      {DISPID_FONT_NAME, VT_BSTR, L"Courier New"}};
  std::vector<std::tuple<DISPID, VARTYPE, std::wstring>> written;
  for (const auto& w : font.Writes()) written.emplace_back(w.id, w.type, w.value);
  EXPECT_EQ(written, expected);
}

TEST_F(FontSeam, CancelAndFailureLeaveFontAndColour) {
  ChooseFontArgs args(&font);
  args.Color = 0x00FF0000;
  fake.result = 0;
  EXPECT_FALSE(dialog.VBChooseFont(args));
  EXPECT_EQ(args.Color, 0x00FF0000);
  EXPECT_EQ(args.flags, 0x141);
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), 0);
  EXPECT_TRUE(font.Writes().empty());

  fake.extendedError = CDERR_NOHINSTANCE;
  EXPECT_FALSE(dialog.VBChooseFont(args));
  EXPECT_EQ(dialog.ExtendedError(), CDERR_NOHINSTANCE);
  EXPECT_TRUE(font.Writes().empty());
}

TEST_F(FontSeam, NoObjectOrAnObjectThatIsNoFontRaisesBeforeAnythingIsSettled) {
  ChooseFontArgs none(nullptr);
  const auto notSet = Raised([&] { dialog.VBChooseFont(none); });
  ASSERT_TRUE(notSet);
  EXPECT_EQ(notSet->Number(), 91);
  EXPECT_EQ(notSet->Description(), L"Object variable or With block variable not set");
  EXPECT_EQ(none.flags, 0);
  EXPECT_EQ(none.PrinterDC, -1);

  // It answers every font dispatch id, but it is no font: nothing is read or written.
  font.isFont = false;
  ChooseFontArgs lookalike(&font);
  lookalike.flags = CF_PRINTERFONTS;
  const auto mismatch = Raised([&] { dialog.VBChooseFont(lookalike); });
  ASSERT_TRUE(mismatch);
  EXPECT_EQ(mismatch->Number(), 13);
  EXPECT_EQ(mismatch->Description(), L"Type mismatch");
  EXPECT_TRUE(font.calls.empty());
  EXPECT_EQ(lookalike.flags, CF_PRINTERFONTS);
  EXPECT_EQ(lookalike.PrinterDC, -1);
  EXPECT_EQ(fake.calls, 0);
}

TEST_F(FontSeam, AFontThatRefusesRaisesTheNumberItReportsOrNotSupported) {
  struct Case {
    WORD code;
    SCODE scode;
    std::wstring text, source;
    std::int32_t number;
    std::wstring description, expectedSource;
  };
  // Where the object names no source, the error is the program's own.
  const Case cases[] = {
      {0, S_OK, L"", L"", 438, L"Object doesn't support this property or method",
       L"color_font_tests"},  // a bare HRESULT
      {0, E_FAIL, L"Unspecified", L"", 438, L"Object doesn't support this property or method",
       L"color_font_tests"},
      {380, S_OK, L"Invalid property value", L"StdFont", 380, L"Invalid property value",
       L"StdFont"},
      {0, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 6), L"", L"", 6, L"Overflow",
       L"color_font_tests"},
  };
  font.failing = DISPID_FONT_ITALIC;
  for (const Case& c : cases) {
    font.refusalCode = c.code;
    font.refusalScode = c.scode;
    font.refusalText = c.text;
    font.refusalSource = c.source;
    ChooseFontArgs args(&font);
    const auto error = Raised([&] { dialog.VBChooseFont(args); });
    ASSERT_TRUE(error) << c.number;
    EXPECT_EQ(error->Number(), c.number);
    EXPECT_EQ(error->Description(), c.description);
    EXPECT_EQ(error->Source(), c.expectedSource);
  }
  EXPECT_EQ(fake.calls, 0);
  EXPECT_EQ(dialog.APIReturn(), 0);
}

TEST_F(FontSeam, FaceNamesAreCutInsideTheRecordAndEndAtTheirNul) {
  ChooseFontArgs args(&font);
  font.properties[DISPID_FONT_NAME] = std::wstring(40, L'A');
  fake.result = 0;
  dialog.VBChooseFont(args);
  EXPECT_EQ(std::wstring(fake.logFont.lfFaceName), std::wstring(31, L'A'));

  using font_dialog::StoreTextInCharBuffer, font_dialog::TextFromCharBuffer;
  WCHAR buffer[LF_FACESIZE];
  std::fill(std::begin(buffer), std::end(buffer), L'x');
  StoreTextInCharBuffer(buffer, L"微软雅黑");
  EXPECT_EQ(TextFromCharBuffer(buffer), L"微软雅黑");
  EXPECT_EQ(buffer[LF_FACESIZE - 1], L'\0');
  // A cut never splits a surrogate pair.
  StoreTextInCharBuffer(buffer, std::wstring(30, L'B') + L"\xD840\xDC00");
  EXPECT_EQ(TextFromCharBuffer(buffer), std::wstring(30, L'B'));
  // The dialog's answer is read up to its first NUL, and never past the array.
  const std::wstring withTail = std::wstring(L"Arial\0junk", 10);
  std::copy(withTail.begin(), withTail.end(), buffer);
  EXPECT_EQ(TextFromCharBuffer(buffer), L"Arial");
  std::fill(std::begin(buffer), std::end(buffer), L'C');
  EXPECT_EQ(TextFromCharBuffer(buffer), std::wstring(LF_FACESIZE, L'C'));
}

// The rounding is the same whatever rounding mode a printer driver has left.
TEST(FontSize, PointsToPixelsAndTenthsHalvesToEvenInEveryRoundingMode) {
  struct Case {
    double points;
    int pixelsPerInch;  // 96 is 15 twips a pixel, 120 is 12, 72 is 20
    std::int32_t height, tenths;
  };
  const Case cases[] = {
      {10, 96, -13, 100},    {9, 96, -12, 90},      {12, 96, -16, 120},    {10, 120, -17, 100},
      {10.5, 96, -14, 105},  {10.5, 72, -10, 105},  {11.5, 72, -12, 115},  {1.125, 96, -2, 11},
      {-11.5, 72, 12, -115}, {10.05, 72, -10, 100}, {10.15, 72, -10, 102}, {0, 96, 0, 0},
  };
  for (const int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    for (const Case& c : cases) {
      const CY points = Points(c.points);
      const RoundingMode rounding(mode);
      EXPECT_EQ(font_size::LogicalHeight(points, c.pixelsPerInch), c.height)
          << c.points << " mode " << mode;
      EXPECT_EQ(font_size::TenthsOfPoint(points), c.tenths) << c.points << " mode " << mode;
    }
  }
  CY huge;
  huge.int64 = INT64_MAX;
  EXPECT_TRUE(Raised([&] { font_size::TenthsOfPoint(huge); }));
  EXPECT_TRUE(Raised([&] { font_size::LogicalHeight(huge, 96); }));
  EXPECT_TRUE(Raised([&] { font_size::LogicalHeight(Points(10), 0); }));
}

// ---------------------------------------------------------------- real dialogs

TEST(RealColourDialog, OkReturnsThePresetAndCancelReturnsMinusOne) {
  cCommonDialog dialog;
  dialog.CustomColor(3, 0x00ABCDEF);

  ChooseColorArgs args(0x00336699);
  Driver ok([](HWND window) { dialog_driver::PressButton(window, IDOK); });
  EXPECT_TRUE(dialog.VBChooseColor(args));
  EXPECT_TRUE(ok.Found());
  EXPECT_EQ(args.Color, 0x00336699);
  EXPECT_EQ(dialog.APIReturn(), 1);

  Driver cancel([](HWND window) { dialog_driver::PressButton(window, IDCANCEL); });
  EXPECT_FALSE(dialog.VBChooseColor(args));
  EXPECT_TRUE(cancel.Found());
  EXPECT_EQ(args.Color, -1);
  EXPECT_EQ(dialog.APIReturn(), 0);
  EXPECT_EQ(dialog.ExtendedError(), 0);

  EXPECT_EQ(dialog.CustomColor(3), 0x00ABCDEF);
}

TEST(RealColourDialog, ACustomColourDefinedInTheDialogStaysWithTheObject) {
  cCommonDialog dialog;
  ChooseColorArgs args(0x00123456);
  args.FullOpen = true;
  Driver ok([](HWND window) {
    dialog_driver::PressButton(window, COLOR_ADD);
    dialog_driver::PressButton(window, IDOK);
  });
  EXPECT_TRUE(dialog.VBChooseColor(args));
  EXPECT_TRUE(ok.Found());
  EXPECT_EQ(dialog.CustomColor(0), 0x00123456);
  EXPECT_EQ(dialog.CustomColor(1), static_cast<std::int32_t>(GetSysColor(1)));
}

struct ComApartment {
  ComApartment() { CoInitialize(nullptr); }
  ~ComApartment() { CoUninitialize(); }
};

// The real dialog, with what it handed back kept for the comparison.
struct Returned {
  CHOOSEFONTW record{};
  LOGFONTW logFont{};
};
Returned returned;

BOOL WINAPI RecordedChooseFont(CHOOSEFONTW* record) {
  const BOOL result = ::ChooseFontW(record);
  returned = {*record, *record->lpLogFont};
  return result;
}

struct FontState {
  std::wstring name;
  LONGLONG size = 0;
  SHORT weight = 0;
  BOOL bold = FALSE, italic = FALSE, underline = FALSE, strikethrough = FALSE;
};

FontState StateOf(IFont* font) {
  FontState state;
  BSTR name = nullptr;
  CY size{};
  font->get_Name(&name);
  state.name = name ? name : L"";
  SysFreeString(name);
  font->get_Size(&size);
  state.size = size.int64;
  font->get_Weight(&state.weight);
  font->get_Bold(&state.bold);
  font->get_Italic(&state.italic);
  font->get_Underline(&state.underline);
  font->get_Strikethrough(&state.strikethrough);
  return state;
}

TEST(RealFontDialog, OkWritesTheDialogsFontIntoAnOleFont) {
  ComApartment com;
  IFont* font = CreateOleFont(L"Tahoma", Points(10).int64, FW_BOLD, true);
  ASSERT_NE(font, nullptr);
  const FontState before = StateOf(font);
  IFontDisp* fontDisp = nullptr;
  ASSERT_EQ(font->QueryInterface(IID_IFontDisp, reinterpret_cast<void**>(&fontDisp)), S_OK);

  DialogFunctions functions = SystemDialogFunctions();
  functions.ChooseFont = RecordedChooseFont;
  cCommonDialog dialog(functions);
  ChooseFontArgs args(fontDisp);
  std::wstring shownFace, shownStyle, shownSize;
  Driver ok([&](HWND window) {
    shownFace = dialog_driver::ControlText(window, cmb1);
    shownStyle = dialog_driver::ControlText(window, cmb2);
    shownSize = dialog_driver::ControlText(window, cmb3);
    // The user picks the plain style and 12 points.
    SendDlgItemMessageW(window, cmb2, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageW(window, cmb3, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(L"12"));
    for (int combo : {cmb2, cmb3}) {
      SendMessageW(window, WM_COMMAND, MAKEWPARAM(combo, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(GetDlgItem(window, combo)));
    }
    dialog_driver::PressButton(window, IDOK);
  });
  EXPECT_TRUE(dialog.VBChooseFont(args));
  EXPECT_TRUE(ok.Found());
  EXPECT_EQ(shownFace, before.name);
  EXPECT_EQ(shownSize, L"10");
  EXPECT_NE(shownStyle.find(L"Bold"), std::wstring::npos) << shownStyle;
  EXPECT_STREQ(returned.logFont.lfFaceName, before.name.c_str());
  EXPECT_EQ(returned.logFont.lfWeight, FW_NORMAL);
  EXPECT_EQ(returned.logFont.lfItalic, 0);
  EXPECT_EQ(returned.record.iPointSize, 120);

  // The object now stands for the font the dialog returned: it reports what a
  // fresh object made from the dialog's answer reports.
  IFont* reference =
      CreateOleFont(returned.logFont.lfFaceName, returned.record.iPointSize * 1000LL,
                    static_cast<SHORT>(returned.logFont.lfWeight), returned.logFont.lfItalic != 0);
  ASSERT_NE(reference, nullptr);
  const FontState after = StateOf(font);
  const FontState expected = StateOf(reference);
  EXPECT_EQ(after.name, expected.name);
  EXPECT_EQ(after.size, expected.size);
  EXPECT_EQ(after.weight, FW_NORMAL);
  EXPECT_FALSE(after.bold);
  EXPECT_FALSE(after.italic);
  EXPECT_FALSE(after.underline);
  EXPECT_FALSE(after.strikethrough);
  reference->Release();
  fontDisp->Release();
  font->Release();
}

}  // namespace
