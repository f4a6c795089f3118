// Every example program of the Help menu, built as the IDE builds it (TASM.CFG and TLink.CFG written
// into a Bin/ beside links to the built tools, the tools started from there in the source's folder) and
// run with krvscmd, its input redirected: the output must be the recorded one, byte for byte.
//
// tests/examples/data/NAME/ holds what NAME.ASM is checked against:
//   expected.stdout  what the program writes to standard output (required)
//   stdin.txt        the keys it reads (optional; empty input without it)
//   args.txt         its command-line arguments (optional)
//   tlink.txt        linker options added to the IDE's (optional; "/t" for a .COM program)
//   expected.screen  the 80x25 text screen afterwards, characters only, as pc::TextScreen::text() gives
//                    it (optional; for programs that write to the screen directly)

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>

#include "cmd/interpreter.h"
#include "pc/machine.h"
#include "process.h"

namespace krvs::examples::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSources = KRVS_EXAMPLES_SOURCE;
const fs::path kInstalled = KRVS_EXAMPLES_COPY;
const fs::path kData = KRVS_EXAMPLES_DATA;
const fs::path kFixtures = KRVS_EXAMPLES_FIXTURES;
const fs::path kTools = KRVS_TOOLS_DIR;

// The IDE's default tool options (a debug build: listing, line numbers, map).
const std::string kTasmOptions = "/la/zi/c";
const std::string kTLinkOptions = "/v/m/M/l/s";

// An example that runs longer than this in the emulated PC has hung; the host limit also covers the tools.
constexpr int kRunLimitMs = 20000;
constexpr int kHostLimitMs = 60000;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

