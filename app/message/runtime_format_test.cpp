#include "app/message/runtime_format.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cwchar>
#include <string>

namespace {

// What a runtime's wide printf makes of the rewritten format.
using WidePrintf = int (*)(wchar_t*, size_t, const wchar_t*, va_list);

std::wstring formatted(WidePrintf print, const wchar_t* hostFormat, ...) {
  const std::wstring format = toRuntimeFormat(hostFormat);
  wchar_t buffer[256] = {};
  va_list args;
  va_start(args, hostFormat);
  const int length = print(buffer, 255, format.c_str(), args);
  va_end(args);
  return length < 0 ? L"<failed>" : std::wstring(buffer, static_cast<size_t>(length));
}

int standardPrintf(wchar_t* out, size_t size, const wchar_t* format, va_list args) {
  return std::vswprintf(out, size, format, args);
}

#ifdef _WIN32
// The Microsoft runtime's own reading, which a build with the host's compiler gets from
// vswprintf too: a bare %S there is narrow text and %s wide.
int microsoftPrintf(wchar_t* out, size_t size, const wchar_t* format, va_list args) {
  return _vsnwprintf(out, size, format, args);
}
#endif

TEST(RuntimeFormat, StringConversionsReadAlikeOnEveryRuntime) {
  const struct {
    const char* name;
    WidePrintf print;
  } runtimes[] = {
      {"C standard", standardPrintf},
#ifdef _WIN32
      {"Microsoft", microsoftPrintf},
#endif
  };
  const wchar_t* path = L"C:\\Temp\\Ebene T\u00FCr \u4E2D\u6587";
  for (const auto& [name, print] : runtimes) {
    SCOPED_TRACE(name);
    EXPECT_EQ(formatted(print, L"Output to %S", path), std::wstring(L"Output to ") + path);
    EXPECT_EQ(
        formatted(print, L"Element folder %S is taken by %S: %S is left out", L"a", L"b", L"c"),
        L"Element folder a is taken by b: c is left out");
    EXPECT_EQ(formatted(print, L"[%4S][%-4S][%.2S][%ls]", L"ab", L"ab", L"xyz", L"w"),
              L"[  ab][ab  ][xy][w]");
    EXPECT_EQ(formatted(print, L"%s|%5s|%%S|%d%%|%llu", "narrow", "n", 7, 18446744073709551615ULL),
              L"narrow|    n|%S|7%|18446744073709551615");
  }
}

TEST(RuntimeFormat, OnlyBareStringConversionsChange) {
  const struct {
    const wchar_t* host;
    const wchar_t* runtime;
  } cases[] = {
      {L"Output to %S", L"Output to %ls"},
      {L"%-10.3S %s", L"%-10.3ls %hs"},
      {L"%%S %%s %ls %hs %lc %d", L"%%S %%s %ls %hs %lc %d"},
      {L"ends with %", L"ends with %"},
      {L"ends with %4", L"ends with %4"},
  };
  for (const auto& c : cases) EXPECT_EQ(toRuntimeFormat(c.host), c.runtime) << c.host;
}

}  // namespace
