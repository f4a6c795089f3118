// Scripted sessions over the student programs and hand-made cases: commands in, exact bytes out.
// The scripts are tests/data/debug/<case>.cmd (one command per line); the replies <case>.out.
// The .out files were written by this DEBUG and reviewed: they guard against regressions, they are no
// independent reference (classic_test.cpp compares with the classic DEBUG's output).
// KRVS_UPDATE_GOLDEN=1 rewrites the .out files from the current output, for review; every case then
// reports itself skipped, so an update run can never pass as a test run.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "session_runner.h"

namespace krvs::debug::test {
namespace {

struct GoldenCase {
    const char* name;
    const char* program;  // under tests/data, or "" for DEBUG alone
    const char* args;
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class DebugGolden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(DebugGolden, ReplaysTheTranscript) {
    const GoldenCase& c = GetParam();
    const std::string base = dataPath(std::string("debug/") + c.name);
    const std::string script = readFile(base + ".cmd");
    ASSERT_FALSE(script.empty()) << base << ".cmd";
    const std::string program = *c.program ? dataPath(c.program) : "";
    const Transcript t = runSession(script, program, c.args);
    if (std::getenv("KRVS_UPDATE_GOLDEN")) {
        std::ofstream(base + ".out", std::ios::binary) << t.output;
        GTEST_SKIP() << "KRVS_UPDATE_GOLDEN is set: rewrote " << base << ".out, nothing was compared";
    }
    EXPECT_EQ(t.output, readFile(base + ".out"));
}

const GoldenCase kCases[] = {
    {"dump_unassemble", "", ""},
    {"prefix_at_csip", "", ""},
    {"proceed_rules", "", ""},
    {"errors", "", ""},
    {"hellocom_steps", "corpus/HELLOCOM/expected.com", ""},
    {"trace_into_int", "corpus/HELLOCOM/expected.com", ""},
    {"arrsum_call", "corpus/ARRSUM/expected.exe", ""},
    {"revline_input", "corpus/REVLINE/expected.exe", ""},
    {"pspargs_load", "corpus/PSPARGS/expected.exe", "one two"},
};
INSTANTIATE_TEST_SUITE_P(Sessions, DebugGolden, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace krvs::debug::test
