#include "host/mdl.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>

#include "standin/shell/session.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

using host::Session;
using host::seed::EmptyDesign;
using host::seed::ScopedSession;

int g_calls = 0;
void countCall(WCharCP) { ++g_calls; }

TEST(MdlApplication, RegistersCommandsAndLoadsTheKeyinTableBesideTheLibrary) {
  ScopedSession session(EmptyDesign());
  test_support::TempFolder folder;
  folder.WriteFile("app.keyins", "APP RUN 0x2A # the one command\n");
  Session::Current().SetLoadingApplication(folder.Path() + "/app.so");

  MdlCommandNumber table[] = {{countCall, 0x2A}, {nullptr, 0}};
  EXPECT_EQ(mdlSystem_registerCommandNumbers(table), SUCCESS);
  EXPECT_EQ(mdlParse_loadCommandTable(nullptr), SUCCESS);
  ASSERT_EQ(Session::Current().KeyinTable().size(), 1u);
  EXPECT_EQ(Session::Current().KeyinTable()[0].number, 0x2Au);
  g_calls = 0;
  CmdHandler handler = Session::Current().FindCommand(0x2A);
  ASSERT_NE(handler, nullptr);
  handler(L"");
  EXPECT_EQ(g_calls, 1);
  EXPECT_NE(mdlSystem_registerCommandNumbers(nullptr), SUCCESS);
}

TEST(MdlApplication, AKeyinTableThatCantBeReadIsNoted) {
  ScopedSession session(EmptyDesign());
  test_support::TempFolder folder;
  folder.WriteFile("broken.keyins", "APP RUN 0x2A\nAPP STOP nonsense\n");
  const struct {
    std::string library;
    std::string noted;
  } cases[] = {
      {folder.Path() + "/absent.so", "absent.keyins"},
      {folder.Path() + "/broken.so", "broken.keyins:2:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.library);
    Session::Current().SetLoadingApplication(c.library);
    EXPECT_NE(mdlParse_loadCommandTable(nullptr), SUCCESS);
    ASSERT_FALSE(session.Notes().empty());
    EXPECT_NE(session.Notes().back().find(c.noted), std::string::npos) << session.Notes().back();
  }
}

TEST(MdlCnvConvertUnicodeToMultibyte, NeverWritesPastTheBufferNorCutsACharacter) {
  test_support::ScopedLocale ctype(LC_CTYPE, "C.UTF-8");
  ASSERT_TRUE(ctype.ok());
  const struct {
    const wchar_t* text;
    int length;
    int size;
    const char* expected;
  } cases[] = {
      // {text, length, buffer size, expected}; the two bytes of é need room beside the zero.
      {L"Site", -1, 16, "Site"},   {L"Site", 2, 16, "Si"},   {L"Site", 10, 16, "Site"},
      {L"Site", -1, 3, "Si"},      {L"a\u00E9", -1, 3, "a"}, {L"a\u00E9", -1, 4, "a\xC3\xA9"},
      {L"\U0001F600x", -1, 4, ""}, {nullptr, -1, 4, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    char out[20];
    std::memset(out, '#', sizeof out);
    EXPECT_EQ(mdlCnv_convertUnicodeToMultibyte(c.text, c.length, out, c.size), SUCCESS);
    EXPECT_STREQ(out, c.expected);
    for (size_t i = static_cast<size_t>(c.size); i < sizeof out; ++i) ASSERT_EQ(out[i], '#');
  }
  char out[4];
  EXPECT_NE(mdlCnv_convertUnicodeToMultibyte(L"x", -1, out, 0), SUCCESS);
  EXPECT_NE(mdlCnv_convertUnicodeToMultibyte(L"x", -1, nullptr, 4), SUCCESS);
}

}  // namespace
