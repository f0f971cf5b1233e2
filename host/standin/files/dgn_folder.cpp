#include "host/dgn_folder.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "standin/files/file_system.h"
#include "standin/files/paths.h"

namespace {

// "X:" followed by the components of rest, "." and ".." resolved by their text (never
// above the root), each component followed by one backslash.
std::wstring drivePortableName(wchar_t drive, const std::wstring& rest) {
  std::vector<std::wstring> parts = host::ResolvePathComponents(rest);
  std::wstring out{static_cast<wchar_t>(std::towupper(drive)), L':', L'\\'};
  for (const auto& part : parts) out += part + L"\\";
  return out;
}

// The portable name of a path in any accepted form; empty when the path can't be placed.
std::wstring portableName(const std::wstring& path) {
  if (host::DriveLength(path) != 0) return drivePortableName(path[0], path.substr(2));
  std::string local;
  if (!host::ToLocalPath(path, &local)) return std::wstring();
  std::wstring windows = host::ToWindowsPath(local);
  return drivePortableName(windows[0], windows.substr(2));
}

// Whether name matches pattern, where "*" stands for any run and "?" for one character.
bool matchesFilter(const wchar_t* pattern, const wchar_t* name) {
  if (*pattern == L'\0') return *name == L'\0';
  if (*pattern == L'*') {
    for (const wchar_t* rest = name;; ++rest) {
      if (matchesFilter(pattern + 1, rest)) return true;
      if (*rest == L'\0') return false;
    }
  }
  if (*name == L'\0') return false;
  return (*pattern == L'?' || *pattern == *name) && matchesFilter(pattern + 1, name + 1);
}

}  // namespace

DgnFolderMonikerPtr DgnFolderMoniker::CreateFromFolderName(WCharCP name, WCharCP searchPath) {
  if (!name || !*name) return nullptr;
  std::wstring path = name;
  bool relative = !host::DriveLength(path) != 0 && !host::IsPathSeparator(path[0]);
  if (relative && searchPath && *searchPath) path = std::wstring(searchPath) + L"\\" + path;
  std::wstring portable = portableName(path);
  if (portable.empty()) return nullptr;
  return new DgnFolderMoniker(portable);
}

DgnFolderPtr DgnFolder::CreateFromMoniker(StatusInt& status, DgnFolderMoniker& moniker) {
  std::string local;
  host::FileInfo info;
  if (!host::ToLocalPath(moniker.GetPortableName(), &local) ||
      !host::CurrentFileSystem().Stat(local, &info).ok() ||
      info.kind != host::FileKind::Directory) {
    status = ERROR;
    return nullptr;
  }
  status = SUCCESS;
  return new DgnFolder(&moniker);
}

DgnFolderMonikerListPtr DgnFolder::GetSubFolders(WCharCP filter) const {
  std::wstring portable = GetPortableName();
  std::string local;
  std::vector<std::string> names;
  if (!host::ToLocalPath(portable, &local) ||
      !host::CurrentFileSystem().ListSubdirectories(local, &names).ok()) {
    return nullptr;
  }
  std::sort(names.begin(), names.end());  // std::string compares by unsigned bytes
  DgnFolderMonikerListPtr list = new DgnFolderMonikerList();
  for (const auto& name : names) {
    // A name that isn't UTF-8 keeps its bytes through the wide name, so that it opens.
    WString wide(host::LocalNameToWide(name));
    if (filter && *filter && !matchesFilter(filter, wide.c_str())) continue;
    list->m_monikers.push_back(new DgnFolderMoniker(portable + wide + L"\\"));
  }
  return list;
}
