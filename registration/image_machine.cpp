#include "image_machine.h"

#include <windows.h>

#include "owned_handle.h"

namespace Ostravel {

Machine ReadImageMachine(const std::wstring& path) {
  const toolkit::OwnedHandle owner =
      toolkit::OwnFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
  if (!owner) return Machine::None;
  HANDLE file = owner.get();
  const auto readAt = [file](LONG offset, void* data, DWORD size) {
    DWORD read = 0;
    return SetFilePointer(file, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ReadFile(file, data, size, &read, nullptr) && read == size;
  };
  IMAGE_DOS_HEADER dos{};
  DWORD signature = 0;
  IMAGE_FILE_HEADER header{};
  const bool isImage = readAt(0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE &&
                       dos.e_lfanew > 0 && readAt(dos.e_lfanew, &signature, sizeof signature) &&
                       signature == IMAGE_NT_SIGNATURE &&
                       readAt(dos.e_lfanew + sizeof signature, &header, sizeof header);
  return isImage ? static_cast<Machine>(header.Machine) : Machine::None;
}

}  // namespace Ostravel
