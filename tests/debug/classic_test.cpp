// DEBUG's replies against the classic DEBUG's own: tests/data/debug/classic/ holds examples of its output,
// copied as they are (register display, memory operand and prefix lines, dumps, unassembly, error marks,
// program end, a trace step). The dump examples were reconstructed from the classic DEBUG's dump rules rather
// than captured from a run; the others are its captured output. Segment values there are 0B3E, so each case sets the segment registers to
// that first; the memory each example shows is put there with E. Unlike the transcripts in
// tests/data/debug/*.out, which this DEBUG wrote itself, these come from outside and are never rewritten.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "session_runner.h"

namespace krvs::debug::test {
namespace {

std::string readData(const std::string& name) {
    std::ifstream in(dataPath("debug/classic/" + name), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The example's lines as DEBUG writes them: CR LF after each line, none after a final "-" prompt.
std::string asWritten(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    if (out.size() >= 3 && out.compare(out.size() - 3, 3, "-\r\n") == 0) out.resize(out.size() - 2);
    return out;
}

// What a screen shows: the CR that DOS echoes at the end of a typed command moves nowhere.
std::string onScreen(std::string text) {
    for (std::size_t at; (at = text.find("\r\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

// A listing as printed with 8-column tabs and no trailing blanks, one line per element.
std::vector<std::string> rendered(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\t') {
            do line += ' ';
            while (line.size() % 8);
        } else if (c == '\n') {
            while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return lines;
}

struct Classic {
    std::string file;
    std::string setup;     // E commands, run before anything is recorded
    std::string typed;     // command lines typed at the prompt, each ending in CR
    bool classicSegments;  // CS = DS = ES = SS = 0B3E as in the example
};

std::ostream& operator<<(std::ostream& os, const Classic& c) { return os << c.file; }

// Runs `setup` silently, then `typed` through the prompt loop; returns what the typed lines produced.
std::string replay(const Classic& c) {
    pc::StringSource in(c.typed);
    ChunkSink out;
    Console console(in, out, false);
    SessionOptions options;
    options.clockStart = 1;
    Session session(console, options);
    if (c.classicSegments)
        for (auto& seg : session.regs().seg) seg = 0x0B3E;
    std::istringstream setup(c.setup);
    for (std::string line; std::getline(setup, line);) session.execute(line);
    console.flush();
    out.chunks.clear();
    session.run();
    return out.all();
}

const std::string kHello = "e 100 b4 09 ba 09 01 cd 21 c3 \"Hello, world!$ !\" 22 23 24 25 26 27 28 29\n";

// The reply must start with the example's text, followed at most by the next prompt.
class ClassicScreen : public ::testing::TestWithParam<Classic> {};

TEST_P(ClassicScreen, ReplyIsTheClassicText) {
    const Classic& c = GetParam();
    const std::string expected = asWritten(readData(c.file));
    ASSERT_FALSE(expected.empty()) << c.file;
    const std::string got = onScreen(replay(c));
    EXPECT_EQ(got.substr(0, expected.size()), expected);
    EXPECT_TRUE(got.size() == expected.size() || got.substr(expected.size()) == "-") << got;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ClassicScreen,
    ::testing::Values(
        Classic{"dump_whole_rows.txt", kHello, "d 100 L 20\r", true},
        Classic{"dump_from_mid_row.txt", kHello, "d 105 L 14\r", true},
        Classic{"dump_from_byte_8.txt", kHello, "d 108 L 10\r", true},
        Classic{"errors.txt", "", "xyz\rd 100 zz\r", false},
        Classic{"trace.txt", "e 100 b4 09 ba 09 01\n", "t\r", true},
        // The program prints its text without a line end; the message starts with CR LF. The RET goes to
        // the INT 20h at the start of DEBUG's PSP through the zero word on its stack.
        Classic{"termination.txt", "e 100 b4 09 ba 08 01 cd 21 c3 \"Hello, world!$\"\n", "g\r", false}),
    [](const auto& info) {
        std::string n = info.param.file;
        return n.substr(0, n.find('.'));
    });

// The register display byte for byte, trailing blanks and TAB included: the last lines of "r".
TEST(ClassicRegisters, DisplayLinesAreTheClassicBytes) {
    const struct {
        const char* file;
        std::string setup;
    } cases[] = {
        {"register_display.txt", "e 100 b4 09\n"},
        {"memory_operand.txt", "e 100 a1 00 00\ne 0 cd 20\n"},
        {"prefix_lines.txt", "e 100 26 8b 07\ne 0 cd 20\n"},
    };
    for (const auto& c : cases) {
        const std::string expected = asWritten(readData(c.file));
        ASSERT_FALSE(expected.empty()) << c.file;
        const std::string got = replay(Classic{c.file, c.setup, "r\r", true});
        const std::string reply = got.substr(0, got.size() - 1);  // without the next prompt
        ASSERT_GE(reply.size(), expected.size()) << c.file << "\n" << got;
        EXPECT_EQ(reply.substr(reply.size() - expected.size()), expected) << c.file;
    }
}

TEST(ClassicUnassemble, LinesRenderAsTheClassicListing) {
    const std::string got =
        replay(Classic{"unassemble_rendered.txt", "e 100 b4 09 ba 09 01 cd 21 c3 f3 a4 2e 8b 07\n", "u 100 10c\r", true});
    std::vector<std::string> lines = rendered(got);
    ASSERT_FALSE(lines.empty());
    lines.erase(lines.begin());  // the echo of the command
    EXPECT_EQ(lines, rendered(readData("unassemble_rendered.txt")));
}

// The echo of a typed command, as bytes: the command, the CR that DOS echoes, DEBUG's own CR LF.
TEST(ClassicEcho, TypedCommandBytes) {
    const std::string got = replay(Classic{"", "", "d 100\r", false});
    const std::string expected = "\x2D\x64\x20\x31\x30\x30\x0D\x0D\x0A";
    EXPECT_EQ(got.substr(0, 9), expected);
}

}  // namespace
}  // namespace krvs::debug::test
