#include "registration_progress.h"

#include <utility>

#include <commctrl.h>

#include "control_ids.h"

namespace {

constexpr UINT kMarqueeStepMs = 30;

}  // namespace

void RegistrationProgress::Show(HWND form, const FormFonts& fonts, std::wstring running) {
  if (!bar_) {
    const INITCOMMONCONTROLSEX progressClass{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&progressClass);
    form_ = form;
    bar_ = CreateControl(form, kProgressBarDesign, fonts);
    status_ = CreateControl(form, kStatusLabelDesign, fonts);
  }
  running_ = std::move(running);
  started_ = GetTickCount64();
  Update(false);
  ShowWindow(GetDlgItem(form_, kRightsLabel), SW_HIDE);
  ShowWindow(GetDlgItem(form_, kPreviewButton), SW_HIDE);
  ShowWindow(status_, SW_SHOW);
  ShowWindow(bar_, SW_SHOW);
  SendMessageW(bar_, PBM_SETMARQUEE, TRUE, kMarqueeStepMs);
}

void RegistrationProgress::Update(bool closing) {
  const std::wstring seconds =
      L"已运行 " + std::to_wstring((GetTickCount64() - started_) / 1000) + L" 秒";
  // The line has room for what runs or for the word on closing, not both.
  const std::wstring text = (closing ? L"结束后关闭窗口," : running_ + L" ") + seconds;
  SetWindowTextW(status_, text.c_str());
}

void RegistrationProgress::Hide() {
  if (!bar_) return;
  SendMessageW(bar_, PBM_SETMARQUEE, FALSE, 0);
  ShowWindow(bar_, SW_HIDE);
  ShowWindow(status_, SW_HIDE);
  ShowWindow(GetDlgItem(form_, kRightsLabel), SW_SHOW);
  ShowWindow(GetDlgItem(form_, kPreviewButton), SW_SHOW);
}
