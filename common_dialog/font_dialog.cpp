// The font dialog, preset from an OLE font object and writing the chosen font
// back into it.
#include <algorithm>
#include <iterator>

#include <olectl.h>

#include "caller_flags.h"
#include "common_dialog.h"
#include "font_dialog.h"
#include "font_object.h"
#include "font_size.h"
#include "handle_values.h"
#include "printer.h"
#include "record_sizes.h"
#include "twips.h"

namespace {

// Settles the device context and the flag word before the dialog opens; the
// caller sees both changes whatever the outcome. The current printer's context
// stays the toolkit's: the caller borrows it.
void SettleFlags(ChooseFontArgs& args) {
  if (args.PrinterDC == -1) {
    args.PrinterDC = 0;
    if (args.flags & CF_PRINTERFONTS)
      args.PrinterDC = toolkit::HandleValue(toolkit::CurrentPrinterDC());
  } else {
    args.flags |= CF_PRINTERFONTS;
  }
  if (!(args.flags & CF_PRINTERFONTS)) args.flags |= CF_SCREENFONTS;
  if (args.Color != 0) args.flags |= CF_EFFECTS;
  if (args.MinSize != 0 || args.MaxSize != 0) args.flags |= CF_LIMITSIZE;
  // No apply button is ever handled, and no style buffer is given: a
  // CF_USESTYLE would let the dialog read a style name through a null pointer.
  const DWORD kept =
      CallerFlags(args.flags, kFontHooksAndTemplates) & ~static_cast<DWORD>(CF_APPLY | CF_USESTYLE);
  args.flags = static_cast<std::int32_t>(kept | CF_INITTOLOGFONTSTRUCT);
}

std::uint8_t StyleByte(bool on) { return on ? 0xFF : 0; }

}  // namespace

bool cCommonDialog::VBChooseFont(ChooseFontArgs& args) {
  LastAPIReturn = 0;
  LastExtendedError = 0;
  toolkit::FontObject font(args.CurFont);
  SettleFlags(args);

  const CY size = font.Size();
  LOGFONTW logFont{};
  logFont.lfHeight = font_size::LogicalHeight(size, toolkit::ScreenDpiY());
  logFont.lfWeight = font.Weight();
  logFont.lfItalic = StyleByte(font.Italic());
  logFont.lfUnderline = StyleByte(font.Underline());
  logFont.lfStrikeOut = StyleByte(font.Strikethrough());
  font_dialog::StoreTextInCharBuffer(logFont.lfFaceName, font.Name());

  CHOOSEFONTW record{};
  record.lStructSize = record_sizes::kChooseFont;
  record.hwndOwner = toolkit::OwnerWindow(args.Owner);
  record.hDC = toolkit::ToHandle<HDC>(args.PrinterDC);
  record.lpLogFont = &logFont;
  record.iPointSize = font_size::TenthsOfPoint(size);
  record.Flags = static_cast<DWORD>(args.flags);
  record.rgbColors = static_cast<COLORREF>(args.Color);
  record.nSizeMin = args.MinSize;
  record.nSizeMax = args.MaxSize;

  LastAPIReturn = dialogs_.ChooseFont(&record);
  if (LastAPIReturn != 1) {
    LastExtendedError = static_cast<std::int32_t>(dialogs_.CommDlgExtendedError());
    return false;
  }
  args.flags = static_cast<std::int32_t>(record.Flags);
  args.Color = static_cast<std::int32_t>(record.rgbColors);
  // Weight follows Bold so that the dialog's exact weight is the one that stands.
  font.SetBold(record.nFontType & BOLD_FONTTYPE);
  font.SetItalic(logFont.lfItalic);
  font.SetStrikethrough(logFont.lfStrikeOut);
  font.SetUnderline(logFont.lfUnderline);
  font.SetWeight(logFont.lfWeight);
  font.SetSize(record.iPointSize / 10.0);
  font.SetName(font_dialog::TextFromCharBuffer(logFont.lfFaceName));
  return true;
}

namespace font_dialog {

void StoreTextInCharBuffer(WCHAR (&buffer)[LF_FACESIZE], const std::wstring& text) {
  std::size_t length = std::min(text.size(), std::size(buffer) - 1);
  if (length < text.size() && length > 0 && IS_HIGH_SURROGATE(text[length - 1])) --length;
  std::fill(std::copy_n(text.begin(), length, buffer), std::end(buffer), L'\0');
}

std::wstring TextFromCharBuffer(const WCHAR (&buffer)[LF_FACESIZE]) {
  return std::wstring(buffer, std::find(std::begin(buffer), std::end(buffer), L'\0'));
}

}  // namespace font_dialog
