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

namespace {

// Windows takes a "\\?\" path as it stands, "." and ".." and doubled separators included,
// which would then name nothing: they are resolved here by the text, as Windows resolves them
// in an ordinary path. A ".." never climbs above the root, the first `root` characters.
std::wstring resolvedLexically(const std::wstring& path, size_t root) {
  std::vector<std::wstring> components;
  for (size_t from = root; from <= path.size();) {
    size_t end = path.find(L'\\', from);
    if (end == std::wstring::npos) end = path.size();
    const std::wstring component = path.substr(from, end - from);
    if (component == L"..") {
      if (!components.empty()) components.pop_back();
    } else if (!component.empty() && component != L".") {
      components.push_back(component);
    }
    from = end + 1;
  }
  std::wstring out = path.substr(0, root);
  for (size_t i = 0; i < components.size(); ++i) out += (i ? L"\\" : L"") + components[i];
  return out;
}

}  // namespace

std::wstring LongPath(const std::string& localPath) {
  std::wstring wide = Utf8ToWide(localPath);
  for (wchar_t& c : wide)
    if (c == L'/') c = L'\\';
  if (wide.starts_with(L"\\\\?\\")) return wide;
  if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
  if (wide.size() == 2 && wide[1] == L':') wide += L'\\';  // "Z:" is the drive's root
  const bool absolute = wide.size() >= 3 && wide[1] == L':' && wide[2] == L'\\';
  if (!absolute) {
    const DWORD length = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (length == 0) return wide;  // the call that takes it names the failure
    std::vector<wchar_t> full(length);
    GetFullPathNameW(wide.c_str(), length, full.data(), nullptr);
    wide.assign(full.data());
    if (wide.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + wide.substr(2);
  }
  return L"\\\\?\\" + resolvedLexically(wide, 3);
}

}  // namespace host
