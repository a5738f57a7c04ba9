#pragma once
// What the loader would read from a PE file, taken from its bytes without
// running it: machine, imports (static and delayed), exports with their
// forwarders, whether it is a managed assembly, and the manifest that names
// its side-by-side assemblies. The bytes are untrusted: every offset, count
// and name is checked against the file, and a file that does not hold
// together reads as no image.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "image_machine.h"
#include "owned_handle.h"

namespace inspection {

struct ImportedFunction {
  std::string name;           // empty for an import by ordinal
  std::uint16_t ordinal = 0;  // for an import by ordinal
};

struct ImportedModule {
  std::string name;  // as the importer writes it
  std::vector<ImportedFunction> functions;
};

struct Exports {
  std::uint32_t base = 0;
  // Per ordinal - base: whether the slot holds a function, and its forwarder
  // ("module.function" or "module.#ordinal") when it forwards.
  std::vector<bool> present;
  std::unordered_map<std::uint32_t, std::string> forwarders;
  std::unordered_map<std::string, std::uint32_t> byName;  // name -> ordinal - base
};

struct PeImage {
  Ostravel::Machine machine = Ostravel::Machine::None;
  bool dll = false;
  bool managed = false;  // a CLR (COM descriptor) header
  std::vector<ImportedModule> imports;
  std::vector<ImportedModule> delayImports;
  Exports exports;
  std::string manifest;  // the isolation manifest's text, empty when none
  std::size_t held = 0;  // about how many bytes the lists above take
};

// The image the bytes hold, or nothing when they are no PE image.
std::optional<PeImage> ParsePeImage(std::span<const std::uint8_t> bytes);

// A file's bytes, mapped read-only; empty when it cannot be opened, is empty,
// or is larger than `limit` (TooLarge).
class MappedFile {
 public:
  MappedFile(const std::wstring& path, std::uint64_t limit);
  bool Opened() const { return opened_; }
  bool TooLarge() const { return tooLarge_; }
  std::span<const std::uint8_t> Bytes() const {
    return {static_cast<const std::uint8_t*>(view_.get()), size_};
  }

 private:
  toolkit::OwnedView view_;
  std::size_t size_ = 0;
  bool opened_ = false;
  bool tooLarge_ = false;
};

}  // namespace inspection
