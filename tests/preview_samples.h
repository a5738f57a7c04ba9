#pragma once
// A capture with values of every kind a server may write, the awkward ones
// included, under HKCU\Software\CorvantisRoundTrip.
#include <string>
#include <vector>

#include <windows.h>

#include "registry_capture.h"

inline constexpr wchar_t kRoundTripKey[] = L"Software\\CorvantisRoundTrip";

// A key as the reader gives it for a plain key that it read whole.
inline Ostravel::CapturedKey PlainKey(Ostravel::RegistryRoot root, const std::wstring& path,
                                      std::vector<Ostravel::CapturedValue> values) {
  return {root, path, std::move(values), std::nullopt, false, ERROR_SUCCESS};
}

inline Ostravel::Capture AwkwardCapture() {
  const auto text = [](const std::wstring& s) {
    const auto* bytes = reinterpret_cast<const BYTE*>(s.c_str());
    return std::vector<BYTE>(bytes, bytes + (s.size() + 1) * sizeof(wchar_t));
  };
  std::vector<BYTE> binary(100);
  for (std::size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<BYTE>(i * 7);
  const std::wstring base = kRoundTripKey;
  Ostravel::Capture capture;
  capture.keys = {
      PlainKey(Ostravel::RegistryRoot::CurrentUser, base + L"\\CLSID\\{Class}",
               {{L"", REG_SZ, text(L"C:\\Program Files\\\"quoted\" 控件.ocx")},
                {L"Empty", REG_SZ, text(L"")},
                {L"Lines", REG_SZ, text(L"first\r\nsecond")},
                {L"Expand", REG_EXPAND_SZ, text(L"%SystemRoot%\\system32")},
                {L"Multi", REG_MULTI_SZ, text(std::wstring(L"one\0two\0", 8))},
                {L"Dword", REG_DWORD, {0x2a, 0, 0, 0x80}},
                {L"Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
                {L"Binary", REG_BINARY, binary},
                {L"Nothing", REG_BINARY, {}},
                {L"None", REG_NONE, {1, 2}},
                {L"back\\slash \"name\"", REG_DWORD, {1, 0, 0, 0}}}),
      PlainKey(Ostravel::RegistryRoot::CurrentUser, base + L"\\Empty key", {}),
  };
  return capture;
}
