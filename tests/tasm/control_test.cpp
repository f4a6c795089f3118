// Directives that steer the assembler rather than make code: listing control, forced errors,
// JUMPS, and the cross reference that /c adds to the listing's tables.

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>

#include "object_dump.h"
#include "tasm/assembler.h"

namespace krvs::tasm {
namespace {

std::vector<std::string> listingLines(const std::string& listing) {
    std::vector<std::string> out;
    std::istringstream in(listing);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        std::string wide;  // TABs expanded at 8, as a reader of the listing does
        for (char c : l) {
            if (c == '\t') wide.append(8 - wide.size() % 8, ' ');
            else wide.push_back(c);
        }
        out.push_back(wide);
    }
    return out;
}

AssemblyResult assembleListed(const std::string& src, bool crossRef = false) {
    Options o;
    o.listing = true;
    o.crossRef = crossRef;
    o.date = "12/10/26";
    o.time = "12:00:00";
    return assemble("T.ASM", src, o, nullptr);
}

bool listed(const AssemblyResult& r, const std::string& source) {
    for (const std::string& l : listingLines(r.listing))
        if (l.size() > 37 && l.substr(37) == source) return true;
    return false;
}

TEST(TasmListingControl, SuppressedLinesStayOutOfTheListing) {
    struct Case {
        const char *off, *on;
    } cases[] = {{".XLIST", ".LIST"}, {"%NOLIST", "%LIST"}, {".xlist", ".list"}};
    for (const Case& c : cases) {
        std::string src = std::string("c segment\n mov ax, 1\n ") + c.off + "\n mov bx, 2\n mov cx, 3\n " + c.on +
                          "\n mov dx, 4\n nosuch\n " + c.off + "\n nosuch2\nc ends\nend\n";
        AssemblyResult r = assembleListed(src);
        EXPECT_TRUE(listed(r, " mov ax, 1")) << c.off;
        EXPECT_FALSE(listed(r, " mov bx, 2")) << c.off;
        EXPECT_FALSE(listed(r, " mov cx, 3")) << c.off;
        EXPECT_TRUE(listed(r, " mov dx, 4")) << c.off;
        EXPECT_TRUE(listed(r, " nosuch2")) << "a line with an error is listed all the same: " << c.off;
        EXPECT_EQ(r.errorCount, 2) << c.off;
    }
}

TEST(TasmForcedErrors, Err1FiresOnTheFirstPassAndErr2OnTheLastOnce) {
    // A forward reference makes three passes; each directive still reports once.
    AssemblyResult r = assembleListed("c segment\n jmp later\n .err1\n .err2\n db 200 dup (0)\nlater: nop\nc ends\nend\n");
    ASSERT_GE(r.passes, 2);
    std::string diags;
    for (const Diagnostic& d : r.diagnostics) diags += formatDiagnostic(d) + "\n";
    EXPECT_EQ(diags, "**Error** T.ASM(3) User error\n**Error** T.ASM(4) User error\n");
    EXPECT_EQ(r.errorCount, 2);
    std::vector<std::string> lines = listingLines(r.listing);
    auto at = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find(".err1") != std::string::npos; });
    ASSERT_TRUE(at != lines.end() && at + 1 != lines.end());
    EXPECT_EQ(at[1], "**Error** T.ASM(3) User error") << "the error follows its line in the listing";

    // .ERR1 in a branch the last pass skips is still reported.
    r = assembleListed("c segment\n ifndef later\n .err1\n endif\nlater: nop\nc ends\nend\n");
    ASSERT_EQ(r.diagnostics.size(), 1u);
    EXPECT_EQ(formatDiagnostic(r.diagnostics[0]), "**Error** T.ASM(3) User error");
}

std::string imageHex(const AssemblyResult& r) {
    auto m = test::readModule(r.object);
    if (!m) return "no object";
    std::string hex;
    for (std::uint8_t b : test::layOut(*m).image) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X", b);
        hex += buf;
    }
    return hex;
}

