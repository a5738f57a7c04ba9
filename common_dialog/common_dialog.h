#pragma once
// cCommonDialog: the Windows common dialogs behind one object. Each operation
// takes one argument struct whose fields are its parameters in order, with
// their defaults; in/out fields are written back in place. An operation that
// shows a dialog returns true when the user accepted it; APIReturn and
// ExtendedError then tell how the dialog function ended. Arguments that do not
// fit raise toolkit::RaisedError.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dialog_functions.h"

struct IFontDisp;
struct IDispatch;

struct OpenFileNameArgs {
  explicit OpenFileNameArgs(std::wstring fileName) : FileName(std::move(fileName)) {}
  std::wstring FileName;
  std::wstring FileTitle;
  bool FileMustExist = true;
  bool MultiSelect = false;
  bool ReadOnly = false;
  bool HideReadOnly = false;
  std::wstring Filter = L"All (*.*)| *.*";
  std::int32_t FilterIndex = 1;
  std::wstring InitDir;
  std::wstring DlgTitle;
  std::wstring DefaultExt;
  std::int32_t Owner = -1;
  std::int32_t flags = 0;
};

struct SaveFileNameArgs {
  explicit SaveFileNameArgs(std::wstring fileName) : FileName(std::move(fileName)) {}
  std::wstring FileName;
  std::wstring FileTitle;
  bool OverWritePrompt = true;
  std::wstring Filter = L"All (*.*)| *.*";
  std::int32_t FilterIndex = 1;
  std::wstring InitDir;
  std::wstring DlgTitle;
  std::wstring DefaultExt;
  std::int32_t Owner = -1;
  std::int32_t flags = 0;
};

struct ChooseColorArgs {
  explicit ChooseColorArgs(std::int32_t color) : Color(color) {}
  std::int32_t Color;
  bool AnyColor = true;
  bool FullOpen = false;
  bool DisableFullOpen = false;
  std::int32_t Owner = -1;
  std::int32_t flags = 0;
};

struct ChooseFontArgs {
  explicit ChooseFontArgs(IFontDisp* curFont) : CurFont(curFont) {}
  IFontDisp* CurFont;  // a standard font object; any other object raises 13
  // -1 with CF_PRINTERFONTS receives the current printer's context, which stays
  // the toolkit's: use it, never delete it.
  std::int32_t PrinterDC = -1;
  std::int32_t Owner = -1;
  std::int32_t Color = 0;
  std::int32_t MinSize = 0;
  std::int32_t MaxSize = 0;
  std::int32_t flags = 0;
};

struct PrintDlgArgs {
  explicit PrintDlgArgs(std::int32_t hdcIn) : hdc(hdcIn) {}
  std::int32_t hdc;
  std::int32_t PrintRange = 0;
  bool DisablePageNumbers = false;
  std::int32_t FromPage = 1;
  std::int32_t ToPage = -1;
  bool DisableSelection = false;
  std::int16_t Copies = 0;
  bool ShowPrintToFile = false;
  bool DisablePrintToFile = true;
  bool PrintToFile = false;
  bool Collate = false;
  bool PreventWarning = false;
  std::int32_t Owner = 0;
  IDispatch* Printer = nullptr;
  std::int32_t flags = 0;
};

struct PageSetupDlgArgs {
  std::int32_t Owner = 0;
  bool DisableMargins = false;
  bool DisableOrientation = false;
  bool DisablePaper = false;
  bool DisablePrinter = false;
  std::int32_t LeftMargin = 0;
  std::int32_t MinLeftMargin = 0;
  std::int32_t RightMargin = 0;
  std::int32_t MinRightMargin = 0;
  std::int32_t TopMargin = 0;
  std::int32_t MinTopMargin = 0;
  std::int32_t BottomMargin = 0;
  std::int32_t MinBottomMargin = 0;
  std::int32_t PaperSize = 1;
  std::int32_t Orientation = 1;
  std::int32_t PrintQuality = -1;
  std::int32_t Units = 0;
  IDispatch* Printer = nullptr;
  std::int32_t flags = 0;
};

// The printer settings of the last confirmed print dialog, in the layout of the
// Windows device mode; the two names are held as 32-character strings.
struct PrinterDevModeRecord {
  std::wstring dmDeviceName = std::wstring(32, L'\0');
  std::uint16_t dmSpecVersion = 0, dmDriverVersion = 0, dmSize = 0, dmDriverExtra = 0;
  std::uint32_t dmFields = 0;
  std::int16_t dmOrientation = 0, dmPaperSize = 0, dmPaperLength = 0, dmPaperWidth = 0, dmScale = 0,
               dmCopies = 0, dmDefaultSource = 0, dmPrintQuality = 0, dmColor = 0, dmDuplex = 0,
               dmYResolution = 0, dmTTOption = 0, dmCollate = 0;
  std::wstring dmFormName = std::wstring(32, L'\0');
  std::uint16_t dmLogPixels = 0;
  std::uint16_t dmBitsPerPel = 0;
  std::uint32_t dmPelsWidth = 0, dmPelsHeight = 0, dmDisplayFlags = 0, dmDisplayFrequency = 0;

  bool operator==(const PrinterDevModeRecord&) const = default;
};

class cCommonDialog {
 public:
  explicit cCommonDialog(DialogFunctions functions = SystemDialogFunctions())
      : dialogs_(functions) {}

  std::int32_t APIReturn() const { return LastAPIReturn; }
  std::int32_t ExtendedError() const { return LastExtendedError; }
  // Every file of the last open dialog's selection, each the folder's full
  // path joined with its name. Filled only when the caller passed OFN_EXPLORER
  // in `flags` with MultiSelect: FileName keeps only the buffer's text up to
  // its first NUL, which for several files is the folder alone.
  const std::vector<std::wstring>& FileNames() const { return LastFileNames; }
  bool VBGetOpenFileName(OpenFileNameArgs& args);
  bool VBGetSaveFileName(SaveFileNameArgs& args);
  std::wstring VBGetFileTitle(const std::wstring& sFile);
  bool VBChooseColor(ChooseColorArgs& args);
  std::int32_t CustomColor(std::int16_t i);
  void CustomColor(std::int16_t i, std::int32_t iValue);
  bool VBChooseFont(ChooseFontArgs& args);
  bool VBPrintDlg(PrintDlgArgs& args);
  bool VBPageSetupDlg(PageSetupDlgArgs& args);

  // The printer settings of the last confirmed print dialog.
  PrinterDevModeRecord GetPrinterDevMode() const { return PrinterDevMode; }

  // Raises `number` as the object's own error when it is above 1000 (OR-ed
  // into the object-defined range, source "<exe>.CommonDialog", no text) and
  // as a run-time error otherwise (source "<exe>.VBError", the standard text).
  [[noreturn]] void RaiseError(std::int32_t number) const;

 private:
  template <class Args>
  bool ShowFileDialog(Args& args, DWORD flags, decltype(&::GetOpenFileNameW) show,
                      std::int32_t cancelledIndex);
  void FillCustomColorsFromSystem();

  DialogFunctions dialogs_;
  std::array<COLORREF, 16> CustomColorTable{};
  bool CustomColorTableReady = false;
  std::int32_t LastAPIReturn = 0;
  std::int32_t LastExtendedError = 0;
  std::vector<std::wstring> LastFileNames;
  PrinterDevModeRecord PrinterDevMode;
};
