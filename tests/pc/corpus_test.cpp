// Every corpus program run in the machine with its arguments and redirected standard input and output:
// output, exit code and the text screen must match what the programs did on a real DOS machine.

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "fixture.h"

namespace krvs::pc::test {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> corpusPrograms() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(fs::path(KRVS_TEST_DATA) / "corpus"))
        if (e.is_directory()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class PcCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(PcCorpus, MatchesTheRecordedRun) {
    TempDir dir;
    fs::copy(fs::path(KRVS_TEST_DATA) / "corpus" / GetParam(), dir.path(), fs::copy_options::recursive);
    fs::path program = fs::exists(dir.path() / "expected.exe") ? dir.path() / "expected.exe" : dir.path() / "expected.com";
    int in = ::open((dir.path() / "stdin.txt").c_str(), O_RDONLY | O_CLOEXEC);
    int out = ::open((dir.path() / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(in, 0);
    ASSERT_GE(out, 0);
    StringSource keys("");
    StringSink console;
    MachineConfig config;
    config.driveRoot = dir.path();
    config.input = &keys;
    config.output = &console;
    config.stdinFd = in;
    config.stdoutFd = out;
    Machine m(config);
    LoadResult loaded = m.load(program, slurp(dir.path() / "args.txt"));
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(m.run({100'000'000, 20'000}), RunOutcome::Exited);
    ::close(in);
    ::close(out);
    EXPECT_EQ(slurp(dir.path() / "out.txt"), slurp(dir.path() / "expected.stdout"));
    EXPECT_EQ(std::to_string(m.exitCode()) + "\n", slurp(dir.path() / "expected.rc"));
    EXPECT_EQ(console.text(), "");
    EXPECT_TRUE(m.notes().empty()) << m.notes().front();
    if (fs::exists(dir.path() / "expected.screen")) {
        EXPECT_EQ(m.screen().text(), slurp(dir.path() / "expected.screen"));
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, PcCorpus, ::testing::ValuesIn(corpusPrograms()),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace krvs::pc::test
