// Bad input ends with diagnostics, never with a crash, a hang or a runaway expansion.

#include <gtest/gtest.h>

#include <omf/writer.h>

#include <optional>
#include <random>

#include "object_dump.h"
#include "tasm/assembler.h"

namespace krvs::tasm {
namespace {

bool hasMessage(const AssemblyResult& r, const std::string& text) {
    for (const Diagnostic& d : r.diagnostics)
        if (d.message.find(text) != std::string::npos) return true;
    return false;
}

TEST(TasmRobustness, RandomSourcesEndWithAResult) {
    static const char* kPieces[] = {
        "mov", "ax", "bx", ",", "[", "]", "+", "-", "*", "(", ")", "'", "\"", "db", "dw", "dup", "?",
        "segment", "ends", "proc", "endp", "macro", "endm", "rept", "irp", "irpc", "if", "else", "endif",
        "local", "exitm", "&", "%", "<", ">", "!", "equ", "=", "org", "$", "end", "include", "x", "y", ":",
        "offset", "seg", "ptr", "byte", "short", "jmp", "jz", "struc", "record", "comment", "*", "0FFFFFFFFh",
        "99999999999", ".model", "small", ".code", ".data", "assume", "cs", "ds", "nothing", "\n", "\n", "\n",
    };
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        std::string src;
        int len = static_cast<int>(rng() % 200);
        for (int i = 0; i < len; ++i) {
            if (rng() % 8 == 0) src.push_back(static_cast<char>(rng() % 256));
            else src += std::string(kPieces[rng() % std::size(kPieces)]) + " ";
        }
        AssemblyResult r = assemble("R.ASM", src, Options{}, [](const std::string&) { return std::optional<std::string>("x"); });
        EXPECT_GE(r.passes, 1);
        EXPECT_EQ(r.object.empty(), r.errorCount > 0);
    }
}

// The main source as a file that another program may rewrite between two passes, or that stops
// reading part-way.
class ChangingSource : public SourceReader {
public:
    std::vector<std::string> texts;  // what each pass reads; the last one from then on
    std::optional<size_t> failAt;    // a read error at this byte
    bool rewind() override {
        m_text = texts[std::min(m_passes++, texts.size() - 1)];
        m_pos = 0;
        return true;
    }
    std::optional<size_t> read(char* buffer, size_t size) override {
        if (failAt && m_pos + size > *failAt) return std::nullopt;
        size_t n = m_text.copy(buffer, size, m_pos);
        m_pos += n;
        return n;
    }

private:
    std::string m_text;
    size_t m_pos = 0, m_passes = 0;
};

TEST(TasmRobustness, ASourceChangedBetweenPassesOrUnreadableGivesNoObject) {
    const std::string one = "c segment\nassume cs:c\ns: jmp t\nt: nop\nc ends\nend s\n";
    std::string two = one;
    two.replace(two.find("nop"), 3, "cld");  // as long, one byte different
    struct Case {
        std::vector<std::string> texts;
        std::optional<size_t> failAt;
        const char* message;  // nullptr: assembles
    } cases[] = {
        {{one}, std::nullopt, nullptr},
        {{one, two}, std::nullopt, "Source file changed during assembly: C.ASM"},
        {{one}, 10, "Unable to read input file: C.ASM"},
    };
    for (const Case& c : cases) {
        ChangingSource source;
        source.texts = c.texts;
        source.failAt = c.failAt;
        std::vector<std::uint8_t> object;
        omf::VectorSink sink(object);
        AssemblyResult r = assemble("C.ASM", source, Options{}, nullptr, sink);
        if (!c.message) {
            EXPECT_EQ(r.errorCount, 0);
            EXPECT_EQ(r.objectSize, object.size());
            EXPECT_EQ(object, assemble("C.ASM", one, Options{}, nullptr).object);
            continue;
        }
        EXPECT_TRUE(hasMessage(r, c.message)) << c.message;
        EXPECT_GT(r.errorCount, 0);
        EXPECT_TRUE(object.empty());
    }
}

// The tool's way (source read pass by pass, object and listing streamed) gives the bytes that the
// in-memory way gives, over a listing of many 64 KB blocks with its symbol table and errors.
TEST(TasmRobustness, StreamedObjectAndListingAreTheSameBytes) {
    struct Collect : ListingSink {
        std::string text;
        int writes = 0;
        void write(std::string_view t) override {
            text += t;
            ++writes;
        }
    };
    std::string src = "c segment\nassume cs:c\ns:\n";
    for (int i = 0; i < 3000; ++i) src += "l" + std::to_string(i) + ": mov ax, offset l" + std::to_string(i) + "\n";
    src += " mov ax, nosuch\nc ends\nend s\n";
    for (bool errors : {false, true}) {
        std::string text = errors ? src : src.substr(0, src.find(" mov ax, nosuch")) + "c ends\nend s\n";
        Options opts;
        opts.listing = opts.listingAll = opts.crossRef = opts.lineNumbers = true;
        opts.date = "01/01/26";
        opts.time = "00:00:00";
        AssemblyResult whole = assemble("S.ASM", text, opts, nullptr);
        ChangingSource source;
        source.texts = {text};
        std::vector<std::uint8_t> object;
        omf::VectorSink sink(object);
        Collect listing;
        AssemblyResult streamed = assemble("S.ASM", source, opts, nullptr, sink, &listing);
        EXPECT_EQ(object, whole.object);
        EXPECT_EQ(object.empty(), errors);
        EXPECT_EQ(listing.text, whole.listing);
        EXPECT_GT(listing.writes, 2);
        EXPECT_TRUE(streamed.listing.empty());
        EXPECT_EQ(streamed.errorCount, whole.errorCount);
    }
}

TEST(TasmRobustness, RecursiveMacroStopsWithAnError) {
    AssemblyResult r = assemble("M.ASM", "m macro\n m\n endm\nc segment\n m\nc ends\n end\n", Options{}, nullptr);
    EXPECT_GT(r.errorCount, 0);
    EXPECT_TRUE(hasMessage(r, "Macro expansion too deep"));
}

TEST(TasmRobustness, ThousandLevelsOfNestedMacrosStopWithAnError) {
    std::string src;
    for (int i = 0; i < 1000; ++i) src.append("m").append(std::to_string(i)).append(" macro\n m").append(std::to_string(i + 1)).append("\n endm\n");
    src += "m1000 macro\n nop\n endm\nc segment\n m0\nc ends\n end\n";
    AssemblyResult r = assemble("M.ASM", src, Options{}, nullptr);
    EXPECT_TRUE(hasMessage(r, "Macro expansion too deep"));
}

TEST(TasmRobustness, RecursiveIncludeStopsWithAnError) {
    FileReader self = [](const std::string&) { return std::optional<std::string>("include self.inc\n"); };
    AssemblyResult r = assemble("I.ASM", "include self.inc\nend\n", Options{}, self);
    EXPECT_TRUE(hasMessage(r, "Too many nested includes"));
}

// An ELSE or ENDIF in a macro body belongs to no IF around the macro's call: they are unmatched there,
// and the IF outside stays as it was. (The ELSE once switched the outer IF off; the skipped ENDIF then
// closed it and the next ENDIF popped an empty nesting.)
TEST(TasmRobustness, ConditionalsInAMacroBodyLeaveTheIfAroundTheCallAlone) {
    AssemblyResult r = assemble("C.ASM", "if count\nm macro\nelse\nendif\nendif\ncount=1\nendm\nm\nend\n", Options{}, nullptr);
    EXPECT_TRUE(hasMessage(r, "Unmatched ELSE"));
    EXPECT_TRUE(hasMessage(r, "Unmatched ENDIF"));
    EXPECT_TRUE(hasMessage(r, "Open conditional"));  // the IF on line 1 has no ENDIF of its own

    r = assemble("D.ASM", "if 1\nn macro\nelse\nendm\nn\n%out still on\nendif\nend\n", Options{}, nullptr);
    EXPECT_TRUE(hasMessage(r, "Unmatched ELSE"));
    EXPECT_EQ(r.messages, std::vector<std::string>{"still on"});
    EXPECT_EQ(r.errorCount, 1);
}

TEST(TasmRobustness, HugeRepeatCountIsRefused) {
    AssemblyResult r = assemble("R.ASM", "c segment\n rept 100000000\n nop\n nop\n endm\nc ends\nend\n", Options{}, nullptr);
    EXPECT_TRUE(hasMessage(r, "Too many lines"));
}

// An object module numbers segments, external symbols and names (of segments, classes and groups,
// after the empty name) with 15 bits: one past the limit once came out numbered as another in an
// object reported as good. The most that fit assemble to an object that reads back; one more is refused.
TEST(TasmRobustness, MoreThanAnObjectCanNumberIsRefused) {
    struct Case {
        const char* message;
        int fits;
        std::string (*one)(int i);
    };
    const Case cases[] = {
        {"Too many segments", 0x7FFE,  // with the empty name, 7FFEh segment names fill the table
         [](int i) { return "s" + std::to_string(i) + " segment\ndb 1\ns" + std::to_string(i) + " ends\n"; }},
        {"Too many segments", 0x3FFF,  // each with a class of its own: two names a segment
         [](int i) {
             const std::string n = std::to_string(i);
             return "s" + n + " segment 'c" + n + "'\ndb 1\ns" + n + " ends\n";
         }},
        {"Too many external symbols", 0x7FFF, [](int i) { return "extrn e" + std::to_string(i) + ":byte\n"; }},
    };
    for (const Case& c : cases) {
        auto source = [&](int count) {
            std::string src;
            for (int i = 0; i < count; ++i) src += c.one(i);
            return src + "end\n";
        };
        AssemblyResult r = assemble("N.ASM", source(c.fits), Options{}, nullptr);
        EXPECT_EQ(r.errorCount, 0) << c.message << " " << c.fits;
        std::string error;
        EXPECT_TRUE(test::readModule(r.object, &error)) << c.message << " " << c.fits << ": " << error;
        r = assemble("N.ASM", source(c.fits + 1), Options{}, nullptr);
        EXPECT_TRUE(hasMessage(r, c.message)) << c.message << " " << c.fits + 1;
        EXPECT_TRUE(r.object.empty()) << c.message << " " << c.fits + 1;
    }
}

TEST(TasmRobustness, MissingIncludeIsAnErrorOnItsLine) {
    AssemblyResult r = assemble("I.ASM", "\ninclude nothere.inc\nend\n", Options{}, nullptr);
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(formatDiagnostic(r.diagnostics[0]), "**Error** I.ASM(2) Can't locate file: nothere.inc");
}

TEST(TasmRobustness, DeeplyNestedExpressionsAreRefusedWithoutOverflowingTheStack) {
    auto nested = [](const std::string& open, const std::string& inner, const std::string& close) {
        std::string s;
        for (int i = 0; i < 6000; ++i) s += open;
        s += inner;
        for (int i = 0; i < 6000; ++i) s += close;
        return s;
    };
    const std::string operands[] = {
        nested("(", "1", ")"), nested("[", "bx", "]"), nested("offset ", "x", ""), nested("word ptr ", "[bx]", ""),
        nested("-", "1", ""), nested("not ", "1", ""),
    };
    for (const std::string& op : operands) {
        AssemblyResult r = assemble("D.ASM", "c segment\nx dw 0\n mov ax," + op + "\nc ends\nend\n", Options{}, nullptr);
        ASSERT_EQ(r.diagnostics.size(), 1u) << op.substr(0, 20);
        EXPECT_EQ(formatDiagnostic(r.diagnostics[0]), "**Error** D.ASM(3) Expression too complex") << op.substr(0, 20);
    }
    // Nesting a person writes is fine.
    AssemblyResult ok = assemble("D.ASM", "c segment\n mov ax," + std::string(100, '(') + "1" + std::string(100, ')') +
                                              "\nc ends\nend\n", Options{}, nullptr);
    EXPECT_EQ(ok.errorCount, 0);
}

TEST(TasmRobustness, DataLargerThanASegmentIsRefusedAtOnce) {
    const char* lines[] = {
        " db 65535 dup (65535 dup (65535 dup (1)))",
        " dw 65535 dup (65535 dup (65535 dup (?)))",
        " db 65535 dup (65535 dup (''))",
        " db 65535 dup (65535 dup (later dup (1)))\nlater equ 0",  // a count not known in the first pass
        " db 8000h dup (1)\n db 8001h dup (1)",
        "st struc\nf db 1000 dup (1)\nst ends\nv st 100 dup (<>)",
    };
    for (const char* line : lines) {
        AssemblyResult r = assemble("D.ASM", std::string("c segment\n") + line + "\nc ends\nend\n", Options{}, nullptr);
        ASSERT_GE(r.diagnostics.size(), 1u) << line;
        EXPECT_EQ(r.diagnostics.back().message, "Location counter overflow") << line;
    }
    // Exactly 64K still fits.
    EXPECT_EQ(assemble("D.ASM", "c segment\n db 8000h dup (1)\n db 8000h dup (1)\nc ends\nend\n", Options{}, nullptr).errorCount, 0);
}

// Found by fuzz_tasm: the simplified segments joined a DGROUP that another kind of symbol held (and
// indexed group -1). It is one error, at .MODEL, where the group is made: not one more for the data
// segment .MODEL makes, nor for each .DATA.
TEST(TasmRobustness, DgroupTakenByAnotherSymbolIsAnErrorForTheSimplifiedSegments) {
    AssemblyResult r = assemble("D.ASM", "dgroup equ 5\n.model small\n.data\nx db 1\n.code\ns: mov ax, 1\nend s\n",
                                Options{}, nullptr);
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(formatDiagnostic(r.diagnostics[0]), "**Error** D.ASM(2) Symbol already different kind: DGROUP");
    EXPECT_TRUE(r.object.empty());
}

TEST(TasmRobustness, CircularEquatesAreReported) {
    struct Case {
        const char* src;
        const char* first;
    } cases[] = {
        {"x equ y\ny equ x\n", "**Error** C.ASM(1) Circular definition: X"},
        {"x = y + 1\ny = x\n", "**Error** C.ASM(1) Circular definition: X"},
        {"x equ b\nb equ c\nc equ x\n", "**Error** C.ASM(1) Circular definition: X"},
    };
    for (const Case& c : cases) {
        AssemblyResult r = assemble("C.ASM", std::string(c.src) + "s segment\n mov ax, x\ns ends\nend\n", Options{}, nullptr);
        ASSERT_FALSE(r.diagnostics.empty()) << c.src;
        EXPECT_EQ(formatDiagnostic(r.diagnostics[0]), c.first) << c.src;
        EXPECT_TRUE(r.object.empty());
    }
    // A chain defined backwards is no circle: it settles in a later pass.
    AssemblyResult chain = assemble("C.ASM", "a equ b\nb equ c\nc equ 5\ns segment\n mov ax, a\ns ends\nend\n", Options{}, nullptr);
    EXPECT_EQ(chain.errorCount, 0);
}

}  // namespace
}  // namespace krvs::tasm
