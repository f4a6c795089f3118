// TD.Pif and TDConfig.TD: written with the defaults when missing, read back, bad lines reported.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "settings.h"

namespace krvs::console::test {
namespace {

namespace fs = std::filesystem;

struct TempFile {
    TempFile() : path(fs::temp_directory_path() / ("console-settings-" + std::to_string(::getpid()) + ".txt")) { fs::remove(path); }
    ~TempFile() { fs::remove(path); }
    fs::path path;
};

std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(SettingsTest, MissingFileIsWrittenWithTheDefaultsAndReadsBackTheSame) {
    for (SettingsKind kind : {SettingsKind::Console, SettingsKind::Debugger}) {
        TempFile f;
        SettingsResult first = loadSettings(f.path, kind);
        EXPECT_TRUE(first.problems.empty());
        EXPECT_EQ(read(f.path), defaultSettingsText(kind));
        SettingsResult again = loadSettings(f.path, kind);
        EXPECT_TRUE(again.problems.empty()) << again.problems.front();
        EXPECT_EQ(again.settings.font, ConsoleSettings{}.font);
        EXPECT_EQ(again.settings.cpu, ConsoleSettings{}.cpu);
    }
}

TEST(SettingsTest, ValuesAreTakenAndBadOnesKeepTheirDefaultWithAMessage) {
    TempFile f;
    std::ofstream(f.path) << "; comment\nFont = Noto Sans Mono\r\nfontsize=24\nCpu = 8086\nSpeed = 4772727\n"
                             "CodePage = 850\nRefresh = -3\nColour = red\nno equals sign\n";
    SettingsResult r = loadSettings(f.path, SettingsKind::Console);
    EXPECT_EQ(r.settings.font, "Noto Sans Mono");
    EXPECT_EQ(r.settings.cellHeight, 24);
    EXPECT_EQ(r.settings.cpu, x86::CpuModel::I8086);
    EXPECT_EQ(r.settings.speed, 4772727u);
    EXPECT_EQ(r.settings.codePage, 936);
    EXPECT_EQ(r.settings.refreshMs, 20);
    ASSERT_EQ(r.problems.size(), 4u);
    EXPECT_NE(r.problems[0].find("line 6"), std::string::npos);  // CodePage
    EXPECT_NE(r.problems[2].find("unknown key \"colour\""), std::string::npos);
    EXPECT_NE(r.problems[3].find("no '='"), std::string::npos);
}

TEST(SettingsTest, AnExistingFileIsNeverOverwritten) {
    TempFile f;
    std::ofstream(f.path) << "FontSize = 30\n";
    EXPECT_EQ(writeDefaultSettings(f.path, SettingsKind::Console), "");
    EXPECT_EQ(read(f.path), "FontSize = 30\n");
}

}  // namespace
}  // namespace krvs::console::test
