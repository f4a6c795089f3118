// The assembler's parts on their own: the keyword table that statements look their first words up
// in, the line sources, the segment set, the encoding cache, and the names LOCAL gives.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include <x86/table.h>

#include "directives.h"
#include "encode_cache.h"
#include "keywords.h"
#include "segments.h"
#include "sources.h"
#include "symbols.h"
#include "tasm/assembler.h"

namespace krvs::tasm {
namespace {

TEST(TasmKeywords, EveryDirectiveAndMnemonicIsFoundInAnyCase) {
    for (const DirectiveInfo& d : directiveTable()) {
        std::string lower(d.name);
        for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        EXPECT_EQ(keywordOf(d.name).directive, &d) << d.name;
        EXPECT_EQ(keywordOf(lower).directive, &d) << lower;
    }
    for (const x86::Form& f : x86::instructionTable()) {
        std::span<const x86::Form* const> forms = x86::formsFor(f.mnemonic);
        EXPECT_EQ(keywordOf(f.mnemonic).forms.data(), forms.data()) << f.mnemonic;
        EXPECT_EQ(keywordOf(f.mnemonic).forms.size(), forms.size()) << f.mnemonic;
    }
    // Names, near misses and words longer than any keyword are none.
    for (const char* w : {"", "start", "MOVX", "MO", "ENDSX", "ELSEIFNDEFXYZ", "averyveryverylongname"}) {
        EXPECT_EQ(keywordOf(w).directive, nullptr) << w;
        EXPECT_FALSE(keywordOf(w).isMnemonic()) << w;
    }
    EXPECT_TRUE(keywordOf("Mov").isMnemonic());
    EXPECT_NE(keywordOf("Segment").directive, nullptr);
}

TEST(TasmLocalNames, MoreThan65536ExpansionsGiveDistinctLabels) {
    // Each expansion defines a LOCAL label; after ??FFFF the names go on with five digits instead of
    // wrapping to ??0000, which the first expansion holds already.
    std::string src =
        "m macro\n local l\nl: nop\n endm\n"
        "c1 segment\n assume cs:c1\n rept 40000\n m\n endm\nc1 ends\n"
        "c2 segment\n assume cs:c2\n rept 40000\n m\n endm\nc2 ends\n end\n";
    AssemblyResult r = assemble("L.ASM", src, Options{}, nullptr);
    EXPECT_EQ(r.errorCount, 0);
    ASSERT_TRUE(r.diagnostics.empty()) << formatDiagnostic(r.diagnostics[0]);
    EXPECT_FALSE(r.object.empty());
}

TEST(TasmLineText, SplitsLikeTheClassicReader) {
    struct Case {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\nc", {"a", "b", "c"}},           // CR LF or LF; a last line without one
        {"a\n\nb\n", {"a", "", "b"}},             // empty lines count, no line after the last LF
        {"a\r\r\nb", {"a\r", "b"}},                // only the CR in front of the LF goes
        {"a\n\x1a", {"a"}},                        // a lone end-of-file mark ends the text
        {"a\n\x1a\n", {"a", "\x1a"}},              // ... but not one on a line of its own with an LF
        {"", {}},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        std::shared_ptr<const LineText> lines = LineText::view(text);
        std::vector<std::string> got;
        for (size_t i = 0; i < lines->size(); ++i) got.emplace_back((*lines)[i]);
        EXPECT_EQ(got, c.lines) << testing::PrintToString(text);
        EXPECT_EQ(splitLines(text), c.lines);
        // The main file, read through a buffer, gives the same lines.
        TextSource source(text);
        LineStream stream;
        ASSERT_TRUE(stream.start(source));
        got.clear();
        for (std::string line; stream.next(line);) got.push_back(line);
        EXPECT_EQ(got, c.lines) << testing::PrintToString(text);
    }
    // Built line by line, a line keeps every character it was given.
    LineText built;
    built.add("x\r");
    built.add("");
    ASSERT_EQ(built.size(), 2u);
    EXPECT_EQ(built[0], "x\r");
    EXPECT_EQ(built[1], "");
}

// A reader that gives a byte or two at a time, as a pipe or a slow disk may, and can fail.
class TrickleSource : public SourceReader {
public:
    explicit TrickleSource(std::string text) : m_text(std::move(text)) {}
    bool rewind() override {
        m_pos = 0;
        return true;
    }
    std::optional<size_t> read(char* buffer, size_t size) override {
        if (failAt && m_pos >= *failAt) return std::nullopt;
        size_t n = std::min({size, m_text.size() - m_pos, size_t{1} + m_pos % 2});
        m_text.copy(buffer, n, m_pos);
        m_pos += n;
        return n;
    }
    std::string m_text;
    size_t m_pos = 0;
    std::optional<size_t> failAt;
};

TEST(TasmLineStream, LinesAcrossTheBufferShortReadsAndAFingerprintOfWhatWasRead) {
    // A CR LF split by the end of the 64 KB buffer, and a line longer than the buffer.
    const std::string longLine(70000, 'x');
    const std::string text = std::string(65535, 'a') + "\r\n" + longLine + "\nlast\r";
    TrickleSource source(text);
    LineStream stream;
    auto readAll = [&] {
        std::vector<std::string> got;
        EXPECT_TRUE(stream.start(source));
        for (std::string line; stream.next(line);) got.push_back(line);
        return got;
    };
    EXPECT_EQ(readAll(), (std::vector<std::string>{std::string(65535, 'a'), longLine, "last"}));
    EXPECT_FALSE(stream.failed());
    const std::uint64_t first = stream.fingerprint();
    readAll();
    EXPECT_EQ(stream.fingerprint(), first);  // the same text again
    source.m_text[70000] = 'y';              // one byte changed between passes
    readAll();
    EXPECT_NE(stream.fingerprint(), first);
    source.m_text += "\n";                   // or one more
    readAll();
    EXPECT_NE(stream.fingerprint(), first);
    // A read error ends the lines and is reported, not taken for the end of the text.
    source.failAt = 100;
    EXPECT_EQ(readAll(), std::vector<std::string>{});
    EXPECT_TRUE(stream.failed());
}

TEST(TasmSourceStack, IncludesNestToALimitAndCloseTheirConditionals) {
    int reads = 0;
    SourceStack s([&](const std::string& name) -> std::optional<std::string> {
        ++reads;
        if (name == "MISSING") return std::nullopt;
        return std::string("inner\n");
    });
    TextSource main("top\n");
    ASSERT_TRUE(s.startPass("T.ASM", main));
    EXPECT_EQ(s.include("MISSING"), SourceStack::Include::Unreadable);
    s.conds().push_back({true, true, true, false});  // an IF open in the main file
    ASSERT_EQ(s.include("A.INC"), SourceStack::Include::Ok);
    s.conds().push_back({false, true, true, false});  // and one left open in the include file
    EXPECT_EQ(s.condsOfTop(), 1u);
    std::string line;
    ASSERT_TRUE(s.next(line));
    EXPECT_EQ(line, "inner");
    Diagnostic d = s.locate(Diagnostic{});
    EXPECT_EQ(d.file, "A.INC");
    EXPECT_EQ(d.line, 1);
    // The include file ends: its IF goes with it, the main file's stays.
    ASSERT_TRUE(s.next(line));
    EXPECT_EQ(line, "top");
    EXPECT_EQ(s.conds().size(), 1u);
    EXPECT_FALSE(s.next(line));
    // Read once per run, however often included; 64 levels at most.
    int levels = 1;
    while (s.include("A.INC") == SourceStack::Include::Ok) ++levels;
    EXPECT_EQ(levels, 64);
    EXPECT_EQ(reads, 2);
}

// Names of every length keep their text (the length in front of a name takes one byte up to 127,
// more beyond; a name longer than a store block gets a block of its own), found in any case unless
// /ml, and an @@ label is found only in its own stretch.
TEST(TasmSymbolTable, NamesOfAnyLengthAndLocalLabelsByStretch) {
    for (CaseMode mode : {CaseMode::Upper, CaseMode::All}) {
        SymbolTable t(mode);
        std::vector<std::string> names;
        for (size_t n : {1u, 127u, 128u, 300u, 16383u, 16384u, 70000u}) names.push_back("n" + std::string(n - 1, 'a'));
        std::vector<int> ids;
        for (const std::string& n : names) ids.push_back(t.lookupOrCreate(n));
        for (size_t i = 0; i < names.size(); ++i) {
            const std::string shown = mode == CaseMode::Upper ? upper(names[i]) : names[i];
            EXPECT_EQ(std::string(t[static_cast<size_t>(ids[i])].name), shown);
            EXPECT_EQ(t.find(upper(names[i])), mode == CaseMode::Upper ? ids[i] : -1);
            EXPECT_EQ(t.find(names[i]), ids[i]);
        }
        const int first = t.lookupOrCreate("@@x");
        t.enterLocalScope();
        EXPECT_EQ(t.find("@@x"), -1);
        const int second = t.lookupOrCreate("@@x");
        EXPECT_NE(second, first);
        EXPECT_EQ(std::string(t[static_cast<size_t>(second)].name), mode == CaseMode::Upper ? "@@X" : "@@x");
        t.resetLocalScope();
        EXPECT_EQ(t.find("@@x"), first);
    }
}

TEST(TasmSegmentSet, SegmentBlocksNestAndTheOpenOnesAreNamedAtTheEnd) {
    SegmentSet set;
    int a = set.add(Segment{});
    int b = set.add(Segment{});
    EXPECT_EQ(set.current(), -1);
    EXPECT_FALSE(set.close());  // ENDS with no SEGMENT open
    set.open(a);
    set.open(b);
    EXPECT_EQ(set.current(), b);
    EXPECT_TRUE(set.close());
    EXPECT_EQ(set.current(), a);
    set.open(b);
    EXPECT_EQ(set.takeOpen(), (std::vector<int>{a, b}));  // outermost first, the current one last
    EXPECT_FALSE(set.anyOpen());
    set.assume(1, 7);
    EXPECT_EQ(set.assumed(1), 7);
    set.reset();
    EXPECT_EQ(set.size(), 0);
    EXPECT_EQ(set.assumed(1), -1);
    EXPECT_EQ(set.current(), -1);
}

TEST(TasmEncodeCache, GivesWhatTheEncoderGivesForRepeatsAndMovedJumps) {
    using namespace krvs::x86;
    EncodeCache cache;
    struct Case {
        const char* mnemonic;
        std::vector<Operand> ops;
    } cases[] = {
        {"MOV", {Operand::reg8(r8::AH), Operand::imm(9)}},
        {"MOV", {Operand::memory(kNoReg, kNoReg, 0x10, OpSize::Word), Operand::imm(3, false)}},
        {"MOV", {Operand::memory(6, kNoReg, 4), Operand::reg8(r8::AL)}},
        {"JNE", {Operand::rel(0x40)}},
        {"JMP", {Operand::rel(0x40, JumpDist::Auto)}},
        {"JMP", {Operand::rel(0x1000, JumpDist::Auto)}},
        {"LOOP", {Operand::rel(0x30)}},
        {"ADD", {Operand::reg16(0), Operand::imm(200)}},
        {"INC", {Operand::memory(3, kNoReg, 0)}},  // no size: an error, cached alike
    };
    // Every case at several origins, twice over: the second round is answered from the cache.
    for (int round = 0; round < 2; ++round) {
        for (const Case& c : cases) {
            for (std::uint16_t origin : {0, 0x20, 0x3E, 0x200, 0xFFF0}) {
                EncodeOptions o;
                o.origin = origin;
                EncodeResult want = encode(c.mnemonic, c.ops, o);
                EncodeResult got = cache.encode(keywordOf(c.mnemonic).forms, c.ops, o);
                EXPECT_EQ(got.error, want.error) << c.mnemonic << " at " << origin;
                EXPECT_EQ(std::vector<std::uint8_t>(got.code().begin(), got.code().end()),
                          std::vector<std::uint8_t>(want.code().begin(), want.code().end()))
                    << c.mnemonic << " at " << origin;
                EXPECT_EQ(got.excess, want.excess) << c.mnemonic << " at " << origin;
                EXPECT_EQ(got.fieldCount, want.fieldCount);
            }
        }
    }
}

}  // namespace
}  // namespace krvs::tasm
