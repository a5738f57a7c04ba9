#include "about_help.h"

#include <initializer_list>

namespace {

std::wstring Lines(std::initializer_list<const wchar_t*> lines) {
  std::wstring text;
  for (const wchar_t* line : lines) {
    if (!text.empty()) text += L"\r\n";
    text += line;
  }
  return text;
}

}  // namespace

std::wstring AboutText() {
  return Lines({
      L"Pelloran: https://pelloran.example/",
      L"官网: https://www.corvantis.example/",
      L"邮箱: support@corvantis.example",
  });
}

std::wstring HelpText() {
  return Lines({
      L"一、首先按<打开文件>按钮打开需要注册的OCX文件或DLL文件;",
      L"二、然后根据需要进行OCX文件或DLL文件的注册和反注册;",
      L"三、感谢所有关心Dunmarrow发展朋友的支持;",
      L"四、如果在使用中遇到什么问题,请与我们联系.",
  });
}