TEST(TasmJumps, JumpsTurnsAFarConditionalJumpIntoTheInverseJumpOverAJmp) {
    std::string far = "c segment\n assume cs:c\n JUMPS\nstart: jz over\n db 200 dup (0)\nover: jnc start\n";
    AssemblyResult r = assembleListed(far + "c ends\nend\n");
    ASSERT_EQ(r.errorCount, 0) << formatDiagnostic(r.diagnostics[0]);
    std::string hex = imageHex(r);
    EXPECT_EQ(hex.substr(0, 10), "7503E9C800");  // jnz +3 / jmp over (5 + 200 bytes on)
    EXPECT_EQ(hex.substr(10 + 400), "7203E92EFF");  // jc +3 / jmp start (back 0xD2)
    // Targets within reach keep the two-byte form.
    r = assembleListed("c segment\n JUMPS\na: jz b\n nop\nb: jc a\nc ends\nend\n");
    EXPECT_EQ(imageHex(r), "7401" "90" "72FB");

    // NOJUMPS (and the default) keep the error.
    for (const char* off : {" NOJUMPS\n", ""}) {
        std::string src = std::string("c segment\n JUMPS\n") + off + " jz far1\n db 200 dup (0)\nfar1: nop\nc ends\nend\n";
        AssemblyResult e = assembleListed(off[0] ? src : "c segment\n\n jz far1\n db 200 dup (0)\nfar1: nop\nc ends\nend\n");
        ASSERT_EQ(e.diagnostics.size(), 1u) << off;
        EXPECT_EQ(e.diagnostics[0].message.substr(0, 26), "Relative jump out of range") << off;
    }
}

// The columns of the tables with /c: "Type" at 24, "Value" at 31, "Cref (defined at #)" at 59; the
// segment table's "Bit" 24, "Size" 28, "Align" 33, "Combine" 40, "Class" 48, "Cref" 59.
TEST(TasmCrossReference, TablesCarryTheReferencesByListingLine) {
    std::string src = "d segment\nv dw 1\nd ends\nc segment\n assume cs:c, ds:d\nstart: mov ax, d\n";
    for (int i = 0; i < 20; ++i) src += " mov ax, v\n";
    src += " jmp start\nc ends\nend start\n";
    AssemblyResult r = assembleListed(src, true);
    ASSERT_EQ(r.errorCount, 0);
    std::vector<std::string> lines = listingLines(r.listing);
    auto row = [&](const std::string& start) -> std::string {
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].rfind(start, 0) == 0) return lines[i] + (i + 1 < lines.size() ? "\n" + lines[i + 1] : "");
        return "";
    };
    EXPECT_EQ(row("Symbol Name").substr(0, 78),
              "Symbol Name             Type   Value                       Cref (defined at #)");
    EXPECT_EQ(row("Groups & Segments").substr(0, 78),
              "Groups & Segments       Bit Size Align  Combine Class      Cref (defined at #)");
    EXPECT_EQ(row("START").substr(0, row("START").find('\n')),
              "START                   Near   C:0000                      #6  27  29");
    // V: defined on line 2, named on lines 7 to 26; the row is full at col 128 and goes on at col 59.
    std::string v = row("V ");
    std::string first = "V                       Word   D:0000                      #2";
    for (int n = 7; n <= 23; ++n) first += "  " + std::to_string(n);
    first.resize(130, ' ');
    std::string second(59, ' ');
    for (int n = 24; n <= 26; ++n) second += std::to_string(n) + (n < 26 ? "  " : "");
    EXPECT_EQ(v, first + "+\n" + second);
    EXPECT_EQ(row("C "), "C                       16  0041 Para   none               #4  5\n"
                         "D                       16  0002 Para   none               #1  5  6");
    // Without /c the tables keep their columns and carry no references.
    AssemblyResult plain = assembleListed(src, false);
    EXPECT_EQ(plain.listing.find("Cref"), std::string::npos);
    EXPECT_NE(plain.listing.find("START\t\t\tNear   C:0000\r\n"), std::string::npos);
    // What the IDE's listing reader looks for stays in place: the two headings, and on each symbol row
    // the name before the first TAB and the offset in the four characters after the first colon (the
    // predefined ?? and @ names are skipped).
    EXPECT_NE(r.listing.find("Symbol Name\t\tType   Value"), std::string::npos);
    EXPECT_NE(r.listing.find("Groups & Segments\tBit Size Align"), std::string::npos);
    std::istringstream raw(r.listing);
    std::map<std::string, std::string> offsets;
    bool inTable = false;
    for (std::string l; std::getline(raw, l);) {
        if (l.find("Symbol Name\t\tType   Value") != std::string::npos) inTable = true;
        else if (l.find("Groups & Segments\tBit Size Align") != std::string::npos) break;
        else if (inTable && l.find(':') != std::string::npos && l[0] != '\t' && l[0] != '?' && l[0] != '@')
            offsets[l.substr(0, l.find('\t'))] = l.substr(l.find(':') + 1, 4);
    }
    EXPECT_EQ(offsets, (std::map<std::string, std::string>{{"START", "0000"}, {"V", "0000"}}));
}

}  // namespace
}  // namespace krvs::tasm
