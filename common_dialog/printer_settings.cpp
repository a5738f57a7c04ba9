#include "printer_settings.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "late_binding.h"

namespace printer_settings {
namespace {

class LockedMemory {
 public:
  explicit LockedMemory(HGLOBAL memory)
      : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
  ~LockedMemory() {
    if (data_) GlobalUnlock(memory_);
  }
  LockedMemory(const LockedMemory&) = delete;
  LockedMemory& operator=(const LockedMemory&) = delete;
  const void* data() const { return data_; }

 private:
  HGLOBAL memory_;
  void* data_;
};

// Drivers leave whatever was in memory after a name's NUL; the record keeps
// the name and pads it with NULs instead.
std::wstring FixedName(const WCHAR (&name)[32]) {
  std::wstring text(name, std::find(name, name + 32, L'\0'));
  text.resize(32, L'\0');
  return text;
}

}  // namespace

std::optional<PrinterDevModeRecord> ReadDevMode(HGLOBAL devMode) {
  const LockedMemory locked(devMode);
  const std::size_t available = locked.data() ? GlobalSize(devMode) : 0;
  if (available < offsetof(DEVMODEW, dmFields)) return std::nullopt;

  // Only the public part counts: what follows dmSize is the driver's own data.
  const auto* source = static_cast<const DEVMODEW*>(locked.data());
  DEVMODEW mode{};
  std::memcpy(&mode, source, std::min({available, std::size_t{source->dmSize}, sizeof mode}));

  PrinterDevModeRecord record;
  record.dmDeviceName = FixedName(mode.dmDeviceName);
  record.dmSpecVersion = mode.dmSpecVersion;
  record.dmDriverVersion = mode.dmDriverVersion;
  record.dmSize = mode.dmSize;
  record.dmDriverExtra = mode.dmDriverExtra;
  record.dmFields = mode.dmFields;
  record.dmOrientation = mode.dmOrientation;
  record.dmPaperSize = mode.dmPaperSize;
  record.dmPaperLength = mode.dmPaperLength;
  record.dmPaperWidth = mode.dmPaperWidth;
  record.dmScale = mode.dmScale;
  record.dmCopies = mode.dmCopies;
  record.dmDefaultSource = mode.dmDefaultSource;
  record.dmPrintQuality = mode.dmPrintQuality;
  record.dmColor = mode.dmColor;
  record.dmDuplex = mode.dmDuplex;
  record.dmYResolution = mode.dmYResolution;
  record.dmTTOption = mode.dmTTOption;
  record.dmCollate = mode.dmCollate;
  record.dmFormName = FixedName(mode.dmFormName);
  record.dmLogPixels = mode.dmLogPixels;
  record.dmBitsPerPel = static_cast<std::uint16_t>(mode.dmBitsPerPel);
  record.dmPelsWidth = mode.dmPelsWidth;
  record.dmPelsHeight = mode.dmPelsHeight;
  record.dmDisplayFlags = mode.dmDisplayFlags;
  record.dmDisplayFrequency = mode.dmDisplayFrequency;
  return record;
}

ReturnedMemory::~ReturnedMemory() {
  if (devMode_) GlobalFree(devMode_);
  if (devNames_) GlobalFree(devNames_);
}

void PassToPrinter(IDispatch* printer, std::int16_t copies, const PrinterDevModeRecord& mode) {
  if (!printer) return;
  toolkit::PutProperty(printer, L"Copies", copies);
  toolkit::PutProperty(printer, L"Orientation", mode.dmOrientation);
  toolkit::PutProperty(printer, L"PaperSize", mode.dmPaperSize);
  toolkit::PutProperty(printer, L"PrintQuality", mode.dmPrintQuality);
}

}  // namespace printer_settings
