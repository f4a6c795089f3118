#include "platform/association.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace krvs::platform {
namespace {

using test::TempDir;

AssociationPaths pathsIn(const TempDir& dir) {
  return {dir.file("data/applications"), dir.file("config/mimeapps.list")};
}

AsmAssociation entryFor(const std::string& program) { return {program, "", "汇编文件", "汇编源程序"}; }

TEST(Association, WrittenThenRecognised) {
  TempDir dir;
  AssociationPaths paths = pathsIn(dir);
  EXPECT_FALSE(isAsmAssociated(paths, "/opt/k/korvash"));
  ASSERT_EQ(associateAsm(paths, entryFor("/opt/k/korvash")), "");
  EXPECT_TRUE(isAsmAssociated(paths, "/opt/k/korvash"));
  // Another copy of the program is not the one associated; the comparison keeps case.
  EXPECT_FALSE(isAsmAssociated(paths, "/opt/other/korvash"));
  EXPECT_FALSE(isAsmAssociated(paths, "/OPT/K/KORVASH"));

  auto desktop = readFile(paths.applicationsDir + "/korvash.desktop");
  ASSERT_TRUE(desktop);
  for (const char* line : {"Exec=\"/opt/k/korvash\" %f\n", "MimeType=text/x-asm;\n", "Comment=汇编源程序\n",
                           "GenericName=汇编文件\n"}) {
    EXPECT_NE(desktop->find(line), std::string::npos) << line;
  }
}

TEST(Association, KeepsTheUsersOtherDefaultsAndReplacesOnlyOurs) {
  TempDir dir;
  AssociationPaths paths = pathsIn(dir);
  dir.write("config/mimeapps.list",
            "[Default Applications]\ntext/plain=gedit.desktop\ntext/x-asm=emacs.desktop;vim.desktop;\n"
            "\n[Removed Associations]\nimage/png=gimp.desktop;\n");
  EXPECT_FALSE(isAsmAssociated(paths, "/k/korvash"));
  ASSERT_EQ(associateAsm(paths, entryFor("/k/korvash")), "");
  auto text = readFile(paths.mimeAppsList);
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("text/plain=gedit.desktop\n"), std::string::npos);
  EXPECT_NE(text->find("text/x-asm=korvash.desktop;emacs.desktop;vim.desktop;\n"), std::string::npos);
  EXPECT_NE(text->find("[Removed Associations]\nimage/png=gimp.desktop;\n"), std::string::npos);
  EXPECT_NE(text->find("[Added Associations]\ntext/x-asm=korvash.desktop;\n"), std::string::npos);
  EXPECT_TRUE(isAsmAssociated(paths, "/k/korvash"));

  // Doing it again changes nothing.
  ASSERT_EQ(associateAsm(paths, entryFor("/k/korvash")), "");
  EXPECT_EQ(readFile(paths.mimeAppsList), text);
}

TEST(Association, AnotherDefaultApplicationMeansNotAssociated) {
  TempDir dir;
  AssociationPaths paths = pathsIn(dir);
  ASSERT_EQ(associateAsm(paths, entryFor("/k/korvash")), "");
  dir.write("config/mimeapps.list", "[Default Applications]\ntext/x-asm=vim.desktop;korvash.desktop;\n");
  EXPECT_FALSE(isAsmAssociated(paths, "/k/korvash"));
}

TEST(Association, FailedWriteIsReported) {
  TempDir dir;
  std::string blocker = dir.write("blocker", "x");
  AssociationPaths paths{blocker + "/applications", dir.file("config/mimeapps.list")};
  EXPECT_NE(associateAsm(paths, entryFor("/k/korvash")), "");
  EXPECT_FALSE(isAsmAssociated(paths, "/k/korvash"));
}

TEST(Association, ExecValueQuotesReservedCharacters) {
  struct Case {
    const char* program;
    const char* exec;
  } cases[] = {
      {"/usr/lib/korvash/korvash", "\"/usr/lib/korvash/korvash\" %f"},
      {"/home/a b/korvash", "\"/home/a b/korvash\" %f"},
      {"/x/$HOME/k", "\"/x/\\\\$HOME/k\" %f"},
      {"/x/100%/k", "\"/x/100%%/k\" %f"},
  };
  for (const Case& c : cases) EXPECT_EQ(desktopExecValue(c.program), c.exec) << c.program;
}

}  // namespace
}  // namespace krvs::platform
