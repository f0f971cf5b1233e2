#include "host/wstring.h"

#include <climits>
#include <clocale>
#include <cwchar>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "standin/files/locale_codeset.h"
#include "testing/test_support.h"

namespace {

TEST(WStringTest, EndsWithIgnoresCase) {
  struct Case {
    const wchar_t* text;
    const wchar_t* suffix;
    bool expected;
  };
  const Case cases[] = {{L"Site.i", L".i", true}, {L"Site.I", L".i", true}, {L"Site", L".i", false},
                        {L".i", L".i", true},     {L"i", L".i", false},     {L"", L"", true}};
  for (const auto& c : cases) EXPECT_EQ(WString(c.text).EndsWithI(c.suffix), c.expected) << c.text;
}

TEST(WStringTest, ReplaceAllReplacesEveryOccurrenceWithoutRescanning) {
  WString text(L"A<B><<C>");
  EXPECT_EQ(text.ReplaceAll(L"<", L"("), 3u);
  EXPECT_EQ(text, L"A(B>((C>");
  WString grow(L"aa");
  EXPECT_EQ(grow.ReplaceAll(L"a", L"aa"), 2u);
  EXPECT_EQ(grow, L"aaaa");
}

TEST(LocaleTextTest, BufferConversionNeverCutsInsideACharacter) {
  test_support::ScopedLocale utf8(LC_CTYPE, "C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  char buffer[6];
  // Each U+00FC takes two bytes: 5 bytes of room hold two of them, not two and a half.
  BeStringUtilities::WCharToCurrentLocaleChar(buffer, L"\u00fc\u00fc\u00fc", sizeof buffer);
  EXPECT_STREQ(buffer, "\xc3\xbc\xc3\xbc");
  char tiny[1] = {'x'};
  BeStringUtilities::WCharToCurrentLocaleChar(tiny, L"abc", sizeof tiny);
  EXPECT_EQ(tiny[0], '\0');
}

TEST(LocaleTextTest, LongTextIsKeptWholeInTheStringForm) {
  test_support::ScopedLocale utf8(LC_CTYPE, "C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  std::wstring wide(300, L'\u00e9');
  AString narrow;
  BeStringUtilities::WCharToCurrentLocaleChar(narrow, wide.c_str());
  EXPECT_EQ(narrow.size(), 600u);
}

// Both the string and the buffer form. Beyond U+10FFFF no locale has a character, though the
// C library's UTF-8 writes bytes for one (found by the key-in and message fuzz target).
TEST(LocaleTextTest, CharactersTheLocaleCantEncodeBecomeQuestionMarks) {
  // Held to the C library's own character calls, which mean nothing where locale text is
  // UTF-8 whatever the C runtime's locale (Windows).
  if (host::kLocaleTextIsUtf8) GTEST_SKIP() << "locale text is always UTF-8 here";
  const std::wstring beyond = {
      L'<', static_cast<wchar_t>(0x110000), L'|', static_cast<wchar_t>(0x7FFFFFFF),
      L'|', static_cast<wchar_t>(-1),       L'>'};
  const struct {
    const char* locale;
    std::wstring wide;
    std::string narrow;
  } cases[] = {
      {"C", L"T\u00fcr \U0001F600!", "T?r ?!"},
      {"C.UTF-8", L"T\u00fcr \U0001F600!", "T\xC3\xBCr \xF0\x9F\x98\x80!"},
      {"C", beyond, "<?|?|?>"},
      {"C.UTF-8", beyond, "<?|?|?>"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.locale);
    test_support::ScopedLocale ctype(LC_CTYPE, test.locale);
    ASSERT_TRUE(ctype.ok());
    AString narrow;
    EXPECT_EQ(BeStringUtilities::WCharToCurrentLocaleChar(narrow, test.wide.c_str()), test.narrow);
    char buffer[64];
    BeStringUtilities::WCharToCurrentLocaleChar(buffer, test.wide.c_str(), sizeof buffer);
    EXPECT_EQ(std::string(buffer), test.narrow);
  }
}

// Random texts of ASCII runs of any length and characters of two, three and four bytes come
// back whole from their UTF-8; cut inside its last character, the text ends in U+FFFD.
TEST(LocaleTextTest, Utf8OfRandomTextsRoundTrips) {
  const wchar_t pool[] = {
      L'a', L' ', L'\x7f', L'\x80', L'\u00e9', L'\u20ac', static_cast<wchar_t>(0x1F600)};
  std::mt19937 random(13);
  for (int i = 0; i < 2000; ++i) {
    std::wstring text;
    for (int n = static_cast<int>(random() % 50); n > 0; --n)
      text += pool[random() % 4 != 0 ? random() % 2 : random() % std::size(pool)];
    const std::string utf8 = BeStringUtilities::WCharToUtf8(text.c_str());
    ASSERT_EQ(BeStringUtilities::Utf8ToWChar(utf8.c_str()), text) << i;
    if (text.empty() || text.back() < 0x80) continue;
    const std::wstring cut =
        BeStringUtilities::Utf8ToWChar(utf8.substr(0, utf8.size() - 1).c_str());
    ASSERT_EQ(cut, text.substr(0, text.size() - 1) + L"\uFFFD") << i;
  }
}

TEST(LocaleTextTest, Utf8RoundTripsAndRepairsBadBytes) {
  const wchar_t* text = L"Gr\u00fc\u00dfe \u20ac \U0001F600";
  EXPECT_EQ(BeStringUtilities::Utf8ToWChar(BeStringUtilities::WCharToUtf8(text).c_str()), text);
  EXPECT_EQ(BeStringUtilities::Utf8ToWChar("a\xff"
                                           "b\xc3"),
            L"a\uFFFDb\uFFFD");
}

// Both directions against the locale's own one-character calls, on texts that mix ASCII with
// characters the locale may or may not encode, and on bytes that are not valid in it.
TEST(LocaleTextTest, ConversionsMatchTheLocalesCharacterCalls) {
  // Held to the C library's own character calls, which mean nothing where locale text is
  // UTF-8 whatever the C runtime's locale (Windows).
  if (host::kLocaleTextIsUtf8) GTEST_SKIP() << "locale text is always UTF-8 here";
  const wchar_t pool[] = {L'a',    L'/',      L'\\',     L' ',      L'\x7f',
                          L'\x80', L'\u00e9', L'\u20ac', L'\xd800', static_cast<wchar_t>(0x1F600)};
  const char bytes[] = {'a', '/', '\x7f', '\x80', '\xc3', '\xa9', '\xe2', '\x82', '\xac', '\xff'};
  std::mt19937 random(3);
  for (const char* locale : {"C", "C.UTF-8"}) {
    test_support::ScopedLocale ctype(LC_CTYPE, locale);
    ASSERT_TRUE(ctype.ok()) << locale;
    for (int i = 0; i < 500; ++i) {
      std::wstring wide;
      std::string narrow;
      // Short texts of any mix, and long ones of mostly ASCII (the first five of the pool),
      // whose runs are converted eight characters at a time.
      const bool mostlyAscii = i % 2 == 0;
      for (int n = static_cast<int>(random() % (mostlyAscii ? 40 : 12)); n > 0; --n) {
        wide += pool[random() % (mostlyAscii && random() % 16 != 0 ? 5 : std::size(pool))];
        narrow += bytes[random() % std::size(bytes)];
      }
      std::string expectedNarrow;
      for (wchar_t c : wide) {
        char out[MB_LEN_MAX];
        std::mbstate_t state{};
        const size_t n = std::wcrtomb(out, c, &state);
        expectedNarrow += n == static_cast<size_t>(-1) ? std::string("?") : std::string(out, n);
      }
      AString actualNarrow;
      EXPECT_EQ(BeStringUtilities::WCharToCurrentLocaleChar(actualNarrow, wide.c_str()),
                expectedNarrow);

      std::wstring expectedWide;
      std::mbstate_t state{};
      for (size_t at = 0; at < narrow.size();) {
        wchar_t c = 0;
        const size_t n = std::mbrtowc(&c, narrow.data() + at, narrow.size() - at, &state);
        const bool bad = n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2);
        if (bad) state = std::mbstate_t{};
        expectedWide += bad ? L'\uFFFD' : c;
        at += bad || n == 0 ? 1 : n;
      }
      WString actualWide;
      EXPECT_EQ(BeStringUtilities::CurrentLocaleCharToWChar(actualWide, narrow.c_str()),
                expectedWide);
    }
  }
}

}  // namespace
