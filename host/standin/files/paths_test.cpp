#include "standin/files/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cwctype>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "host/wstring.h"
#include "standin/files/system.h"
#include "testing/seed.h"
#include "testing/test_support.h"

namespace {

// The local form of a path on drive Z, given as its POSIX form: drive Z is the local root
// where local paths have no drives, and the local drive Z where they have (on Windows).
std::string onZ(const std::string& posix) {
  return host::kLocalPathsHaveDrives ? "Z:" + posix : posix;
}

TEST(PathsTest, WindowsPathsMapToLocalFolders) {
  host::seed::ScopedDriveC driveC;
  const std::string c = driveC.LocalFolder();
  struct Case {
    const wchar_t* path;
    std::string expected;
  };
  const Case cases[] = {
      {L"C:\\Temp\\Site", c + "/Temp/Site"},
      {L"c:\\Temp\\.\\a\\..\\Site", c + "/Temp/Site"},
      {L"C:\\..\\..\\etc", c + "/etc"},  // never above the drive's root
      {L"C:\\", c},
      {L"Z:\\home\\ann\\Site.dgn", onZ("/home/ann/Site.dgn")},
      {L"Z:\\..\\x", onZ("/x")},
      {L"z:\\x", onZ("/x")},
      {L"C:/Temp/Site", c + "/Temp/Site"},
      {L"C:\\Temp\\\u00dcber", c + "/Temp/\xc3\x9c"
                                   "ber"},
  };
  for (const auto& test : cases) {
    std::string local;
    ASSERT_TRUE(host::ToLocalPath(test.path, &local)) << test.path;
    EXPECT_EQ(local, test.expected) << test.path;
  }
}

// Where local paths have drives, every drive but C is its own local drive.
TEST(PathsTest, OtherDrivesAndEmptyPathsAreUnmapped) {
  std::string local = "untouched";
  if (host::kLocalPathsHaveDrives) {
    EXPECT_TRUE(host::ToLocalPath(L"D:\\Projects\\Site.dgn", &local));
    EXPECT_EQ(local, "D:/Projects/Site.dgn");
    local = "untouched";
  } else {
    EXPECT_FALSE(host::ToLocalPath(L"D:\\Projects\\Site.dgn", &local));
  }
  EXPECT_FALSE(host::ToLocalPath(L"", &local));
  EXPECT_EQ(local, "untouched");
}

TEST(PathsTest, LocalPathsAreSeenOnDriveZ) {
  EXPECT_EQ(host::ToWindowsPath("/home/ann/Site.dgn"), L"Z:\\home\\ann\\Site.dgn");
  EXPECT_EQ(host::ToWindowsPath("/"), L"Z:\\");
}

TEST(PathsTest, RefusedNameCharacters) {
  for (wchar_t c : std::wstring(L"<>:\"/\\|?*\x01\x1f"))
    EXPECT_TRUE(host::IsRefusedNameChar(c)) << int(c);
  for (wchar_t c : std::wstring(L"aZ0 .-_()\u00fc"))
    EXPECT_FALSE(host::IsRefusedNameChar(c)) << int(c);
  EXPECT_TRUE(host::LastComponentIsRefused(L"C:\\Temp\\a:b"));
  EXPECT_FALSE(host::LastComponentIsRefused(L"C:\\Temp\\a b"));
}

// The mapping as the components of the path make it: the drive's folder, then "/" and each
// resolved component as UTF-8. Random paths of separators, ".", "..", non-ASCII and
// surrogate characters must map the same in the one pass that ToLocalPath makes.
TEST(PathsTest, MapsAsTheResolvedComponentsOfThePath) {
  host::seed::ScopedDriveC driveC;
  const wchar_t* pieces[] = {L"\\",     L"/",      L".",   L"..",  L"a",         L"Temp",
                             L"\u00e9", L"\xd800", L"x y", L"...", L"\U0001F600"};
  std::mt19937 random(5);
  for (int i = 0; i < 3000; ++i) {
    std::wstring rest;
    for (int n = static_cast<int>(random() % 9); n > 0; --n)
      rest += pieces[random() % std::size(pieces)];
    const bool onC = random() % 2 == 0;
    std::string expected = onC ? driveC.LocalFolder() : onZ("");
    for (const std::wstring& part : host::ResolvePathComponents(rest))
      expected += "/" + BeStringUtilities::WCharToUtf8(part.c_str());
    if (expected.empty()) expected = "/";  // the root; on Windows "Z:" names it
    std::string local;
    ASSERT_TRUE(host::ToLocalPath((onC ? L"C:" : L"Z:") + rest, &local));
    ASSERT_EQ(local, expected) << i;
  }
}

// ASCII paths given as bytes map as their wide forms do: random paths of drives, separators,
// "." and "..", refused characters and relative names, through both.
TEST(PathsTest, AsciiPathsMapAsTheirWideForms) {
  host::seed::ScopedDriveC driveC;
  const char* pieces[] = {"C:", "c:",   "Z:",  "z:",  "D:", "\\", "/", ".",    "..",
                          "a",  "Temp", "x y", "...", ":",  "|",  "*", "\x01", "1:"};
  std::mt19937 random(7);
  for (int i = 0; i < 3000; ++i) {
    std::string narrow;
    for (int n = static_cast<int>(random() % 8); n > 0; --n)
      narrow += pieces[random() % std::size(pieces)];
    const std::wstring wide(narrow.begin(), narrow.end());
    std::string fromNarrow = "untouched", fromWide = "untouched";
    ASSERT_EQ(host::AsciiToLocalPath(narrow, &fromNarrow), host::ToLocalPath(wide, &fromWide))
        << narrow;
    ASSERT_EQ(fromNarrow, fromWide) << narrow;
    ASSERT_EQ(host::AsciiLastComponentIsRefused(narrow), host::LastComponentIsRefused(wide))
        << narrow;
  }
}

// The mapping and the name check of long paths (most of them their own resolved form, as the
// application's are, with separators, dots and refused characters placed anywhere within the
// blocks that the mapping reads at once) against their plain definitions: the resolved
// components joined under the drive's folder, and a refused character after the last
// separator. Narrow and wide forms, drive C and drive Z alike.
TEST(PathsTest, LongPathsMapAsTheirComponentsAndNamesAreJudgedByTheirCharacters) {
  host::seed::ScopedDriveC driveC;
  const char* pieces[] = {
      "\\",       "/",      ".", "..", "a", "Temp", "x y",  "hs2.dgn - Default - 2000",
      "geo.json", ".cache", "e", "|",  ":", "\x1f", "\x7f", "~"};
  std::mt19937 random(9);
  for (int i = 0; i < 20000; ++i) {
    std::string rest;
    for (int n = static_cast<int>(random() % 24); n > 0; --n) {
      // Mostly "\\name": the paths the export makes.
      rest += random() % 3 != 0 ? std::string("\\") + pieces[4 + random() % 6]
                                : pieces[random() % std::size(pieces)];
    }
    const bool onC = random() % 2 == 0;
    const std::string narrow = (onC ? "C:" : "Z:") + rest;
    const std::wstring wide(narrow.begin(), narrow.end());
    std::string expected = onC ? driveC.LocalFolder() : onZ("");
    for (const std::wstring& part :
         host::ResolvePathComponents(std::wstring(rest.begin(), rest.end())))
      expected += "/" + std::string(part.begin(), part.end());
    if (expected.empty()) expected = "/";  // the root; on Windows "Z:" names it
    std::string fromNarrow, fromWide;
    ASSERT_TRUE(host::AsciiToLocalPath(narrow, &fromNarrow)) << narrow;
    ASSERT_TRUE(host::ToLocalPath(wide, &fromWide)) << narrow;
    ASSERT_EQ(fromNarrow, expected) << narrow;
    ASSERT_EQ(fromWide, expected) << narrow;

    const size_t start = host::LastComponentStart(wide);
    bool refused = false;
    for (size_t k = start; k < wide.size(); ++k) refused |= host::IsRefusedNameChar(wide[k]);
    ASSERT_EQ(host::LastComponentIsRefused(wide), refused) << narrow;
    ASSERT_EQ(host::AsciiLastComponentIsRefused(narrow), refused) << narrow;
  }
}

// What a path maps to on its own: the drive's folder and each resolved component as UTF-8,
// or nothing for another drive; and whether its last component holds a refused character.
struct AloneMapping {
  bool mapped;
  std::string local;
  bool refused;
};
AloneMapping mapAlone(const std::wstring& path, const std::string& driveC) {
  const wchar_t drive = path.size() >= 2 && path[1] == L':' ? path[0] & ~0x20 : 0;
  const bool ownDrive = host::kLocalPathsHaveDrives && drive != L'C' && drive != 0;
  const std::string root = drive == L'C' ? driveC
                           : ownDrive    ? std::string{static_cast<char>(path[0]), ':'}
                                         : "";
  AloneMapping alone{drive == L'C' || drive == L'Z' || ownDrive, root, false};
  for (const std::wstring& part : host::ResolvePathComponents(path.substr(2)))
    alone.local += "/" + BeStringUtilities::WCharToUtf8(part.c_str());
  if (alone.local.empty()) alone.local = "/";  // the root; on Windows "Z:" names it
  for (size_t k = host::LastComponentStart(path); k < path.size(); ++k)
    alone.refused |= host::IsRefusedNameChar(path[k]);
  return alone;
}

// Paths given one after the other on one thread, each a change of the one before (a name
// replaced, a component added or taken away, "." and "..", refused, non-ASCII or far too many
// characters put in, the drive changed, drive C moved to another folder), map and are judged
// as each would alone, through every door: what is kept of the path before never shows.
TEST(PathsTest, PathsInSequenceMapAsEachWouldAlone) {
  host::seed::ScopedDriveC one;
  host::seed::ScopedDriveC two;
  const std::string* driveC = &two.LocalFolder();
  const std::wstring names[] = {L"geo.json", L"attr.json", L"hs2.dgn - Default - 2000",
                                L"a",        L".cache",    L".",
                                L"..",       L"\u00e9",    L"x|y",
                                L"x:y",      L"\x01",      L"a b c d e f g h i j k l m n o p",
                                L"",         L"/",         std::wstring(700, L'n')};
  const std::wstring drives[] = {L"C:", L"c:", L"Z:", L"D:"};
  std::mt19937 random(11);
  std::wstring path = L"C:\\Temp\\hs2";
  for (int i = 0; i < 20000; ++i) {
    const std::wstring& name = names[random() % std::size(names)];
    const size_t start = host::LastComponentStart(path);
    switch (random() % 8) {
      case 0:
      case 1:
        path = path.substr(0, start) + name;
        break;
      case 2:
      case 3:
        path += (random() % 4 == 0 ? L"/" : L"\\") + name;
        break;
      case 4:
        if (start > 2) path.resize(start - 1);
        break;
      case 5:
        if (path.size() > 2) path[2 + random() % (path.size() - 2)] = L"-0\\.\u00e9"[random() % 5];
        break;
      case 6:
        path = drives[random() % std::size(drives)] + path.substr(std::min<size_t>(2, path.size()));
        break;
      default:
        driveC = driveC == &one.LocalFolder() ? &two.LocalFolder() : &one.LocalFolder();
        host::SetDriveCFolder(*driveC);
    }
    if (path.size() > 3000) path = L"C:\\Temp";
    const AloneMapping alone = mapAlone(path, *driveC);
    const auto expected = !alone.mapped   ? host::NewPathStatus::Unmapped
                          : alone.refused ? host::NewPathStatus::RefusedName
                                          : host::NewPathStatus::Mapped;
    std::string local;
    ASSERT_EQ(host::ToLocalPath(path, &local), alone.mapped) << i;
    if (alone.mapped) {
      ASSERT_EQ(local, alone.local) << i;
    }
    local.clear();
    ASSERT_EQ(host::ToLocalNewPath(path, &local), expected) << i;
    if (alone.mapped) {
      ASSERT_EQ(local, alone.local) << i;
    }
    if (std::any_of(path.begin(), path.end(), [](wchar_t c) { return c >= 0x80; })) continue;
    const std::string narrow(path.begin(), path.end());
    local.clear();
    ASSERT_EQ(host::AsciiToLocalNewPath(narrow, &local), expected) << i;
    if (alone.mapped) {
      ASSERT_EQ(local, alone.local) << i;
    }
    local.clear();
    ASSERT_EQ(host::AsciiToLocalPath(narrow, &local), alone.mapped) << i;
    if (alone.mapped) {
      ASSERT_EQ(local, alone.local) << i;
    }
  }
}

// The refused characters are exactly those that Windows refuses in a name; anything that is
// not a character at all (a negative code) is refused too.
TEST(PathsTest, RefusedCharactersAreTheWindowsSet) {
  const std::wstring named = L"<>:\"/\\|?*";
  // A 16-bit wchar_t is unsigned: there every value is a code unit, and none is negative.
  constexpr int first = std::is_signed_v<wchar_t> ? -3 : 0;
  for (int code = first; code < 0x3000; ++code) {
    const auto c = static_cast<wchar_t>(code);
    const bool expected = code < 0x20 || named.find(c) != std::wstring::npos;
    ASSERT_EQ(host::IsRefusedNameChar(c), expected) << code;
  }
  if constexpr (std::is_signed_v<wchar_t>) {
    EXPECT_TRUE(host::LastComponentIsRefused(std::wstring(L"C:\\a") + wchar_t(-1)));
  }
  // One character of a long name at each place: a byte that is not ASCII (a negative char)
  // and a refused one make it refused, a separator leaves the clean rest as the name.
  for (size_t at = 0; at < 40; ++at) {
    std::string name(40, 'a');
    for (const auto& [c, refused] : {std::pair{'\xe9', true}, {'|', true}, {'\\', false}}) {
      name[at] = c;
      EXPECT_EQ(host::AsciiLastComponentIsRefused("C:\\dir\\" + name), refused) << at << c;
      EXPECT_EQ(host::AsciiLastComponentIsRefused("C:" + name), refused) << at << c;
    }
  }
}

}  // namespace

