#include "platform/dosnames.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "temp_dir.h"

namespace krvs::platform {
namespace {

using test::TempDir;

TEST(DosNames, LookupIgnoresCaseAndPrefersTheExactName) {
  TempDir dir;
  dir.write("PROG.OBJ", "upper");
  dir.write("Prog.Lst", "mixed");
  dir.write("prog.lst", "lower");

  struct Case {
    const char* asked;
    const char* found;  // nullptr: none
  } cases[] = {
      {"prog.obj", "PROG.OBJ"}, {"PROG.OBJ", "PROG.OBJ"}, {"Prog.Obj", "PROG.OBJ"},
      {"prog.lst", "prog.lst"},  // exact wins over a variant
      {"PROG.LST", "Prog.Lst"},  // first variant in byte order
      {"prog.map", nullptr},     {"prog.ob", nullptr},
  };
  for (const Case& c : cases) {
    auto found = findNoCase(dir.file(c.asked));
    if (c.found) {
      EXPECT_EQ(found, dir.file(c.found)) << c.asked;
    } else {
      EXPECT_EQ(found, std::nullopt) << c.asked;
      EXPECT_EQ(resolveNoCase(dir.file(c.asked)), dir.file(c.asked));
    }
  }
}

TEST(DosNames, DirectoriesAreNotFiles) {
  TempDir dir;
  dir.write("bin/x", "");
  EXPECT_EQ(findNoCase(dir.file("BIN")), std::nullopt);
}

TEST(DosNames, RemoveDeletesEveryCaseVariantOnly) {
  TempDir dir;
  dir.write("a.MAP", "");
  dir.write("A.map", "");
  dir.write("a.Mapx", "");
  EXPECT_EQ(removeNoCase(dir.file("a.Map")), 2);
  EXPECT_TRUE(fileExists(dir.file("a.Mapx")));
  EXPECT_EQ(removeNoCase(dir.file("a.Map")), 0);
}

TEST(DosNames, EqualsNoCaseFoldsAsciiLettersOnly) {
  EXPECT_TRUE(equalsNoCase("C:\\A\\X.ASM", "c:\\a\\x.asm"));
  EXPECT_FALSE(equalsNoCase("x.asm", "x.asm "));
  EXPECT_FALSE(equalsNoCase("[", "{"));  // 0x5B and 0x7B differ by the case bit, but are not letters
  EXPECT_FALSE(equalsNoCase("文件", "文仵"));
  EXPECT_TRUE(equalsNoCase("文件.ASM", "文件.asm"));
}

TEST(DosNames, PathsResolveComponentByComponent) {
  TempDir dir;
  dir.write("Sub/Deep/PROG.OBJ", "");
  dir.write("Sub/deep/prog.obj", "");
  struct Case {
    const char* asked;
    const char* found;
  } cases[] = {
      {"sub/DEEP/prog.OBJ", "Sub/Deep/PROG.OBJ"},   // the first variant in byte order
      {"Sub\\deep\\prog.obj", "Sub/deep/prog.obj"},  // exact, with DOS separators
      {"SUB/DEEP/NEW.EXE", "Sub/Deep/NEW.EXE"},     // a file about to be created keeps its name
      {"sub/none/x.obj", "Sub/none/x.obj"},
      {"Sub/deep/NEW.EXE", "Sub/deep/NEW.EXE"},     // an exact directory beats its variant on the way down
  };
  for (const Case& c : cases) EXPECT_EQ(resolvePathNoCase(dir.file(c.asked)), dir.file(c.found)) << c.asked;
}

TEST(DosNames, FoldsOnlyAsciiLetters) {
  EXPECT_EQ(upperAscii("prog.asm[{文件}]"), "PROG.ASM[{文件}]");
  EXPECT_EQ(lowerAscii("PROG.ASM@\xC4\xE3"), "prog.asm@\xC4\xE3");
}

TEST(DosNames, ShortEntriesSkipLongNamesAndPreferTheExactSpelling) {
  TempDir dir;
  dir.write(".git", "");
  dir.write("Long file name.txt", "");
  dir.write("prog.asm", "");
  dir.write("PROG.ASM", "");
  EXPECT_EQ(findShortEntry(dir.path(), ".GIT"), "");
  EXPECT_EQ(findShortEntry(dir.path(), "LONG FILE NAME.TXT"), "");
  EXPECT_EQ(findShortEntry(dir.path(), "prog.asm"), "prog.asm");
  EXPECT_EQ(findShortEntry(dir.path(), "Prog.Asm"), "PROG.ASM");
}

TEST(DosNames, ReplaceExtension) {
  struct Case {
    const char* path;
    const char* ext;
    const char* expected;
  } cases[] = {
      {"/a/prog.asm", ".Lst", "/a/prog.Lst"},
      {"/a/prog", ".Obj", "/a/prog.Obj"},
      {"/a.dir/prog", ".Map", "/a.dir/prog.Map"},
      {"/a/prog.x.asm", ".Tr", "/a/prog.x.Tr"},
      {"prog.asm", ".Xrf", "prog.Xrf"},
  };
  for (const Case& c : cases) EXPECT_EQ(replaceExtension(c.path, c.ext), c.expected) << c.path;
}

}  // namespace
}  // namespace krvs::platform

namespace krvs::platform {
namespace {

TEST(DosNames, ShortNamesAndWhatDosMakesOfALongOne) {
  struct Case { const char* name; bool isShort; const char* asDos; };
  const Case cases[] = {
      {"HELLO.ASM", true, "HELLO.ASM"},   {"hello.asm", true, "HELLO.ASM"}, {"README", true, "README"},
      {"A.B", true, "A.B"},               {"\xBB\xE3\xB1\xE0.ASM", true, "\xBB\xE3\xB1\xE0.ASM"},
      {".git", false, ""},                {".ssh", false, ""},              {"x.tar.gz", false, ""},
      {"Long file.txt", false, ""},       {"LongerName.txt", false, "LONGERNA.TXT"},
      {"name.text", false, "NAME.TEX"},   {"NAME.", false, "NAME"},         {"a+b.c", false, ""},
      {"", false, ""},                    {"..", false, ""},                {"tab\t.x", false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isShortName(c.name), c.isShort) << c.name;
    EXPECT_EQ(toShortName(c.name), c.asDos) << c.name;
  }
}

}  // namespace
}  // namespace krvs::platform