// The base names of the example programs (NAME of NAME.ASM), in name order.
std::vector<std::string> exampleNames() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(kSources))
        if (upper(e.path().extension().string()) == ".ASM") names.push_back(e.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A folder of its own for one build: Bin/ with links to the built tools, and src/ with the program.
class Scratch {
public:
    explicit Scratch(const std::string& name)
        : m_root(fs::temp_directory_path() / ("krvs-examples-" + name + "-" + std::to_string(::getpid()))) {
        fs::remove_all(m_root);
        fs::create_directories(m_root / "Bin");
        fs::create_directories(m_root / "src");
        for (const char* tool : {"TASM.Exe", "TLink.Exe"}) fs::create_symlink(kTools / tool, m_root / "Bin" / tool);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    fs::path bin() const { return m_root / "Bin"; }
    fs::path src() const { return m_root / "src"; }

private:
    fs::path m_root;
};

struct Outcome {
    std::string buildLog;    // what the assembler and the linker printed
    std::string program;     // the linked program's file name; empty when the build failed
    ProcessResult run;       // krvscmd running it
    std::string output;      // what the program wrote to standard output
};

// Assembles and links src/NAME.ASM the way the build driver does; returns the program's name or "".
std::string buildLikeTheIde(const Scratch& s, const std::string& name, const std::string& linkOptions,
                            std::string& log) {
    const std::string base = (s.src() / name).string();
    spit(s.bin() / "TASM.CFG", kTasmOptions + " " + base + ", " + base + ", " + base + ",\r\n");
    spit(s.bin() / "TLink.CFG",
         kTLinkOptions + linkOptions + " " + base + ".Obj," + base + ".Exe," + base + ".Map,,\r\n");
    for (const char* tool : {"TASM.Exe", "TLink.Exe"}) {
        ProcessResult r = runProcess({(s.bin() / tool).string()}, s.src(), kHostLimitMs);
        log += r.output;
        if (r.exitCode != 0) return "";
    }
    // With /t the linker writes the .COM whatever TLink.CFG calls the output, as the IDE expects.
    const std::string program = name + (linkOptions.find("/t") != std::string::npos ? ".Com" : ".Exe");
    return fs::exists(s.src() / program) ? program : "";
}

Outcome buildAndRun(const Scratch& s, const fs::path& source, const fs::path& data, int runLimitMs) {
    const std::string name = source.stem().string();
    fs::copy_file(source, s.src() / source.filename());
    fs::path input = data / "stdin.txt";
    spit(s.src() / "stdin.txt", fs::exists(input) ? slurp(input) : "");

    Outcome o;
    std::string linkOptions = fs::exists(data / "tlink.txt") ? slurp(data / "tlink.txt") : "";
    linkOptions.erase(linkOptions.find_last_not_of(" \r\n") + 1);
    o.program = buildLikeTheIde(s, name, linkOptions, o.buildLog);
    if (o.program.empty()) return o;
    std::string args = fs::exists(data / "args.txt") ? " " + slurp(data / "args.txt") : "";
    o.run = runProcess({(kTools / "krvscmd").string(), "/c", o.program + args + " < stdin.txt > stdout"}, s.src(),
                       kHostLimitMs, {{"KRVSCMD_TIME_LIMIT_MS", std::to_string(runLimitMs)}});
    o.output = slurp(s.src() / "stdout");
    return o;
}

// The text screen after `command` ran in the interpreter's PC (in this process, where it can be read).
std::string screenAfter(const fs::path& dir, const std::string& command, int& errorLevel) {
    int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    cmd::Options options;
    options.inputFd = options.outputFd = options.errorFd = null;
    options.timeLimitMs = kRunLimitMs;
    std::string screen;
    pc::Machine* machine = nullptr;
    options.onMachine = [&](pc::Machine* m) {
        if (!m && machine) screen = machine->screen().text();  // the program has ended; the machine remains
        machine = m;
    };
    const fs::path before = fs::current_path();
    fs::current_path(dir);
    cmd::Interpreter interp(options);
    interp.execute(command);
    errorLevel = interp.errorLevel();
    fs::current_path(before);
    ::close(null);
    return screen;
}

class ExampleProgram : public ::testing::TestWithParam<std::string> {};

TEST_P(ExampleProgram, BuildsAndRunsToItsExpectedOutput) {
    const std::string name = GetParam();
    const fs::path data = kData / name;
    ASSERT_TRUE(fs::exists(data / "expected.stdout"))
        << name << ".ASM has no expected output: add " << (data / "expected.stdout");

    Scratch s(name);
    Outcome o = buildAndRun(s, kSources / (name + ".ASM"), data, kRunLimitMs);
    ASSERT_FALSE(o.program.empty()) << o.buildLog;
    // An example shows the students clean code: no warning from the assembler or the linker either.
    EXPECT_NE(o.buildLog.find("Warning messages:  None"), std::string::npos) << o.buildLog;
    // The IDE's default link options carry /v, which a .COM cannot hold; that one warning is expected.
    std::string log = o.buildLog;
    const std::string comDebug = "Warning: Debug info switch ignored for COM files";
    if (const auto at = log.find(comDebug); at != std::string::npos) log.erase(at, comDebug.size());
    EXPECT_EQ(log.find("Warning:"), std::string::npos) << o.buildLog;
    ASSERT_FALSE(o.run.timedOut) << "krvscmd did not end";
    EXPECT_EQ(o.run.output, "") << "krvscmd's own messages (a run limit is reached when the program hangs)";
    EXPECT_EQ(o.run.exitCode, 0);
    EXPECT_EQ(o.output, slurp(data / "expected.stdout"));

    if (fs::exists(data / "expected.screen")) {
        int errorLevel = -1;
        std::string screen = screenAfter(s.src(), o.program + " < stdin.txt > stdout", errorLevel);
        EXPECT_EQ(errorLevel, 0);
        EXPECT_EQ(screen, slurp(data / "expected.screen"));
    }
}

INSTANTIATE_TEST_SUITE_P(Examples, ExampleProgram, ::testing::ValuesIn(exampleNames()),
                         [](const auto& info) { return info.param; });

// What the Help menu lists and the install takes: NAME.ASM files with 8.3 names in upper case (the DOS
// tools and the students' course material name them so), each with its recorded run, and the same files
// in the program directory's Examples/.
TEST(ExampleFolder, HoldsExampleProgramsOnlyWithTheirRecordedRuns) {
    const std::regex dosName("[A-Z0-9_]{1,8}\\.ASM");
    std::vector<std::string> sources;
    for (const auto& e : fs::directory_iterator(kSources)) {
        const std::string file = e.path().filename().string();
        if (file == "CMakeLists.txt") continue;
        EXPECT_TRUE(std::regex_match(file, dosName)) << file << " in resources/examples is not an example program";
        sources.push_back(file);
    }
    EXPECT_FALSE(sources.empty());
    for (const auto& e : fs::directory_iterator(kData)) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(fs::exists(kSources / (name + ".ASM"))) << "tests/examples/data/" << name << " belongs to no example";
    }

    std::vector<std::string> copies;
    for (const auto& e : fs::directory_iterator(kInstalled)) copies.push_back(e.path().filename().string());
    std::sort(sources.begin(), sources.end());
    std::sort(copies.begin(), copies.end());
    EXPECT_EQ(copies, sources) << "the program directory's Examples/ is not the example folder";
    for (const auto& file : sources) {
        if (fs::exists(kInstalled / file)) {
            EXPECT_EQ(slurp(kInstalled / file), slurp(kSources / file)) << file;
        }
    }
}

// The harness itself: a program that never ends is stopped and reported, and does not hang the suite.
TEST(ExampleHarness, AProgramThatNeverEndsFailsWithinTheLimit) {
    const auto start = std::chrono::steady_clock::now();
    Scratch s("FOREVER");
    Outcome o = buildAndRun(s, kFixtures / "FOREVER.ASM", kFixtures, 1000);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start);
    ASSERT_FALSE(o.program.empty()) << o.buildLog;
    EXPECT_NE(o.run.exitCode, 0);
    EXPECT_NE(o.run.output.find("run limit"), std::string::npos) << o.run.output;
    EXPECT_EQ(o.output, "Waiting for nothing...\r\n");
    EXPECT_LT(seconds.count(), 30);

    const auto before = std::chrono::steady_clock::now();
    ProcessResult r = runProcess({"/bin/sleep", "30"}, fs::temp_directory_path(), 200);
    EXPECT_TRUE(r.timedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
}

}  // namespace
}  // namespace krvs::examples::test
