#include "host/wstring.h"

#include <clocale>
#include <string>

#include <gtest/gtest.h>

namespace {

// Runs the test body under one LC_CTYPE and puts the previous one back.
class ScopedCtype {
 public:
  explicit ScopedCtype(const char* name) : m_previous(std::setlocale(LC_CTYPE, nullptr)) {
    m_ok = std::setlocale(LC_CTYPE, name) != nullptr;
  }
  ~ScopedCtype() { std::setlocale(LC_CTYPE, m_previous.c_str()); }
  bool ok() const { return m_ok; }

 private:
  std::string m_previous;
  bool m_ok;
};

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
  ScopedCtype utf8("C.UTF-8");
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
  ScopedCtype utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  std::wstring wide(300, L'\u00e9');
  AString narrow;
  BeStringUtilities::WCharToCurrentLocaleChar(narrow, wide.c_str());
  EXPECT_EQ(narrow.size(), 600u);
}

TEST(LocaleTextTest, CharactersTheLocaleCantEncodeBecomeQuestionMarks) {
  ScopedCtype c("C");
  ASSERT_TRUE(c.ok());
  AString narrow;
  BeStringUtilities::WCharToCurrentLocaleChar(narrow, L"T\u00fcr \U0001F600!");
  EXPECT_EQ(narrow, "T?r ?!");
}

TEST(LocaleTextTest, Utf8RoundTripsAndRepairsBadBytes) {
  const wchar_t* text = L"Gr\u00fc\u00dfe \u20ac \U0001F600";
  EXPECT_EQ(BeStringUtilities::Utf8ToWChar(BeStringUtilities::WCharToUtf8(text).c_str()), text);
  EXPECT_EQ(BeStringUtilities::Utf8ToWChar("a\xff"
                                           "b\xc3"),
            L"a\uFFFDb\uFFFD");
}

}  // namespace
