// Text at the stand-in's edge to Windows: local paths and names are UTF-8, the system's calls
// take UTF-16. Windows only.
#pragma once

#include "../inside.h"  // first: stops any source outside the stand-in

#include <string>
#include <string_view>

namespace host {

// UTF-8 as UTF-16, and back. A sequence that isn't UTF-8, or a lone surrogate, becomes U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// The form of a local path that every wide file call of Windows takes whatever its length:
// "\\?\" and the full path with "\" between components ("\\?\UNC\" for a share). A relative
// path is taken from the working folder first.
std::wstring LongPath(const std::string& localPath);

}  // namespace host
