#pragma once
// frmRegister: the tool's window. The user picks server files, drops them or
// a folder on the window, or names them on the command line, then registers,
// unregisters or previews them and is told the outcome: of one file in a
// message, of several in the result list beside the window. A clock and a
// rights notice sit at the bottom. Each call runs on a worker while the
// window stays alive. Whatever a handler throws is caught at the window
// procedure and shown; it never leaves it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>
#include <shellapi.h>

#include "batch_list.h"
#include "batch_run.h"
#include "form_window.h"
#include "list_ops_menu.h"
#include "owned_handle.h"
#include "registration_progress.h"
#include "registration_worker.h"
#include "registry_status_line.h"

class FrmRegister {
 public:
  FrmRegister() = default;
  FrmRegister(const FrmRegister&) = delete;
  FrmRegister& operator=(const FrmRegister&) = delete;
  ~FrmRegister();

  // Creates, loads and shows the window; false if it could not be created.
  bool Show(HINSTANCE instance, int showCommand);
  HWND Handle() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  // The message's result, or nothing where the default processing should run.
  std::optional<LRESULT> Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id);
  bool OnClose();
  void OnWorkerDone();
  // A file of several has ended: its row; true when its preview is to run
  // again. Then the next file, or the end.
  bool RecordInBatch(const std::wstring& path, Ostravel::TaskResult result);
  void NextInBatch(bool again);
  void StopBatch();
  void HoldFiles(std::vector<std::wstring> files);
  // Holds the server files that dropped or named paths stand for.
  void ChoosePaths(const std::vector<std::wstring>& paths);
  bool Busy() const { return worker_.Running() || batch_.Active(); }
  // Enables what the user may do now, which a running call and the files decide.
  void UpdateCommands();
  void StartTask(WorkerJob job);
  // The register or unregister button's menu, at the mouse or, from the
  // keyboard (`atMouse` false), below the button.
  void ShowButtonMenu(HWND button, bool atMouse, POINT mouse);
  // The system menu's and button menus' commands; false for any other.
  bool OnServerCommand(int id);
  // Shows a failure for lack of rights with the retry question; what to run next.
  std::optional<WorkerJob> OfferRetry(const std::wstring& report, Ostravel::ServerTask task);
  // Notes the control that has the focus, to give it back later.
  void KeepFocus();
  void RunCurrent();
  // A child for `path`, started now so that a press waits only for the
  // server.
  void StartChildAhead(const std::wstring& path);
  // The registration-status line for the held file.
  void CheckStatus();
  // A path that names a folder is refused with the folder message: true if so.
  bool RefusedFolder(const std::wstring& path);
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }

  void Form_Load();
  void Form_DropFiles(HDROP drop);
  void timerClock_Timer();
  void cmdOpen_Click();
  void cmdReg_Click(std::int16_t index);
  void cmdPreview_Click();
  void cmdAbout_Click();
  void cmdHelp_Click();

  HWND hwnd_ = nullptr;
  FormFonts fonts_;
  // Built as the design has it; no handler opens it and it is never shown.
  toolkit::OwnedMenu mnuListOps_;
  std::vector<std::wstring> files_;
  RegistrationProgress progress_;
  std::unique_ptr<Ostravel::ServerChild> readyChild_;
  RegistrationWorker worker_;
  BatchRun batch_;
  BatchList list_{[this] { StopBatch(); }};
  RegistryStatusLine statusLine_{{kRegistryStatusLine, kStatusRead, kTimerStatusLimit}};
  bool closeWhenDone_ = false;
  // For whom and with which rights the running command's files run.
  WorkerJob command_;
  HWND focus_ = nullptr;
  bool argumentsTaken_ = false;
};
