#include "app/message/message.h"

#include <cstdarg>
#include <cwchar>
#include <string>
#include <vector>

#include "app/message/runtime_format.h"
#include "host/mdl.h"
#include "host/wstring.h"

// A message is formatted as wide text and converted to locale text once, by the host's
// conversion. Formatting wide text keeps %S as wide text, and converting once afterwards
// means a character the locale can't encode becomes '?' rather than failing the whole
// message, as a narrow printf would.
namespace {

// The longest wide text formatted; far beyond any message that fits the buffer, so the cut to
// the buffer is always made on whole text.
constexpr size_t kMaxWideLength = size_t{1} << 20;

// Formats into wide text. When the text doesn't fit, or an argument can't be formatted, the
// C runtime reports only failure; the buffer then holds what was formatted before, which
// is shown.
std::wstring formatWide(const wchar_t* format, va_list args) {
  std::vector<wchar_t> buffer(kMessageBufferSize);
  while (true) {
    va_list attempt;
    va_copy(attempt, args);
    int length = std::vswprintf(buffer.data(), buffer.size(), format, attempt);
    va_end(attempt);
    if (length >= 0) return std::wstring(buffer.data(), static_cast<size_t>(length));
    if (buffer.size() >= kMaxWideLength) break;
    buffer.assign(buffer.size() * 4, L'\0');
  }
  buffer.back() = L'\0';
  return std::wstring(buffer.data());
}

}  // namespace

void printMessage(const char* format, ...) {
  if (!format) format = "";
  WString wideFormat;
  wideFormat.AssignA(format);
  va_list args;
  va_start(args, format);
  const std::wstring text = formatWide(toRuntimeFormat(wideFormat.c_str()).c_str(), args);
  va_end(args);
  // The host's conversion cuts to the buffer on a character boundary and leaves a zero.
  char buffer[kMessageBufferSize];
  BeStringUtilities::WCharToCurrentLocaleChar(buffer, text.c_str(), sizeof buffer);
  mdlDialog_dmsgsPrintA(buffer);
}
