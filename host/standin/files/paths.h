// How the stand-in host maps the Windows paths that the application sees to local paths.
// Drive C is a local folder (see DriveCFolder), drive Z is the local root, and every other
// drive is unmapped.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <string>
#include <string_view>
#include <vector>

namespace host {

// The one grammar of host paths. Windows paths: an optional drive ("C:"), then components
// separated by "\" or "/". Local paths: components separated by "/".
bool IsPathSeparator(wchar_t c);
// 2 when the path starts with a drive letter and a colon, else 0.
size_t DriveLength(std::wstring_view path);
// Where the last component of a Windows path starts: after its last separator, else after its
// drive, else 0.
size_t LastComponentStart(std::wstring_view path);
// The folder of a local path ("." for a bare name, "/" for a name under the root), and its
// last component.
std::string LocalFolderOf(const std::string& path);
std::string LocalNameOf(const std::string& path);

// Sets the local folder of drive C (the shell's --drive-c); empty goes back to the default:
// $TOLVANE_DRIVE_C, else $HOME/.tolvane/drive_c.
void SetDriveCFolder(const std::string& localFolder);
// The local folder of drive C, absolute, created (with its parents) on first use. The text
// stays valid until the next call of DriveCFolder or SetDriveCFolder.
const std::string& DriveCFolder();

// The absolute, lexically normal form of a local path ("." and ".." resolved by their text),
// without trailing separators but the root's; "/" between components on every platform, and
// UTF-8 (never the system's narrow code page) where local paths have drives.
std::string AbsoluteLocalPath(const std::string& localPath);

// Turns a path in any accepted form (a Windows path with a drive, an absolute local path, or
// a path relative to the working folder) into its local path. "." and ".." are resolved by
// their text and never climb above the drive's root. Both "\" and "/" separate components
// of a Windows path. Returns false (leaving *local alone) for an unmapped drive or a path
// that is empty. On success *local is written over in place, its room used again, so path
// must not be a view of *local. The mapping of the last path of a drive or an absolute one
// is kept by each thread, so that the next one that shares its folders maps only its rest.
bool ToLocalPath(std::wstring_view path, std::string* local);
// The same for a path of ASCII characters only, given as bytes: no wide copy of it is made.
bool AsciiToLocalPath(std::string_view path, std::string* local);

// The local path of a file or folder about to be made, and whether Windows refuses its name:
// Unmapped where ToLocalPath fails (local is then left alone); else local as ToLocalPath
// gives it, and RefusedName when LastComponentIsRefused holds for path. One pass where
// LastComponentIsRefused would read the name again. A path that shares its folders with the
// path mapped before it on the same thread (the files of one folder, named one after the
// other) has only its rest mapped anew.
enum class NewPathStatus { Mapped, Unmapped, RefusedName };
NewPathStatus ToLocalNewPath(std::wstring_view path, std::string* local);
// The same for a path of ASCII characters only, given as bytes.
NewPathStatus AsciiToLocalNewPath(std::string_view path, std::string* local);

// The components of a path's text (after any drive), split at "\" and "/", with "." and ".."
// resolved by their text; ".." at the root stays at the root.
std::vector<std::wstring> ResolvePathComponents(const std::wstring& text);

// The wide name of a local file or folder name, so that ToLocalPath gives its bytes back: a
// UTF-8 sequence as its character, and each byte that no sequence holds (a name written in
// another encoding) as U+DC00 plus the byte, a lone surrogate that no UTF-8 name can hold.
std::wstring LocalNameToWide(std::string_view name);

// The Windows form of a local path: its Z: path. A relative path is taken from the working
// folder.
std::wstring ToWindowsPath(const std::string& localPath);

// Whether Windows refuses c in a file or folder name: < > : " / \ | ? * and below U+0020.
bool IsRefusedNameChar(wchar_t c);
// Whether the last component of a Windows path holds a refused character.
bool LastComponentIsRefused(std::wstring_view windowsPath);
// The same for a path of ASCII characters only, given as bytes.
bool AsciiLastComponentIsRefused(std::string_view windowsPath);

}  // namespace host
