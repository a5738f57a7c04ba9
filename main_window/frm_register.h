#pragma once
// frmRegister: the tool's only window. The user picks a server file, or drops
// one on the window, then registers, unregisters or previews it and is told
// the outcome; a clock and a rights notice sit at the bottom. Each call runs
// on a worker while the window stays alive. Whatever a handler throws is
// caught at the window procedure and shown; it never leaves it.
#include <cstdint>
#include <optional>
#include <string>

#include <windows.h>
#include <shellapi.h>

#include "form_window.h"
#include "list_ops_menu.h"
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
  void HoldPath(const std::wstring& path);
  // Enables what the user may do now, which a running call and the path decide.
  void UpdateCommands();
  void StartTask(WorkerTask task);
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
  OwnedMenu mnuListOps_;
  std::wstring sFileName;
  RegistrationProgress progress_;
  RegistrationWorker worker_;
  RegistryStatusLine statusLine_;
  bool closeWhenDone_ = false;
};
