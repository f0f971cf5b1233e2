#include "standin/files/win32_text.h"

#include <windows.h>

#include <vector>

namespace host {

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::wstring LongPath(const std::string& localPath) {
  std::wstring wide = Utf8ToWide(localPath);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  if (wide.size() == 2 && wide[1] == L':') wide += L'\\';  // "Z:" is the drive's root
  if (wide.starts_with(L"\\\\?\\")) return wide;
  if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
  const bool absolute = wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\';
  if (!absolute) {
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) return wide;  // the call that takes it names the failure
    std::vector<wchar_t> full(length);
    GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    wide.assign(full.data());
    if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
  }
  return L"\\\\?\\" + wide;
}

}  // namespace host
