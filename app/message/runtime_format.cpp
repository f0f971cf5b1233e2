#include "app/message/runtime_format.h"

namespace {

// Flags, width and precision of a conversion ("-", "4", ".2", "*"): copied as they stand.
bool isFieldCharacter(wchar_t c) {
  return c == L'-' || c == L'+' || c == L' ' || c == L'#' || c == L'.' || c == L'*' ||
         (c >= L'0' && c <= L'9');
}

}  // namespace

std::wstring toRuntimeFormat(std::wstring_view hostFormat) {
  std::wstring out;
  out.reserve(hostFormat.size() + 8);
  size_t i = 0;
  while (i < hostFormat.size()) {
    const wchar_t c = hostFormat[i++];
    out.push_back(c);
    if (c != L'%') continue;
    while (i < hostFormat.size() && isFieldCharacter(hostFormat[i])) out.push_back(hostFormat[i++]);
    if (i == hostFormat.size()) break;
    const wchar_t conversion = hostFormat[i];
    if (conversion == L'S') {
      out += L"ls";
      ++i;
    } else if (conversion == L's') {
      out += L"hs";
      ++i;
    } else if (conversion == L'%') {  // "%%" is a percent sign, not the start of a conversion
      out.push_back(conversion);
      ++i;
    }
    // Anything else ("%d", "%llu", "%ls") is copied by the loop as it goes on.
  }
  return out;
}
