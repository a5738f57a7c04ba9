#pragma once
// What the print and page-setup dialogs share: the device mode they hand back,
// read whole into a record; the memory they hand over, released once read; and
// the chosen settings, passed on to a printer object by property name.

#include <cstdint>
#include <optional>

#include "common_dialog.h"

namespace printer_settings {

// The device mode behind `devMode`, or nothing when there is none to read.
std::optional<PrinterDevModeRecord> ReadDevMode(HGLOBAL devMode);

// Frees the device-mode and device-names memory a dialog returned. The device
// context it may also return belongs to the caller.
class ReturnedMemory {
 public:
  ReturnedMemory(HGLOBAL devMode, HGLOBAL devNames) : devMode_(devMode), devNames_(devNames) {}
  ~ReturnedMemory();
  ReturnedMemory(const ReturnedMemory&) = delete;
  ReturnedMemory& operator=(const ReturnedMemory&) = delete;

 private:
  HGLOBAL devMode_;
  HGLOBAL devNames_;
};

// Puts "Copies", "Orientation", "PaperSize" and "PrintQuality", in that order;
// a property the object rejects is skipped. No object, nothing to do.
void PassToPrinter(IDispatch* printer, std::int16_t copies, const PrinterDevModeRecord& mode);

}  // namespace printer_settings
