// What the manual shows works: each instruction's example is accepted by our assembler, and the
// two whole programs of its first pages build, link and print what the manual says.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "doc/records.h"
#include "tasm/assembler.h"

namespace krvs::doc {
namespace {

namespace fs = std::filesystem;

const fs::path kTexts = fs::path(KRVS_SOURCE_DIR) / "resources" / "manual";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

// An example is a fragment: it names labels and variables it does not define, so only those
// diagnostics are expected.
TEST(ManualExamples, EveryInstructionExampleAssembles) {
    RecordFile texts = parseRecords(readAll(kTexts / "instructions.txt"), "instructions.txt",
                                    {"名称", "类别", "标志", "说明", "示例"});
    ASSERT_GT(texts.records.size(), 90u);
    for (const Record& r : texts.records) {
        std::string source = ".286\r\nCODE SEGMENT\r\nASSUME CS:CODE, DS:CODE, ES:CODE\r\n" +
                             std::regex_replace(r.field("示例"), std::regex("\n"), "\r\n") + "\r\nCODE ENDS\r\nEND\r\n";
        tasm::AssemblyResult result =
            tasm::assemble("EX.ASM", source, {}, [](const std::string&) { return std::optional<std::string>(); });
        for (const tasm::Diagnostic& d : result.diagnostics)
            EXPECT_TRUE(d.message.starts_with("Undefined symbol")) << r.keys[0] << ": " << d.message;
    }
}

// The <pre> of `page` that holds a whole program (it has a segment).
std::string programOf(const std::string& page) {
    std::string html = readAll(kTexts / page);
    std::regex pre("<pre>([^<]*segment[^<]*)</pre>");
    std::smatch m;
    if (!std::regex_search(html, m, pre)) return {};
    std::string code = std::regex_replace(m[1].str(), std::regex("&lt;"), "<");
    return std::regex_replace(code, std::regex("\n"), "\r\n") + "\r\n";
}

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char buf[4096];
    while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
    ::pclose(pipe);
    return out;
}

TEST(ManualExamples, TheWholeProgramsBuildAndPrintTheirText) {
    struct Case {
        const char* page;
        const char* name;
        const char* linkOptions;
        const char* output;
    } cases[] = {
        {"start.html", "HELLO", "", "Hello, world!\r\n"},
        {"basics.html", "COMPROG", "/t", "Hello from a .COM program"},
    };
    const std::string tools = KRVS_TOOLS_DIR;
    for (const Case& c : cases) {
        fs::path dir = fs::temp_directory_path() / ("krvs-doc-ex-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::string source = programOf(c.page);
        ASSERT_FALSE(source.empty()) << c.page;
        std::ofstream(dir / (std::string(c.name) + ".ASM"), std::ios::binary) << source;
        std::string cd = "cd '" + dir.string() + "' && ";
        std::string assembled = run(cd + "'" + tools + "/TASM.Exe' " + c.name + ".ASM");
        EXPECT_NE(assembled.find("Error messages:    None"), std::string::npos) << assembled;
        run(cd + "'" + tools + "/TLink.Exe' " + c.linkOptions + " " + c.name);
        std::string program = std::string(c.name) + (*c.linkOptions ? ".COM" : ".EXE");
        EXPECT_EQ(run(cd + "'" + tools + "/krvscmd' /c " + program), c.output) << c.page;
        fs::remove_all(dir);
    }
}

}  // namespace
}  // namespace krvs::doc
