// Golden cases: each folder of tests/data/tasm holds one .asm source, optional options.txt (command-line
// switches), and the expected diagnostics (expected.diag), object dump (expected.obj.txt) and listing
// (expected.lst). These files were written by this assembler, so they guard against regressions only;
// classic_test.cpp checks against the classic assembler's own output. Set KRVS_UPDATE_GOLDEN=1 to
// rewrite the expected files after a reviewed change: the cases then report themselves skipped, since
// nothing was checked.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "object_dump.h"
#include "options.h"
#include "tasm/assembler.h"

namespace krvs::tasm {
namespace {

namespace fs = std::filesystem;

std::string goldenRoot() { return std::string(KRVS_TEST_DATA) + "/tasm"; }

std::vector<std::string> cases() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(goldenRoot()))
        if (e.is_directory() && e.path().filename() != "classic") names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void compareOrUpdate(const std::string& path, const std::string& actual, bool required) {
    if (std::getenv("KRVS_UPDATE_GOLDEN")) {
        if (required || fs::exists(path) || !actual.empty()) std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    if (!fs::exists(path)) {
        if (required) {
            EXPECT_EQ(actual, "") << path << " is missing";
        }
        return;
    }
    EXPECT_EQ(actual, test::readText(path)) << path;
}

class TasmGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(TasmGolden, MatchesExpectedFiles) {
    const std::string dir = goldenRoot() + "/" + GetParam();
    std::string sourceName;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string ext = e.path().extension().string();
        if (ext == ".asm" || ext == ".ASM") sourceName = e.path().filename().string();
    }
    ASSERT_FALSE(sourceName.empty()) << "no .asm in " << dir;
    CommandLine cl;
    std::string err;
    if (fs::exists(dir + "/options.txt")) {
        ASSERT_TRUE(parseWords(splitWords(test::readText(dir + "/options.txt")), cl, err)) << err;
    }
    Options o = cl.options;
    o.date = "12/10/26";
    o.time = "12:00:00";
    FileReader reader = [&](const std::string& name) -> std::optional<std::string> {
        fs::path p = fs::path(dir) / name;
        if (!fs::exists(p)) return std::nullopt;
        return test::readText(p.string());
    };
    AssemblyResult r = assemble(sourceName, test::readText(dir + "/" + sourceName), o, reader);

    std::string diags;
    for (const Diagnostic& d : r.diagnostics) diags += formatDiagnostic(d) + "\n";
    compareOrUpdate(dir + "/expected.diag", diags, true);
    EXPECT_EQ(r.object.empty(), r.errorCount > 0) << "an object exactly when there are no errors";
    if (!r.object.empty()) {
        auto m = test::readModule(r.object, &err);
        ASSERT_TRUE(m) << err;
        compareOrUpdate(dir + "/expected.obj.txt", test::dumpModule(*m), false);
    }
    if (o.listing) compareOrUpdate(dir + "/expected.lst", r.listing, false);
    if (std::getenv("KRVS_UPDATE_GOLDEN")) GTEST_SKIP() << "expected files of " << GetParam() << " rewritten, not checked";
}

INSTANTIATE_TEST_SUITE_P(Cases, TasmGolden, ::testing::ValuesIn(cases()), [](const auto& info) { return info.param; });

}  // namespace
}  // namespace krvs::tasm
