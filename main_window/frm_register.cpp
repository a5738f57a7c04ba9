#include "frm_register.h"

#include <cmath>
#include <optional>
#include <utility>

#include <windowsx.h>

#include "about_help.h"
#include "capture_rows.h"
#include "common_dialog.h"
#include "error_report.h"
#include "handle_values.h"
#include "list_ops_menu.h"
#include "local_time_text.h"
#include "message_box.h"
#include "notice_title.h"
#include "ostravel.h"
#include "per_user.h"
#include "preview_dialog.h"
#include "registration_report.h"
#include "server_files.h"
#include "twips.h"
#include "window_class.h"

namespace {

constexpr UINT kClockIntervalMs = 1000;
constexpr wchar_t kRightsNotice[] = L"版权所有 (C) 2026 Corvantis";
constexpr wchar_t kFileFilter[] =
    L"OCX Files (*.ocx)|*.ocx|DLL Files (*.dll)|*.dll|All Files (*.*)|*.*";
constexpr wchar_t kWalkSubfolders[] =
    L"文件夹含有子文件夹。也注册子文件夹中的 .ocx 和 .dll 文件吗?\r\n";
constexpr wchar_t kPreviewed[] = L"预览完成";
constexpr wchar_t kElevatedForUser[] =
    L"本工具正以管理员身份运行:为当前用户注册或反注册会写入管理员的用户配置,而不是你的。"
    L"请以普通用户身份启动本工具后再试。";

// The window's commands for the register and unregister buttons besides their
// click, with their menu texts.
struct ServerCommand {
  int id;
  const wchar_t* text;
  WorkerJob job;
};
constexpr ServerCommand kServerCommands[] = {
    {kUserRegisterCommand,
     L"为当前用户注册(&U)",
     {Ostravel::ServerTask::Register, Ostravel::RegistrationScope::CurrentUser}},
    {kUserUnregisterCommand,
     L"为当前用户反注册(&E)",
     {Ostravel::ServerTask::Unregister, Ostravel::RegistrationScope::CurrentUser}},
    {kElevatedRegisterCommand,
     L"以管理员身份注册(&A)",
     {Ostravel::ServerTask::Register, Ostravel::RegistrationScope::AsTheServerWrites,
      Ostravel::ChildStart::Elevated}},
    {kElevatedUnregisterCommand,
     L"以管理员身份反注册(&A)",
     {Ostravel::ServerTask::Unregister, Ostravel::RegistrationScope::AsTheServerWrites,
      Ostravel::ChildStart::Elevated}},
};

const ServerCommand* FindServerCommand(int id) {
  for (const ServerCommand& command : kServerCommands) {
    if (command.id == id) return &command;
  }
  return nullptr;
}

// Drops still reach a window of an elevated tool, whose messages the system
// otherwise keeps from the user's lower-level file manager. Windows 7 and
// later have the call; resolved here so that the tool starts where it is missing.
void AllowDropsFromLowerLevels(HWND hwnd) {
  using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
  const auto filter = reinterpret_cast<FilterFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx")));
  if (!filter) return;
  constexpr UINT kCopyGlobalData = 0x0049;  // the drop's data, carried by the system
  for (UINT message :
       {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), kCopyGlobalData}) {
    filter(hwnd, message, MSGFLT_ALLOW, nullptr);
  }
}

// A folder is never a server file: a path ending in a backslash, or one that
// names an existing folder.
bool NamesFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return path.back() == L'\\' ||
         (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

// The dropped files, handed back to the system however the handler ends.
class DroppedFiles {
 public:
  explicit DroppedFiles(HDROP drop) : drop_(drop) {}
  ~DroppedFiles() { DragFinish(drop_); }
  DroppedFiles(const DroppedFiles&) = delete;
  DroppedFiles& operator=(const DroppedFiles&) = delete;

  UINT Count() const { return DragQueryFileW(drop_, 0xFFFFFFFF, nullptr, 0); }
  std::wstring Path(UINT index) const {
    std::wstring path(DragQueryFileW(drop_, index, nullptr, 0), L'\0');
    DragQueryFileW(drop_, index, path.data(), static_cast<UINT>(path.size() + 1));
    return path;
  }

 private:
  HDROP drop_;
};

}  // namespace

FrmRegister::~FrmRegister() {
  if (hwnd_) DestroyWindow(hwnd_);
}

