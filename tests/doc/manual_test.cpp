// The manual against the code: every instruction of the x86 table, every BIOS/DOS function the PC
// serves, every message, directive, DEBUG command and menu item has its text and its anchor, and
// the page holds together (known tags, balanced, UTF-8, every internal link lands).

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "doc/manual.h"
#include "doc/messages.h"
#include "doc/records.h"
#include "html_check.h"
#include "pc/served.h"
#include "x86/table.h"

namespace krvs::doc {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = KRVS_SOURCE_DIR;
const fs::path kTexts = kSource / "resources" / "manual";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

const ManualBuild& shippedManual() {
    static const ManualBuild manual = buildManual(kTexts);
    return manual;
}

bool hasId(const std::string& id) { return shippedManual().html.find("id=\"" + id + "\"") != std::string::npos; }

// The first capture of `pattern` over a source file of the tree.
std::vector<std::string> scan(const fs::path& file, const std::string& pattern) {
    std::string text = readAll(kSource / file);
    std::vector<std::string> found;
    std::regex re(pattern);
    for (std::sregex_iterator m(text.begin(), text.end(), re), end; m != end; ++m) found.push_back((*m)[1].str());
    return found;
}

TEST(Manual, BuildsFromTheShippedTextsWithoutGaps) {
    const ManualBuild& manual = shippedManual();
    for (const std::string& e : manual.errors) ADD_FAILURE() << e;
    for (const std::string& m : manual.missing) ADD_FAILURE() << m;
    EXPECT_GT(manual.html.size(), 100000u);
}

TEST(Manual, EveryInstructionFunctionAndMessageOfTheTablesHasItsEntry) {
    int instructions = 0;
    for (const x86::Form& f : x86::instructionTable()) {
        if (f.has(x86::formflag::kHidden)) continue;
        ++instructions;
        EXPECT_TRUE(hasId(instructionAnchor(f.mnemonic))) << f.mnemonic;
    }
    std::vector<pc::ServedFunction> served = pc::servedFunctions();
    for (const pc::ServedFunction& f : served)
        EXPECT_TRUE(hasId(serviceAnchor(f.vector, f.function))) << int(f.vector) << "/" << int(f.function);
    for (const MessageText& m : messageTable()) EXPECT_TRUE(hasId(messageAnchor(m.message))) << m.message;
    // The tables were read at all.
    EXPECT_GT(instructions, 200);
    EXPECT_GT(served.size(), 90u);
    EXPECT_GT(messageTable().size(), 100u);
}

TEST(Manual, ServedFunctionsAreThoseThePcAnswers) {
    std::set<std::pair<int, int>> served;
    for (const pc::ServedFunction& f : pc::servedFunctions()) served.insert({f.vector, f.function});
    // A sample the PC serves (INT 10h 00h notes an unavailable mode but is served) and some it refuses.
    for (auto [v, f] : {std::pair{0x10, 0x00}, {0x10, 0x0E}, {0x16, 0x00}, {0x1A, 0x00}, {0x21, 0x09}, {0x21, 0x4C}})
        EXPECT_TRUE(served.count({v, f})) << std::hex << v << "/" << f;
    for (auto [v, f] : {std::pair{0x10, 0x04}, {0x16, 0x03}, {0x1A, 0x03}, {0x21, 0x03}, {0x21, 0xFF}})
        EXPECT_FALSE(served.count({v, f})) << std::hex << v << "/" << f;
}

TEST(Manual, EveryDirectiveTheAssemblerKnowsIsDescribed) {
    std::vector<std::string> directives = scan("src/tasm/directives.cpp", R"re(\{"([^"]+)", dir\w+)re");
    ASSERT_GT(directives.size(), 100u);
    RecordFile texts = parseRecords(readAll(kTexts / "directives.txt"), "directives.txt", {"名称", "格式", "说明", "示例"});
    for (const std::string& d : directives) {
        const Record* r = texts.find(d);
        EXPECT_TRUE(r && !r->field("说明").empty()) << "no text for the directive " << d;
    }
}

TEST(Manual, EveryOperatorWordOfTheAssemblerIsDescribed) {
    std::vector<std::string> operators = scan("src/tasm/lexer.cpp", R"re(\{"(\w+)", Kw::\w+\})re");
    ASSERT_GT(operators.size(), 20u);
    RecordFile texts = parseRecords(readAll(kTexts / "operators.txt"), "operators.txt", {"名称", "格式", "说明", "示例"});
    for (const std::string& o : operators) {
        const Record* r = texts.find(o);
        EXPECT_TRUE(r && !r->field("说明").empty()) << "no text for the operator " << o;
    }
}

TEST(Manual, EveryDebugCommandIsDescribed) {
    std::vector<std::string> commands = scan("src/debug/commands.cpp", R"re(\{'(.)', cmd::\w+\})re");
    ASSERT_GT(commands.size(), 15u);
    RecordFile texts = parseRecords(readAll(kTexts / "debug.txt"), "debug.txt", {"名称", "格式", "说明", "示例"});
    for (const std::string& c : commands) {
        const Record* r = texts.find(c);
        EXPECT_TRUE(r && !r->field("说明").empty() && !r->field("格式").empty()) << "no text for the DEBUG command " << c;
    }
}

std::string escaped(const std::string& s) { return std::regex_replace(s, std::regex("&"), "&amp;"); }

TEST(Manual, EveryMenuItemAndItsShortcutIsListed) {
    std::string text = readAll(kSource / "src/ide/app/main_menus.cpp");
    std::regex item(R"re(\{"([^"]+)", "([^"]*)", "Main(?:Menu|Item)_\w+")re");
    std::string menus = test::sectionText(shippedManual().html, "menus");
    int count = 0;
    for (std::sregex_iterator m(text.begin(), text.end(), item), end; m != end; ++m) {
        std::string caption = (*m)[1], shortcut = (*m)[2];
        if (caption == "-") continue;
        ++count;
        std::string row = "<td>" + escaped(caption) + "</td><td>" + shortcut + "</td>";
        EXPECT_NE(menus.find(row), std::string::npos) << "the menus page lacks " << caption << " " << shortcut;
    }
    EXPECT_GT(count, 35);
}

TEST(Manual, IsWellFormedAndEveryInternalLinkLands) {
    test::HtmlCheck check = test::checkHtml(shippedManual().html);
    for (const std::string& p : check.problems) ADD_FAILURE() << p;
    for (const std::string& id : check.duplicateIds) ADD_FAILURE() << "two elements have the id " << id;
    ASSERT_GT(check.internalLinks.size(), 150u);
    for (const std::string& target : check.internalLinks)
        EXPECT_TRUE(check.ids.count(target)) << "broken link #" << target;
    // The Help menu opens these parts by name.
    for (const char* id : {"toc", "updates", "author", "messages", "instructions", "dos", "bios"})
        EXPECT_TRUE(check.ids.count(id)) << id;
}

TEST(Manual, TheCheckerFindsWhatItLooksFor) {
    struct Case {
        std::string html;
        bool problem;
    } cases[] = {
        {"<p>x <b>y</b></p>", false},
        {"<p>x <b>y</p></b>", true},                 // crossed
        {"<p>x", true},                              // never closed
        {"<p><blink>x</blink></p>", true},           // not a tag the manual uses
        {"<p><a href=\"http://x\">x</a></p>", true},  // leaves the page
        {"<p>\xE4\xB8</p>", true},                   // a cut UTF-8 sequence
        {"<p>\xC0\xAF</p>", true},                   // an overlong one
        {"<p>\xE6\x8C\x87\xE4\xBB\xA4</p>", false},  // 指令
    };
    for (const Case& c : cases) EXPECT_EQ(!test::checkHtml(c.html).problems.empty(), c.problem) << c.html;
    test::HtmlCheck links = test::checkHtml("<p id=\"a\"><a href=\"#a\">1</a><a href=\"#b\">2</a><b id=\"a\"></b></p>");
    EXPECT_EQ(links.internalLinks, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(links.duplicateIds, std::vector<std::string>{"a"});
}

// A copy of the shipped texts with one file changed shows each kind of gap.
TEST(Manual, AGapBetweenTextsAndTablesIsReported) {
    struct Case {
        const char* file;
        std::string from, to;
        std::string reported;
    } cases[] = {
        {"instructions.txt", "== MOV\n", "== MOVX\n", "instruction without text: MOV"},
        {"instructions.txt", "== MOV\n", "== MOVX\n", "the table does not have: MOVX"},
        {"instructions.txt", "== JB JC JNAE\n", "== JB JNAE\n", "instruction without text: JC"},
        {"instructions.txt", "类别: 前缀\n", "类别: 杂项\n", "unknown category"},
        {"dos.txt", "== 21/09\n", "== 21/03\n", "served function without text: INT 21/09"},
        {"dos.txt", "== 21/09\n", "== 21/03\n", "the PC does not serve: INT 21/03"},
        {"bios.txt", "== 16/00\n", "== 16/99\n", "served function without text: INT 16/00"},
    };
    for (const Case& c : cases) {
        fs::path dir = fs::temp_directory_path() / ("krvs-doc-gap-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::copy(kTexts, dir);
        std::string text = readAll(dir / c.file);
        std::size_t at = text.find(c.from);
        ASSERT_NE(at, std::string::npos) << c.from;
        text.replace(at, c.from.size(), c.to);
        std::ofstream(dir / c.file, std::ios::binary) << text;
        ManualBuild manual = buildManual(dir);
        fs::remove_all(dir);
        EXPECT_TRUE(manual.errors.empty());
        bool found = false;
        for (const std::string& m : manual.missing) found = found || m.find(c.reported) != std::string::npos;
        EXPECT_TRUE(found) << c.file << ": " << c.reported;
    }
}

TEST(Manual, TheBuildWritesThisManualBesideTheProgram) {
    fs::path built = fs::path(KRVS_BIN_DIR) / "KRVS.html";
    ASSERT_TRUE(fs::exists(built));
    EXPECT_TRUE(readAll(built) == shippedManual().html) << built << " is not the manual the texts give";
}

}  // namespace
}  // namespace krvs::doc
