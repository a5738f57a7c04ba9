// The colour dialog and the sixteen custom colours the object keeps for it.
#include "common_dialog.h"
#include "handle_values.h"
#include "record_sizes.h"

bool cCommonDialog::VBChooseColor(ChooseColorArgs& args) {
  // ExtendedError is deliberately left as an earlier call set it: only a
  // dialog that is not confirmed writes it.
  CHOOSECOLORW record{};
  record.lStructSize = record_sizes::kChooseColor;
  record.hwndOwner = toolkit::OwnerWindow(args.Owner);
  record.rgbResult = static_cast<COLORREF>(args.Color);
  // The word is built from the three options alone; the caller's `flags` are
  // not merged, so hook and template bits can never reach the dialog.
  record.Flags = (args.AnyColor ? CC_ANYCOLOR : CC_SOLIDCOLOR) | CC_RGBINIT |
                 (args.FullOpen ? CC_FULLOPEN : 0) |
                 (args.DisableFullOpen ? CC_PREVENTFULLOPEN : 0);
  if (!CustomColorTableReady) FillCustomColorsFromSystem();
  record.lpCustColors = CustomColorTable.data();

  LastAPIReturn = dialogs_.ChooseColor(&record);
  if (LastAPIReturn == 1) {
    args.Color = static_cast<std::int32_t>(record.rgbResult);
    return true;
  }
  LastExtendedError = static_cast<std::int32_t>(dialogs_.CommDlgExtendedError());
  args.Color = -1;
  return false;
}

std::int32_t cCommonDialog::CustomColor(std::int16_t i) {
  if (!CustomColorTableReady) FillCustomColorsFromSystem();
  if (i < 0 || i >= static_cast<std::int16_t>(CustomColorTable.size())) return -1;
  return static_cast<std::int32_t>(CustomColorTable[static_cast<std::size_t>(i)]);
}

void cCommonDialog::CustomColor(std::int16_t i, std::int32_t iValue) {
  if (!CustomColorTableReady) FillCustomColorsFromSystem();
  if (i < 0 || i >= static_cast<std::int16_t>(CustomColorTable.size())) return;
  CustomColorTable[static_cast<std::size_t>(i)] = static_cast<COLORREF>(iValue);
}

void cCommonDialog::FillCustomColorsFromSystem() {
  for (std::size_t i = 0; i < CustomColorTable.size(); ++i) {
    CustomColorTable[i] = GetSysColor(static_cast<int>(i));
  }
  CustomColorTableReady = true;
}
