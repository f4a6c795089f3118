// The desktop entry the install puts in share/applications and the one the IDE writes for the user when
// it takes the .asm association have the same file name, so the user's one replaces the installed one:
// they must say the same things, apart from the command and the icon, which name the copy that runs.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "platform/association.h"
#include "platform/files.h"

namespace {

using Entry = std::map<std::string, std::string>;

Entry readEntry(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in) << path;
    Entry entry;
    std::string section;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.front() == '[') {
            section = line;
            continue;
        }
        auto eq = line.find('=');
        if (eq != std::string::npos) entry[section + line.substr(0, eq)] = line.substr(eq + 1);
    }
    return entry;
}

TEST(DesktopEntryTest, InstalledEntryAgreesWithTheUsersAssociation) {
    const std::string installedPath = KRVS_DESKTOP_ENTRY;
    EXPECT_EQ(installedPath.substr(installedPath.rfind('/') + 1), krvs::platform::kDesktopFileName);
    Entry installed = readEntry(installedPath);
    const std::string group = "[Desktop Entry]";
    ASSERT_TRUE(installed.count(group + "GenericName") && installed.count(group + "Comment"));

    char pattern[] = "/tmp/krvs-desktop-entry.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    krvs::platform::AssociationPaths paths{dir + "/applications", dir + "/mimeapps.list"};
    krvs::platform::AsmAssociation association;
    association.programFile = "/opt/Korvash Test/korvash";
    association.iconFile = "/opt/Korvash Test/korvash.png";
    association.typeName = installed[group + "GenericName"];
    association.description = installed[group + "Comment"];
    ASSERT_EQ(krvs::platform::associateAsm(paths, association), "");
    Entry user = readEntry(paths.applicationsDir + "/" + krvs::platform::kDesktopFileName);
    std::system(("rm -rf '" + dir + "'").c_str());

    EXPECT_EQ(user[group + "Exec"], "\"/opt/Korvash Test/korvash\" %f");
    EXPECT_EQ(user[group + "Icon"], association.iconFile);
    EXPECT_EQ(installed[group + "Exec"], "korvash %f");
    EXPECT_EQ(installed[group + "Icon"], "korvash");
    EXPECT_EQ(installed[group + "MimeType"], std::string(krvs::platform::kAsmMimeType) + ";");
    for (Entry* e : {&installed, &user}) {
        e->erase(group + "Exec");
        e->erase(group + "Icon");
    }
    EXPECT_EQ(installed, user);
}

}  // namespace