namespace {

// The one path grammar that every host path operation splits paths with.
TEST(PathGrammarTest, SplitsDrivesSeparatorsAndTheLastComponent) {
  struct Case {
    const wchar_t* path;
    size_t drive;
    size_t lastStart;
  };
  const Case cases[] = {
      {L"", 0, 0},       {L"C:", 2, 2},    {L"C:\\", 2, 3},
      {L"c:Temp", 2, 2}, {L"1:\\a", 0, 3}, {L"C:\\Temp\\a b", 2, 8},
      {L"Z:/p/q", 2, 5}, {L"name", 0, 0},  {L"a\\", 0, 2},
      {L"\\\\", 0, 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(host::DriveLength(c.path), c.drive) << c.path;
    EXPECT_EQ(host::LastComponentStart(c.path), c.lastStart) << c.path;
  }
  const std::pair<const char*, std::pair<const char*, const char*>> local[] = {
      {"/a/b.dgn", {"/a", "b.dgn"}}, {"/b.dgn", {"/", "b.dgn"}}, {"b.dgn", {".", "b.dgn"}}};
  for (const auto& [path, parts] : local) {
    EXPECT_EQ(host::LocalFolderOf(path), parts.first) << path;
    EXPECT_EQ(host::LocalNameOf(path), parts.second) << path;
  }
}

// A drive is any letter of the locale and a colon: the same letters as iswalpha's, under
// the locales the shell runs in.
TEST(PathGrammarTest, DriveLettersAreTheLocalesLetters) {
  for (const char* locale : {"C", "C.UTF-8"}) {
    test_support::ScopedLocale scoped(LC_CTYPE, locale);
    ASSERT_TRUE(scoped.ok()) << locale;
    for (wchar_t c = 0; c < 0x800; ++c) {
      const std::wstring path = std::wstring(1, c) + L":\\a";
      EXPECT_EQ(host::DriveLength(path), std::iswalpha(c) ? 2u : 0u) << locale << " " << int(c);
    }
  }
}

}  // namespace
