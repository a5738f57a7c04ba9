#include <cstdint>
#include <limits>

#include "caller_flags.h"
#include "common_dialog.h"
#include "handle_values.h"
#include "printer_settings.h"
#include "raised_error.h"
#include "record_sizes.h"
#include "rounding.h"

namespace {

// The unit is the one `Units` chooses: the margins are scaled to it.
constexpr DWORD kUnitFlags = PSD_INTHOUSANDTHSOFINCHES | PSD_INHUNDREDTHSOFMILLIMETERS;

DWORD PageSetupFlags(const PageSetupDlgArgs& args) {
  DWORD flags = PSD_MINMARGINS | PSD_MARGINS;
  if (args.DisableMargins) flags |= PSD_DISABLEMARGINS;
  if (args.DisableOrientation) flags |= PSD_DISABLEORIENTATION;
  if (args.DisablePaper) flags |= PSD_DISABLEPAPER;
  if (args.DisablePrinter) flags |= PSD_DISABLEPRINTER;
  flags |= args.Units == 0 ? PSD_INTHOUSANDTHSOFINCHES : PSD_INHUNDREDTHSOFMILLIMETERS;
  return flags | (CallerFlags(args.flags, kPageSetupHooksAndTemplates) & ~kUnitFlags);
}

// Whole inches become thousandths, whole millimetres hundredths.
std::int32_t Scaled(std::int32_t margin, std::int32_t scale) {
  const std::int64_t product = std::int64_t{margin} * scale;
  if (product < std::numeric_limits<std::int32_t>::min() ||
      product > std::numeric_limits<std::int32_t>::max()) {
    toolkit::Raise(toolkit::kOverflow);
  }
  return static_cast<std::int32_t>(product);
}

// Back to whole units, a half going to the even neighbour.
std::int32_t Unscaled(LONG value, std::int32_t scale) { return RoundHalfEven(value, scale); }

}  // namespace

bool cCommonDialog::VBPageSetupDlg(PageSetupDlgArgs& args) {
  LastAPIReturn = 0;
  LastExtendedError = 0;

  const std::int32_t scale = args.Units == 0 ? 1000 : 100;
  PAGESETUPDLGW record{};
  record.lStructSize = record_sizes::kPageSetupDlg;
  record.hwndOwner = toolkit::ToHandle<HWND>(args.Owner);
  record.Flags = PageSetupFlags(args);
  record.rtMargin.top = Scaled(args.TopMargin, scale);
  record.rtMargin.left = Scaled(args.LeftMargin, scale);
  record.rtMargin.bottom = Scaled(args.BottomMargin, scale);
  record.rtMargin.right = Scaled(args.RightMargin, scale);
  record.rtMinMargin.top = Scaled(args.MinTopMargin, scale);
  record.rtMinMargin.left = Scaled(args.MinLeftMargin, scale);
  record.rtMinMargin.bottom = Scaled(args.MinBottomMargin, scale);
  record.rtMinMargin.right = Scaled(args.MinRightMargin, scale);

  LastAPIReturn = static_cast<std::int16_t>(dialogs_.PageSetupDlg(&record));
  const printer_settings::ReturnedMemory returned(record.hDevMode, record.hDevNames);
  if (LastAPIReturn == 0) {
    LastExtendedError = static_cast<std::int32_t>(dialogs_.CommDlgExtendedError());
    return false;
  }

  args.TopMargin = Unscaled(record.rtMargin.top, scale);
  args.LeftMargin = Unscaled(record.rtMargin.left, scale);
  args.BottomMargin = Unscaled(record.rtMargin.bottom, scale);
  args.RightMargin = Unscaled(record.rtMargin.right, scale);
  args.MinTopMargin = Unscaled(record.rtMinMargin.top, scale);
  args.MinLeftMargin = Unscaled(record.rtMinMargin.left, scale);
  args.MinBottomMargin = Unscaled(record.rtMinMargin.bottom, scale);
  args.MinRightMargin = Unscaled(record.rtMinMargin.right, scale);
  args.flags = static_cast<std::int32_t>(record.Flags);
  if (const auto mode = printer_settings::ReadDevMode(record.hDevMode)) {
    args.PaperSize = mode->dmPaperSize;
    args.Orientation = mode->dmOrientation;
    args.PrintQuality = mode->dmPrintQuality;
    printer_settings::PassToPrinter(args.Printer, mode->dmCopies, *mode);
  }
  return true;
}
