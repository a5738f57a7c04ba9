#pragma once
// The window's registration-status line: whether the chosen server's classes
// are registered, and to which file, read from the file's type library and
// the registry on a thread of its own, so that a slow or hostile file never
// holds the window. It sits in the rights notice's place while a file is
// held, and gives way to the progress line while a call runs. A click on it,
// or its item in the system menu, opens the details.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <windows.h>

#include "registration_status.h"

// The window's numbers the line answers to, which the window hands it so that
// no two of its parts take the same.
struct StatusLineIds {
  UINT command;         // the details' item in the system menu, a multiple of 16 there
  UINT readMessage;     // posted to the window once a read has ended
  UINT_PTR limitTimer;  // the window's timer that gives a slow read up
};

class RegistryStatusLine {
 public:
  explicit RegistryStatusLine(StatusLineIds ids) : ids_(ids) {}
  RegistryStatusLine(const RegistryStatusLine&) = delete;
  RegistryStatusLine& operator=(const RegistryStatusLine&) = delete;

  // Adds the details' item, greyed until there is a status, to the system menu.
  void AddToSystemMenu(HWND form);
  // Reads `path`'s status afresh and shows it once read in `line`, a label of
  // the window that the window places.
  void Check(HWND line, const std::wstring& path);
  // Out of sight while a call runs; the next Check shows it again.
  void Hide();
  // The line's own messages (the read's answer, its time limit, its colour,
  // cursor and click, its system-menu item); nothing for any other.
  std::optional<LRESULT> Handle(UINT message, WPARAM wParam, LPARAM lParam);

  struct Slot;  // where a read leaves its answer

 private:
  void Read(const std::wstring& path);
  void Show(inspection::RegistrationStatus status);
  void ShowDetails();

  StatusLineIds ids_;
  HWND form_ = nullptr;
  HWND line_ = nullptr;
  std::wstring path_;
  std::uint32_t generation_ = 0;  // of the read whose answer is awaited
  std::shared_ptr<Slot> pending_;
  std::optional<inspection::RegistrationStatus> status_;
  bool detailsWhenRead_ = false;
};
