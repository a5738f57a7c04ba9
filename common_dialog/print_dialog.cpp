#include <limits>

#include "caller_flags.h"
#include "common_dialog.h"
#include "handle_values.h"
#include "printer_settings.h"
#include "raised_error.h"
#include "record_sizes.h"

namespace {

DWORD PrintFlags(const PrintDlgArgs& args) {
  DWORD flags = PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE;
  if (args.DisablePageNumbers) flags |= PD_NOPAGENUMS;
  if (args.DisableSelection) flags |= PD_NOSELECTION;
  if (args.Collate) flags |= PD_COLLATE;
  if (args.PrintToFile) flags |= PD_PRINTTOFILE;
  if (args.PreventWarning) flags |= PD_NOWARNING;
  if (args.DisablePrintToFile) flags |= PD_DISABLEPRINTTOFILE;
  if (!args.ShowPrintToFile) flags |= PD_HIDEPRINTTOFILE;
  if (args.PrintRange == 1) flags |= PD_PAGENUMS;
  if (args.PrintRange == 2) flags |= PD_SELECTION;
  return flags | CallerFlags(args.flags, kPrintHooksAndTemplates);
}

// A page number travels as the bit pattern of a signed 16-bit value: -1 is 0xFFFF.
WORD PageField(std::int32_t page) {
  if (page < std::numeric_limits<std::int16_t>::min() ||
      page > std::numeric_limits<std::int16_t>::max()) {
    toolkit::Raise(toolkit::kOverflow);
  }
  return static_cast<WORD>(page);
}

std::int32_t PageNumber(WORD field) { return static_cast<std::int16_t>(field); }

}  // namespace

bool cCommonDialog::VBPrintDlg(PrintDlgArgs& args) {
  LastAPIReturn = 0;
  LastExtendedError = 0;

  PRINTDLGW record{};
  record.lStructSize = record_sizes::kPrintDlg;
  record.hwndOwner = toolkit::ToHandle<HWND>(args.Owner);
  record.Flags = PrintFlags(args);
  record.nFromPage = PageField(args.FromPage);
  record.nToPage = PageField(args.ToPage);
  record.nMinPage = 1;
  record.nMaxPage = 0xFFFF;

  LastAPIReturn = static_cast<std::int16_t>(dialogs_.PrintDlg(&record));
  const printer_settings::ReturnedMemory returned(record.hDevMode, record.hDevNames);
  if (LastAPIReturn != 1) {
    LastExtendedError = static_cast<std::int32_t>(dialogs_.CommDlgExtendedError());
    return false;
  }

  args.hdc = toolkit::HandleValue(record.hDC);
  args.PrintRange = (record.Flags & PD_PAGENUMS) ? 1 : (record.Flags & PD_SELECTION) ? 2 : 0;
  args.FromPage = PageNumber(record.nFromPage);
  args.ToPage = PageNumber(record.nToPage);
  args.PrintToFile = (record.Flags & PD_PRINTTOFILE) != 0;
  args.flags = static_cast<std::int32_t>(record.Flags);
  if (const auto mode = printer_settings::ReadDevMode(record.hDevMode)) {
    PrinterDevMode = *mode;
    args.Copies = PrinterDevMode.dmCopies;
    args.Collate = PrinterDevMode.dmCollate == 1;
    printer_settings::PassToPrinter(args.Printer, args.Copies, PrinterDevMode);
  }
  return true;
}