bool FrmRegister::Show(HINSTANCE instance, int showCommand) {
  if (!toolkit::RegisterToolClass(instance, kFrmRegisterClass, WindowProc) ||
      !CreateFormFrame(instance, kFrmRegisterClass, this)) {
    return false;
  }
  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK FrmRegister::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form =
        static_cast<FrmRegister*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<FrmRegister*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (form && message == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    form->hwnd_ = nullptr;
  } else if (form) {
    // Nothing a handler throws may unwind into the system's code that called us.
    try {
      if (const std::optional<LRESULT> result = form->Dispatch(message, wParam, lParam)) {
        return *result;
      }
    } catch (...) {
      ReportCurrentException(hwnd);
      return 0;
    }
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::optional<LRESULT> FrmRegister::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (const std::optional<LRESULT> result = statusLine_.Handle(message, wParam, lParam)) {
    return result;
  }
  switch (message) {
    case WM_CREATE: {
      for (const ControlDesign& design : kControls) CreateControl(hwnd_, design, fonts_);
      mnuListOps_.reset(BuildListOpsMenu());
      // The preview also where a user looks for what a window can do; greyed
      // and enabled with its button.
      HMENU system = GetSystemMenu(hwnd_, FALSE);
      AppendMenuW(system, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(system, MF_STRING | MF_GRAYED, kPreviewButton, L"预览注册(&P)");
      // Registering for the current user only: beside the buttons' own menu,
      // where a keyboard user finds the window's other commands.
      for (const ServerCommand& command : kServerCommands) {
        if (command.job.scope != Ostravel::RegistrationScope::CurrentUser) continue;
        AppendMenuW(system, MF_STRING | MF_GRAYED, command.id, command.text);
      }
      statusLine_.AddToSystemMenu(hwnd_);
      Form_Load();
      SetTimer(hwnd_, kTimerClock, kClockIntervalMs, nullptr);
      // Once the window shows, so that any question or refusal has it as owner.
      PostMessageW(hwnd_, kTakeArguments, 0, 0);
      return 0;
    }
    case kTakeArguments:
      // Another process may post this number too: the arguments are taken once.
      if (!std::exchange(argumentsTaken_, true)) ChoosePaths(CommandLinePaths(GetCommandLineW()));
      return 0;
    case WM_TIMER:
      if (wParam != kTimerClock) break;
      timerClock_Timer();
      if (worker_.Running()) progress_.Update(closeWhenDone_);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam) OnCommand(LOWORD(wParam));
      return 0;
    case WM_SYSCOMMAND:
      // The system keeps the low four bits of the command for itself.
      if ((wParam & 0xFFF0) == kPreviewButton) {
        cmdPreview_Click();
        return 0;
      }
      if (OnServerCommand(static_cast<int>(wParam & 0xFFF0))) return 0;
      break;
    case WM_CONTEXTMENU: {
      const auto from = reinterpret_cast<HWND>(wParam);
      if (from != Control(kRegisterButton) && from != Control(kUnregisterButton)) break;
      // From the keyboard (Shift+F10, the menu key) the position is -1, -1.
      const POINT mouse{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ShowButtonMenu(from, lParam != -1, mouse);
      return 0;
    }
    case WM_ACTIVATE:
      // As a dialog does: the control that had the focus has it again when
      // the window comes back from a message box or another program.
      if (LOWORD(wParam) == WA_INACTIVE) {
        KeepFocus();
      } else if (focus_ && IsWindowEnabled(focus_)) {
        SetFocus(focus_);
        return 0;
      }
      break;
    case WM_DROPFILES: Form_DropFiles(reinterpret_cast<HDROP>(wParam)); return 0;
    case kWorkerDone:
      // Another process may post this number too; only a call that has
      // returned answers it, so that the window never waits for a running one.
      if (worker_.Done()) OnWorkerDone();
      return 0;
    case WM_CLOSE:
      if (OnClose()) break;
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd_, kTimerClock);
      PostQuitMessage(0);
      return 0;
  }
  return std::nullopt;
}

void FrmRegister::OnCommand(int id) {
  switch (id) {
    case kOpenButton: cmdOpen_Click(); break;
    case kAboutButton: cmdAbout_Click(); break;
    case kHelpButton: cmdHelp_Click(); break;
    case kRegisterButton: cmdReg_Click(0); break;
    case kUnregisterButton: cmdReg_Click(1); break;
    case kPreviewButton: cmdPreview_Click(); break;
  }
}

// Ending the process now would cut the server's entry point off half-way and
// leave its registration half-written, and hiding the window would leave a
// process the user cannot see. So a close asked for during a call is kept,
// shown in the status line, and carried out once the outcome is shown.
bool FrmRegister::OnClose() {
  if (!Busy()) return true;
  closeWhenDone_ = true;
  StopBatch();
  progress_.Update(closeWhenDone_);
  return false;
}

// Idle again before a single file's outcome is shown, even should the call
// have thrown. What the call threw, or showing its outcome throws, is reported
// here, so that a close asked for meanwhile is still carried out. A preview's
// Refresh closes its dialog and previews again from here, so that the window
// waits for every call the same way.
void FrmRegister::OnWorkerDone() {
  worker_.Join();
  progress_.Hide();
  const WorkerJob job = worker_.Job();
  const std::wstring path = batch_.Current();
  const bool several = batch_.Several();
  if (!several) {
    batch_.Advance();
    UpdateCommands();
    CheckStatus();
  }
  const bool close = several ? closeWhenDone_ : std::exchange(closeWhenDone_, false);
  // The button that started the call was disabled meanwhile and lost the focus.
  if (!several && focus_ && IsWindowEnabled(focus_)) SetFocus(focus_);
  bool again = false;
  std::optional<WorkerJob> retry;
  try {
    Ostravel::TaskResult result = worker_.Result();
    if (several) {
      again = RecordInBatch(path, std::move(result));
    } else if (job.task == Ostravel::ServerTask::Preview) {
      again = ShowPreview(hwnd_, path, std::move(result)) == PreviewAnswer::Refresh;
    } else if (job.scope == Ostravel::RegistrationScope::AsTheServerWrites &&
               job.start == Ostravel::ChildStart::AsThisTool && !close && LackedRights(result)) {
      retry = OfferRetry(RegistrationReport(path, job.task, result), job.task);
    } else {
      toolkit::MsgBox(hwnd_, RegistrationReport(path, job.task, result, job.scope),
                      MB_ICONINFORMATION, kNoticeTitle);
    }
  } catch (...) {
    ReportCurrentException(hwnd_);
  }
  if (several) {
    NextInBatch(again);
  } else if (close) {
    DestroyWindow(hwnd_);
  } else if (again) {
    StartTask({Ostravel::ServerTask::Preview});
  } else if (retry) {
    StartTask(*retry);
  } else if (!files_.empty()) {
    StartChildAhead(files_.front());
  }
}

// A message box, not a task dialog: its three buttons say plainly which is
// which in the question, it looks the same on every system the tool runs on,
// and it needs no version of the common controls.
std::optional<WorkerJob> FrmRegister::OfferRetry(const std::wstring& report,
                                                 Ostravel::ServerTask task) {
  const int answer = MessageBoxW(hwnd_, (report + L"\r\n\r\n" + RetryQuestion(task)).c_str(),
                                 kNoticeTitle, MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON1);
  switch (answer) {
    case IDYES: return WorkerJob{task, Ostravel::RegistrationScope::CurrentUser};
    case IDNO:
      return WorkerJob{task, Ostravel::RegistrationScope::AsTheServerWrites,
                       Ostravel::ChildStart::Elevated};
  }
  return std::nullopt;
}

// The row says what the single file's message would: a registration's outcome
// and reason, or a preview that failed as a registration does. A preview that
// ran shows its dialog in turn, one file after the other, as the capture of
// several servers in one list could not tell whose key is whose.
bool FrmRegister::RecordInBatch(const std::wstring& path, Ostravel::TaskResult result) {
  const bool previewed =
      worker_.Task() == Ostravel::ServerTask::Preview && result.outcome.Succeeded();
  if (previewed) {
    list_.Add(path, kPreviewed,
              L"截获了 " + std::to_wstring(ListRows(result.capture).size()) + L" 项注册表写入。",
              true);
    return ShowPreview(hwnd_, path, std::move(result)) == PreviewAnswer::Refresh;
  }
  const ReportLine line = RegistrationReportLine(path, worker_.Task(), result, worker_.Job().scope);
  list_.Add(path, line.outcome, line.reason, line.succeeded);
  return false;
}

// The line speaks of one file; for several it gives way to the rights notice.
void FrmRegister::CheckStatus() {
  if (files_.size() == 1) {
    // Made when a file is first held, in the rights notice's place.
    HWND line = Control(kRegistryStatusLine);
    if (!line) line = CreateControl(hwnd_, kRegistryStatusDesign, fonts_);
    ShowWindow(Control(kRightsLabel), SW_HIDE);
    statusLine_.Check(line, files_.front());
    return;
  }
  statusLine_.Hide();
  ShowWindow(Control(kRightsLabel), SW_SHOW);
}

void FrmRegister::NextInBatch(bool again) {
  if (again && !batch_.Stopped()) {
    list_.Again();
    RunCurrent();
    return;
  }
  if (batch_.Advance()) {
    RunCurrent();
    return;
  }
  for (const std::wstring& file : batch_.Rest()) list_.AddUnrun(file);
  list_.Finished();
  UpdateCommands();
  CheckStatus();
  if (std::exchange(closeWhenDone_, false)) DestroyWindow(hwnd_);
}

void FrmRegister::StopBatch() {
  if (!batch_.Active() || !batch_.Several() || batch_.Stopped()) return;
  batch_.Stop();
  list_.Stopping();
}

void FrmRegister::HoldFiles(std::vector<std::wstring> files) {
  files_ = std::move(files);
  const std::wstring shown = files_.size() == 1
                                 ? files_.front()
                                 : L"已选择 " + std::to_wstring(files_.size()) + L" 个文件";
  SetWindowTextW(Control(kPathBox), shown.c_str());
  UpdateCommands();
  CheckStatus();
  StartChildAhead(files_.front());
}

// Reading the file's header is data only, never its code. A child already
// waiting for the same program is kept.
void FrmRegister::StartChildAhead(const std::wstring& path) {
  const std::wstring exe = Ostravel::ChildExecutable(Ostravel::ReadImageMachine(path));
  if (!readyChild_ || readyChild_->Executable() != exe) {
    readyChild_ = std::make_unique<Ostravel::ServerChild>(exe);
  }
}

void FrmRegister::ChoosePaths(const std::vector<std::wstring>& paths) {
  if (paths.empty()) return;
  const ChosenFiles chosen = GatherServerFiles(paths, [this](const std::wstring& folder) {
    return MessageBoxW(hwnd_, (kWalkSubfolders + folder).c_str(), kNoticeTitle,
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
  });
  if (!chosen.files.empty()) HoldFiles(chosen.files);
  if (!chosen.refusal.empty()) {
    toolkit::MsgBox(hwnd_, chosen.refusal, MB_ICONINFORMATION, kNoticeTitle);
  }
}

// Only held files give the server's commands something to act on, and only
// one command runs at a time.
void FrmRegister::UpdateCommands() {
  const bool idle = !Busy();
  const bool serverCommands = idle && !files_.empty();
  EnableWindow(Control(kOpenButton), idle);
  for (int id : {kRegisterButton, kUnregisterButton, kPreviewButton}) {
    EnableWindow(Control(id), serverCommands);
  }
  for (int id : {static_cast<int>(kPreviewButton), static_cast<int>(kUserRegisterCommand),
                 static_cast<int>(kUserUnregisterCommand)}) {
    EnableMenuItem(GetSystemMenu(hwnd_, FALSE), id,
                   MF_BYCOMMAND | (serverCommands ? MF_ENABLED : MF_GRAYED));
  }
}

void FrmRegister::StartTask(WorkerJob job) {
  if (files_.empty() || Busy()) return;
  if (files_.size() == 1 && RefusedFolder(files_.front())) return;
  if (job.scope == Ostravel::RegistrationScope::CurrentUser && Ostravel::RunningElevated()) {
    toolkit::MsgBox(hwnd_, kElevatedForUser, MB_ICONWARNING, kNoticeTitle);
    return;
  }
  KeepFocus();
  command_ = job;
  batch_.Begin(files_);
  // Busy before the list shows, so that nothing it lets the user do can
  // start another command.
  UpdateCommands();
  if (batch_.Several()) list_.Open(hwnd_, files_.size());
  RunCurrent();
}

void FrmRegister::RunCurrent() {
  try {
    worker_.Start(hwnd_, kWorkerDone, batch_.Current(), command_, std::move(readyChild_));
  } catch (...) {
    // No thread, so no message will come to end the command: end it here.
    batch_.End();
    list_.Finished();
    UpdateCommands();
    throw;
  }
  // The next file of a batch finds its child waiting, as a single file does.
  if (const std::wstring* next = batch_.Next()) StartChildAhead(*next);
  UpdateCommands();
  statusLine_.Hide();
  // The status line has no room for both the preview and its entry point.
  progress_.Show(hwnd_, fonts_,
                 command_.task == Ostravel::ServerTask::Preview ? L"预览注册"
                                                                : EntryPointText(worker_.Task()));
}

void FrmRegister::KeepFocus() {
  const HWND focus = GetFocus();
  if (focus && IsChild(hwnd_, focus)) focus_ = focus;
}

bool FrmRegister::RefusedFolder(const std::wstring& path) {
  if (!NamesFolder(path)) return false;
  toolkit::MsgBox(hwnd_, FolderPathReport(path), MB_ICONINFORMATION, kNoticeTitle);
  return true;
}

void FrmRegister::Form_Load() {
  // Centred in twips as the design measures it, then placed in whole pixels.
  RECT outer;
  GetWindowRect(hwnd_, &outer);
  const double perPixelX = toolkit::TwipsPerPixelX(), perPixelY = toolkit::TwipsPerPixelY();
  const float left = (static_cast<float>(toolkit::ScreenWidthTwips()) -
                      static_cast<float>((outer.right - outer.left) * perPixelX)) /
                     2;
  const float top = (static_cast<float>(toolkit::ScreenHeightTwips()) -
                     static_cast<float>((outer.bottom - outer.top) * perPixelY)) /
                    2;
  SetWindowPos(hwnd_, nullptr, static_cast<int>(std::lround(left / perPixelX)),
               static_cast<int>(std::lround(top / perPixelY)), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowTextW(Control(kRightsLabel), kRightsNotice);
  DragAcceptFiles(hwnd_, TRUE);
  AllowDropsFromLowerLevels(hwnd_);
}

// Dropped files are held as if picked in the open dialog; of several, and in
// a dropped folder, the .ocx and .dll files.
void FrmRegister::Form_DropFiles(HDROP drop) {
  const DroppedFiles dropped(drop);
  if (Busy()) return;
  std::vector<std::wstring> paths;
  for (UINT i = 0; i < dropped.Count(); ++i) paths.push_back(dropped.Path(i));
  ChoosePaths(paths);
}

void FrmRegister::timerClock_Timer() {
  SetWindowTextW(Control(kClockLabel), (L" " + toolkit::LocalTimeText() + L" ").c_str());
}

void FrmRegister::cmdOpen_Click() {
  cCommonDialog dialog;
  OpenFileNameArgs args{L""};
  args.Filter = kFileFilter;
  args.DefaultExt = L"ocx";
  args.Owner = toolkit::HandleValue(hwnd_);
  args.MultiSelect = true;
  args.flags = OFN_EXPLORER;  // the names apart, each a full path
  if (!dialog.VBGetOpenFileName(args)) return;
  if (std::vector<std::wstring> files = dialog.FileNames(); !files.empty()) {
    HoldFiles(std::move(files));
  }
}

void FrmRegister::cmdReg_Click(std::int16_t index) {
  StartTask({index == 0 ? Ostravel::ServerTask::Register : Ostravel::ServerTask::Unregister});
}

// What the server would write, run where it cannot reach the real registry.
void FrmRegister::cmdPreview_Click() { StartTask({Ostravel::ServerTask::Preview}); }

bool FrmRegister::OnServerCommand(int id) {
  const ServerCommand* command = FindServerCommand(id);
  if (!command) return false;
  StartTask(command->job);
  return true;
}

// The button's own command first, then the same task for the current user or
// as administrator. A disabled button gets no right click and no focus, so the
// menu is only ever offered when the commands may run.
void FrmRegister::ShowButtonMenu(HWND button, bool atMouse, POINT mouse) {
  const bool registers = button == Control(kRegisterButton);
  const toolkit::OwnedMenu menu(CreatePopupMenu());
  if (!menu) return;
  AppendMenuW(menu.get(), MF_STRING, registers ? kRegisterButton : kUnregisterButton,
              registers ? L"注册(&R)" : L"反注册(&R)");
  for (const ServerCommand& command : kServerCommands) {
    if ((command.job.task == Ostravel::ServerTask::Register) == registers) {
      AppendMenuW(menu.get(), MF_STRING, command.id, command.text);
    }
  }
  if (!atMouse) {
    RECT rect;
    GetWindowRect(button, &rect);
    mouse = {rect.left, rect.bottom};
  }
  const int chosen = static_cast<int>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON,
                                                     mouse.x, mouse.y, 0, hwnd_, nullptr));
  if (chosen == kRegisterButton || chosen == kUnregisterButton) {
    cmdReg_Click(registers ? 0 : 1);
  } else {
    OnServerCommand(chosen);
  }
}

void FrmRegister::cmdAbout_Click() {
  toolkit::MsgBox(hwnd_, AboutText(), MB_ICONINFORMATION, L"关于");
}

void FrmRegister::cmdHelp_Click() {
  toolkit::MsgBox(hwnd_, HelpText(), MB_ICONQUESTION, L"帮助文件");
}
