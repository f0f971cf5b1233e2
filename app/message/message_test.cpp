#include "app/message/message.h"

#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <string>

#include "standin/files/locale_codeset.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

using host::seed::EmptyDesign;
using host::seed::ScopedSession;
using test_support::ScopedLocale;

// The one line that print shows in the message window, under the given LC_CTYPE.
std::string shown(const std::function<void()>& print, const char* locale = "C.UTF-8") {
  ScopedLocale ctype(LC_CTYPE, locale);
  EXPECT_TRUE(ctype.ok()) << locale;
  ScopedSession session(EmptyDesign());
  print();
  EXPECT_EQ(session.Messages().size(), 1u);
  return session.Messages().empty() ? std::string() : session.Messages().front();
}

struct FormatCase {
  const char* expected;
  std::function<void()> print;
};

// The conversions that the application's messages use, and their neighbours.
TEST(PrintMessage, FormatsTheConversionsOfTheMessages) {
  const FormatCase cases[] = {
      {"100% sure", [] { printMessage("100%% sure"); }},
      {"-42|18446744073709551615", [] { printMessage("%d|%llu", -42, 18446744073709551615ULL); }},
      {"range1= (0.00, -0.50, 0.01,)~(1000.00, 2000.00, 0.00,)",
       [] {
         printMessage("range1= (%.2f, %.2f, %.2f,)~(%.2f, %.2f, %.2f,)", 0.0, -0.5, 0.005001,
                      1000.0, 2000.0, 0.0);
       }},
      {"Output to C:\\Temp\\Site", [] { printMessage("Output to %S", L"C:\\Temp\\Site"); }},
      {"File Z:\\h\\Caf\xC3\xA9\\geo.json doesn't exist",
       [] { printMessage("File %S doesn't exist", L"Z:\\h\\Caf\u00E9\\geo.json"); }},
      {"[  ab][ab  ][a\xC3\xA9]",
       [] { printMessage("[%4S][%-4ls][%.2S]", L"ab", L"ab", L"a\u00E9\u00E9"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(shown(c.print), c.expected);
  }
}

TEST(PrintMessage, WideTextTheLocaleCantEncodeBecomesQuestionMarks) {
  const wchar_t* smiley = L"Caf\u00E9 \U0001F600";
  EXPECT_EQ(shown([&] { printMessage("Output to %S!", smiley); }, "C.UTF-8"),
            "Output to Caf\xC3\xA9 \xF0\x9F\x98\x80!");
  // A lone surrogate is not a character in any encoding.
  const wchar_t surrogate[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
  EXPECT_EQ(shown([&] { printMessage("<%S>", surrogate); }, "C.UTF-8"), "<a?b>");
  // The C locale encodes nothing beyond ASCII: the rest of the message still shows. (Where
  // the host's locale text is UTF-8 whatever the C runtime's locale, as on Windows, every
  // locale encodes it.)
  if (host::kLocaleTextIsUtf8) return;
  EXPECT_EQ(shown([&] { printMessage("Output to %S!", smiley); }, "C"), "Output to Caf? ?!");
  EXPECT_EQ(shown([&] { printMessage("%d %S %d", 1, smiley, 2); }, "POSIX"), "1 Caf? ? 2");
}

TEST(PrintMessage, ShowsAtMost2047CharactersAndNeverHalfACharacter) {
  std::string exact(kMessageBufferSize - 1, 'a');
  EXPECT_EQ(shown([&] { printMessage("%s", exact.c_str()); }), exact);

  std::string longer(3000, 'b');
  EXPECT_EQ(shown([&] { printMessage("%s", longer.c_str()); }), longer.substr(0, 2047));

  // A two-byte character across the limit is left out whole.
  std::string crossing = std::string(2046, 'c') + "\xC3\xA9" + std::string(952, 'd');
  EXPECT_EQ(shown([&] { printMessage("%s", crossing.c_str()); }), std::string(2046, 'c'));

  std::wstring wide = std::wstring(2045, L'w') + L"\U0001F600" + std::wstring(950, L'x');
  EXPECT_EQ(shown([&] { printMessage("%S", wide.c_str()); }), std::string(2045, 'w'));

  // Long format text, not only arguments, is cut too.
  std::string format = std::string(2040, 'f') + " %s";
  EXPECT_EQ(shown([&] { printMessage(format.c_str(), "abcdefgh"); }),
            std::string(2040, 'f') + " abcdef");
}

}  // namespace
