#include "registry_status_line.h"

#include <atomic>
#include <thread>
#include <utility>

#include <objbase.h>

#include "registry_status_dialog.h"
#include "registry_status_text.h"

namespace {

// A sound file reads in milliseconds; one that takes this long is given up.
constexpr UINT kStatusLimitMs = 5000;
constexpr COLORREF kLinkColour = RGB(0, 102, 204);
constexpr wchar_t kDetailsItem[] = L"注册状态详细信息(&S)...";

inspection::RegistrationStatus Unknown(std::wstring reason) {
  inspection::RegistrationStatus status;
  status.reason = std::move(reason);
  return status;
}

}  // namespace

// Written once by the reading thread, then marked ready; read only after that.
struct RegistryStatusLine::Slot {
  inspection::RegistrationStatus status;
  std::atomic<bool> ready = false;
};

void RegistryStatusLine::AddToSystemMenu(HWND form) {
  AppendMenuW(GetSystemMenu(form, FALSE), MF_STRING | MF_GRAYED, ids_.command, kDetailsItem);
}

void RegistryStatusLine::Check(HWND line, const std::wstring& path) {
  if (line != line_) {
    line_ = line;
    form_ = GetParent(line);
    // Told apart from a plain label: it answers a click. A long path is cut at
    // its end, so that the verdict at the start always shows.
    SetWindowLongPtrW(line_, GWL_STYLE,
                      GetWindowLongPtrW(line_, GWL_STYLE) | SS_NOTIFY | SS_ENDELLIPSIS);
  }
  Read(path);
}

void RegistryStatusLine::Read(const std::wstring& path) {
  path_ = path;
  status_.reset();
  SetWindowTextW(line_, L"");
  ShowWindow(line_, SW_SHOW);
  EnableMenuItem(GetSystemMenu(form_, FALSE), ids_.command, MF_BYCOMMAND | MF_GRAYED);

  // The thread owns what it reads into; an answer that comes after a newer
  // read began, or after the window went, finds nobody waiting for it.
  pending_ = std::make_shared<Slot>();
  const std::uint32_t generation = ++generation_;
  std::thread([slot = pending_, path, form = form_, message = ids_.readMessage, generation] {
    inspection::RegistrationStatus status;
    try {
      const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      status = inspection::ReadRegistrationStatus(path);
      if (SUCCEEDED(com)) CoUninitialize();
    } catch (...) {
      status = Unknown(L"读取时出现内部错误");
    }
    slot->status = std::move(status);
    slot->ready.store(true, std::memory_order_release);
    PostMessageW(form, message, generation, 0);
  }).detach();
  SetTimer(form_, ids_.limitTimer, kStatusLimitMs, nullptr);
}

void RegistryStatusLine::Hide() {
  if (!line_) return;
  pending_.reset();
  detailsWhenRead_ = false;
  KillTimer(form_, ids_.limitTimer);
  ShowWindow(line_, SW_HIDE);
  EnableMenuItem(GetSystemMenu(form_, FALSE), ids_.command, MF_BYCOMMAND | MF_GRAYED);
}

std::optional<LRESULT> RegistryStatusLine::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ids_.readMessage) {
    if (pending_ && wParam == generation_ && pending_->ready.load(std::memory_order_acquire)) {
      Show(std::move(pending_->status));
    }
    return 0;
  }
  switch (message) {
    case WM_TIMER:
      if (wParam != ids_.limitTimer) break;
      if (pending_) Show(Unknown(L"读取超过了 5 秒,已放弃"));
      return 0;
    case WM_CTLCOLORSTATIC:
      if (!line_ || reinterpret_cast<HWND>(lParam) != line_) break;
      // A link's colour, as it opens the details. Not the system's hot-track
      // colour: themes (Wine's among them) make that a grey that reads as disabled.
      SetTextColor(reinterpret_cast<HDC>(wParam), kLinkColour);
      SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_SETCURSOR:
      if (!line_ || reinterpret_cast<HWND>(wParam) != line_ || !status_) break;
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_COMMAND:
      if (!line_ || reinterpret_cast<HWND>(lParam) != line_ || HIWORD(wParam) != STN_CLICKED) break;
      ShowDetails();
      return 0;
    case WM_SYSCOMMAND:
      // The system keeps the low four bits of the command for itself.
      if ((wParam & 0xFFF0) != ids_.command) break;
      ShowDetails();
      return 0;
  }
  return std::nullopt;
}

void RegistryStatusLine::Show(inspection::RegistrationStatus status) {
  pending_.reset();
  KillTimer(form_, ids_.limitTimer);
  status_ = std::move(status);
  SetWindowTextW(line_, StatusLineText(*status_).c_str());
  EnableMenuItem(GetSystemMenu(form_, FALSE), ids_.command, MF_BYCOMMAND | MF_ENABLED);
  if (std::exchange(detailsWhenRead_, false)) ShowDetails();
}

void RegistryStatusLine::ShowDetails() {
  if (!status_ || !IsWindowVisible(line_)) return;
  const inspection::RegistrationStatus status = *status_;
  if (ShowStatusDetails(form_, path_, status) == StatusDetailsAnswer::Refresh) {
    detailsWhenRead_ = true;
    Read(path_);
  }
}
