#include "frm_register.h"

#include <cmath>
#include <exception>

#include "about_help.h"
#include "common_dialog.h"
#include "error_report.h"
#include "executable_name.h"
#include "layout.h"
#include "list_ops_menu.h"
#include "local_time_text.h"
#include "message_box.h"
#include "ostravel.h"
#include "raised_error.h"
#include "registration_report.h"
#include "twips.h"

namespace {

constexpr UINT_PTR kTimerClock = 1;
constexpr UINT kClockIntervalMs = 1000;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr wchar_t kCaption[] = L"OCX、DLL文件注册器";
constexpr wchar_t kNoticeTitle[] = L"提示";
constexpr wchar_t kRightsNotice[] = L"版权所有 (C) 2026 Corvantis";
constexpr wchar_t kFileFilter[] = L"OCX Files (*.ocx)|*.ocx|DLL Files (*.dll)|*.dll|All Files (*.*)|*.*";

HFONT Tahoma(int centipoints, int dpi) {
  const int height = -static_cast<int>(std::lround(centipoints / 100.0 * dpi / 72.0));
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

}  // namespace

FrmRegister::~FrmRegister() {
  if (hwnd_) DestroyWindow(hwnd_);
  if (mnuListOps_) DestroyMenu(mnuListOps_);
  if (formFont_) DeleteObject(formFont_);
  if (pathFont_) DeleteObject(pathFont_);
}

bool FrmRegister::Show(HINSTANCE instance, int showCommand) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kFrmRegisterClass;
  if (!RegisterClassExW(&windowClass)) return false;

  RECT frame{0, 0, toolkit::TwipsToPixels(kClientWidthTwips, toolkit::ScreenDpiX()),
             toolkit::TwipsToPixels(kClientHeightTwips, toolkit::ScreenDpiY())};
  AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  CreateWindowExW(0, kFrmRegisterClass, kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance,
                  this);
  if (!hwnd_) return false;
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK FrmRegister::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<FrmRegister*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<FrmRegister*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);
  // Nothing a handler raises may unwind into the system's code that called us.
  try {
    return form->Dispatch(message, wParam, lParam);
  } catch (const toolkit::RaisedError& error) {
    toolkit::MsgBox(hwnd, ErrorReport(error.Number(), error.Description()), MB_ICONEXCLAMATION,
                    toolkit::ExecutableBaseName());
  } catch (const std::exception& error) {
    const std::string what = error.what();
    toolkit::MsgBox(hwnd, ErrorReport(kInternalError, std::wstring(what.begin(), what.end())),
                    MB_ICONEXCLAMATION, toolkit::ExecutableBaseName());
  }
  return 0;
}

LRESULT FrmRegister::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      Form_Load();
      SetTimer(hwnd_, kTimerClock, kClockIntervalMs, nullptr);
      return 0;
    case WM_TIMER:
      if (wParam == kTimerClock) timerClock_Timer();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam) OnCommand(LOWORD(wParam));
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kTimerClock);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void FrmRegister::CreateControls() {
  const int dpiX = toolkit::ScreenDpiX(), dpiY = toolkit::ScreenDpiY();
  formFont_ = Tahoma(kFormFontCentipoints, dpiY);
  pathFont_ = Tahoma(kPathFontCentipoints, dpiY);
  mnuListOps_ = BuildListOpsMenu();
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
  for (const ControlDesign& design : kControls) {
    const wchar_t* windowClass = L"STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE | SS_NOPREFIX;
    DWORD exStyle = 0;
    HFONT font = formFont_;
    switch (design.kind) {
      case ControlKind::Button:
        windowClass = L"BUTTON";
        style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
        break;
      case ControlKind::TextBox:
        // Read-only: the path comes from the dialog alone; typing would mislead.
        windowClass = L"EDIT";
        style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY;
        exStyle = WS_EX_CLIENTEDGE;
        font = pathFont_;
        break;
      case ControlKind::Label:
        break;
    }
    if (!design.enabled) style |= WS_DISABLED;
    HWND control = CreateWindowExW(
        exStyle, windowClass, design.caption, style, toolkit::TwipsToPixels(design.left, dpiX),
        toolkit::TwipsToPixels(design.top, dpiY), toolkit::TwipsToPixels(design.width, dpiX),
        toolkit::TwipsToPixels(design.height, dpiY), hwnd_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
}

void FrmRegister::OnCommand(int id) {
  switch (id) {
    case kCmdOpen: cmdOpen_Click(); break;
    case kCmdAbout: cmdAbout_Click(); break;
    case kCmdHelp: cmdHelp_Click(); break;
    case kCmdReg0: cmdReg_Click(0); break;
    case kCmdReg1: cmdReg_Click(1); break;
  }
}

void FrmRegister::Form_Load() {
  // Centred in twips as the design measures it, then placed in whole pixels.
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  const double perPixelX = toolkit::TwipsPerPixelX(), perPixelY = toolkit::TwipsPerPixelY();
  const float left = (static_cast<float>(toolkit::ScreenWidthTwips()) -
                      static_cast<float>((outer.right - outer.left) * perPixelX)) / 2;
  const float top = (static_cast<float>(toolkit::ScreenHeightTwips()) -
                     static_cast<float>((outer.bottom - outer.top) * perPixelY)) / 2;
  SetWindowPos(hwnd_, nullptr, static_cast<int>(std::lround(left / perPixelX)),
               static_cast<int>(std::lround(top / perPixelY)), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowTextW(Control(kLblBQ), kRightsNotice);
}

void FrmRegister::timerClock_Timer() {
  SetWindowTextW(Control(kLabelTime), (L" " + toolkit::LocalTimeText() + L" ").c_str());
}

void FrmRegister::cmdOpen_Click() {
  cCommonDialog dialog;
  OpenFileNameArgs args{L""};
  args.FileMustExist = true;
  args.MultiSelect = false;
  args.ReadOnly = false;
  args.HideReadOnly = false;
  args.Filter = kFileFilter;
  args.FilterIndex = 1;
  args.DefaultExt = L"ocx";
  args.Owner = static_cast<std::int32_t>(reinterpret_cast<INT_PTR>(hwnd_));
  args.flags = 0;
  if (dialog.VBGetOpenFileName(args)) sFileName = args.FileName;
  SetWindowTextW(Control(kTxtFile), sFileName.c_str());
  // Only a held path gives the registration buttons something to act on.
  EnableWindow(Control(kCmdReg0), !sFileName.empty());
  EnableWindow(Control(kCmdReg1), !sFileName.empty());
}

void FrmRegister::cmdReg_Click(std::int16_t index) {
  if (sFileName.empty()) return;
  const std::int32_t mode = index == 0 ? 1 : 2;
  // A path ending in a backslash names a folder, never a server file.
  const std::wstring report =
      sFileName.back() == L'\\'
          ? FolderPathReport(sFileName)
          : RegistrationReport(sFileName, mode, Ostravel::CallServerRegistration(sFileName, mode));
  toolkit::MsgBox(hwnd_, report, MB_ICONINFORMATION, kNoticeTitle);
}

void FrmRegister::cmdAbout_Click() {
  toolkit::MsgBox(hwnd_, AboutText(), MB_ICONINFORMATION, L"关于");
}

void FrmRegister::cmdHelp_Click() {
  toolkit::MsgBox(hwnd_, HelpText(), MB_ICONQUESTION, L"帮助文件");
}
