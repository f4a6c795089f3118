// krvsdoc as the build runs it: it writes the manual, and on bad texts it fails without touching
// the manual already there.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "doc/manual.h"

namespace krvs::doc {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

class Generator : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("krvs-doc-gen-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        fs::copy(fs::path(KRVS_SOURCE_DIR) / "resources" / "manual", m_dir / "texts");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    int run(const std::string& args) {
        int status = std::system(("'" + std::string(KRVSDOC_PATH) + "' " + args + " 2>/dev/null").c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string texts() const { return "'" + (m_dir / "texts").string() + "'"; }
    std::string out() const { return "'" + (m_dir / "KRVS.html").string() + "'"; }

    fs::path m_dir;
};

TEST_F(Generator, WritesTheManual) {
    ASSERT_EQ(run(texts() + " " + out()), 0);
    EXPECT_EQ(readAll(m_dir / "KRVS.html"), buildManual(m_dir / "texts").html);
}

TEST_F(Generator, BadTextsFailAndLeaveTheOldManual) {
    std::ofstream(m_dir / "KRVS.html") << "the manual of yesterday";
    struct Case {
        const char* file;
        const char* append;  // empty: the file is removed
    } cases[] = {
        {"dos.txt", "\n== 21/4C\n名称: twice\n"},
        {"bios.txt", "\n== 10/00\n颜色: red\n"},
        {"faq.html", ""},
    };
    for (const Case& c : cases) {
        fs::path file = m_dir / "texts" / c.file;
        std::string saved = readAll(file);
        if (*c.append) std::ofstream(file, std::ios::app) << c.append;
        else fs::remove(file);
        EXPECT_EQ(run(texts() + " " + out()), 1) << c.file;
        EXPECT_EQ(readAll(m_dir / "KRVS.html"), "the manual of yesterday") << c.file;
        std::ofstream(file, std::ios::binary) << saved;
    }
    EXPECT_EQ(run(texts() + " '" + (m_dir / "no-such-dir" / "KRVS.html").string() + "'"), 1);
    EXPECT_EQ(run(texts()), 2);
}

}  // namespace
}  // namespace krvs::doc
