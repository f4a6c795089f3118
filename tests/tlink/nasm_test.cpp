// A program of two modules assembled by NASM (tests/data/tlink/nmain.asm, nlib.asm): far and near calls
// across modules, a DGROUP variable, a far pointer in code. The bytes were checked by hand against the
// listing; when the emulated PC is built, the program also runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "helpers.h"
#include "tlink/dospath.h"

#include "pc/machine.h"

namespace krvs::tlink::test {
namespace {

const std::string kData = KRVS_TEST_DATA "/tlink/";

LinkResult linkNasmProgram(const LinkOptions& options = {}) {
    return link({LinkInput{"nmain.obj", readBytes(kData + "NMAIN.OBJ")}, LinkInput{"nlib.obj", readBytes(kData + "NLIB.OBJ")}},
                options);
}

TEST(NasmProgramTest, ImageRelocationsAndRegisters) {
    LinkResult r = linkNasmProgram();
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(texts(r));
    EXPECT_TRUE(r.messages.empty());
    const Bytes expected = {
        0xB8, 0x03, 0x00,              // mov ax, DGROUP (frame 3: _DATA at 36h)
        0x8E, 0xD8,                    // mov ds, ax
        0xFF, 0x06, 0x1F, 0x00,        // inc word [COUNTER]  (DGROUP:001F)
        0xBA, 0x06, 0x00,              // mov dx, msg         (DGROUP:0006)
        0x9A, 0x0A, 0x00, 0x02, 0x00,  // call far PRINTMSG   (0002:000A)
        0xBA, 0x06, 0x00,              // mov dx, msg
        0x2E, 0xFF, 0x1E, 0x22, 0x00,  // call far [cs:farptr]
        0xE8, 0x0A, 0x00,              // call NEARHELP       (0056h - 004Ch)
        0xEB, 0x00,                    // jmp short .done
        0xB4, 0x4C, 0xCD, 0x21,        // mov ah, 4Ch / int 21h
        0x0A, 0x00, 0x02, 0x00,        // farptr: dw PRINTMSG, seg PRINTMSG
        0xA1, 0x1F, 0x00, 0xC3,        // NEARHELP: mov ax, [COUNTER] / ret
        0x1E, 0xB8, 0x03, 0x00, 0x8E, 0xD8, 0xB4, 0x09, 0xCD, 0x21, 0x1F, 0xCB,  // PRINTMSG
    };
    ASSERT_GE(r.image.size(), expected.size());
    EXPECT_EQ(Bytes(r.image.begin(), r.image.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
    std::string text(r.image.begin() + 0x36, r.image.begin() + 0x36 + 25);
    EXPECT_EQ(text, "Hello from two modules\r\n$");
    EXPECT_EQ(r.image[0x4F], 41);  // COUNTER
    EXPECT_EQ(r.image.size(), 0x59u);
    auto relocations = r.relocations;
    std::sort(relocations.begin(), relocations.end(),
              [](auto a, auto b) { return a.segment * 0x10000 + a.offset < b.segment * 0x10000 + b.offset; });
    EXPECT_EQ(relocations, (std::vector<Relocation>{{0, 0x01}, {0, 0x0F}, {0, 0x24}, {2, 0x0C}}));
    EXPECT_EQ(r.initialCs, 0);
    EXPECT_EQ(r.initialIp, 0);
    EXPECT_EQ(r.initialSs, 5);   // STACK at 59h: frame 5, offset 9
    EXPECT_EQ(r.initialSp, 0x109);
}

TEST(NasmProgramTest, LineNumbersOfBothModulesInMap) {
    LinkOptions options;
    options.lineNumbers = true;
    LinkResult r = linkNasmProgram(options);
    ASSERT_TRUE(r.ok);
    EXPECT_NE(r.map.find("Line numbers for nmain.obj(nmain.asm) segment _TEXT\r\n\r\n"
                         "    11 0000:0000    12 0000:0003    13 0000:0005    14 0000:0009\r\n"),
              std::string::npos)
        << r.map;
    EXPECT_NE(r.map.find("Line numbers for nlib.obj(nlib.asm) segment _TEXT\r\n\r\n    19 0000:0026    20 0000:0029\r\n"),
              std::string::npos);
}

// Runs a linked .EXE; returns its standard output and sets `exitCode`.
std::string runProgram(const Bytes& program, int& exitCode) {
    pc::StringSource input("");
    pc::StringSink output;
    pc::MachineConfig config;
    config.input = &input;
    config.output = &output;
    config.driveRoot = ::testing::TempDir();
    pc::Machine machine(config);
    auto loaded = machine.loadImage(program, "PROG.EXE", "");
    EXPECT_TRUE(loaded.ok) << loaded.error;
    pc::RunLimits limits;
    limits.maxInstructions = 100000;
    EXPECT_EQ(machine.run(limits), pc::RunOutcome::Exited);
    exitCode = machine.exitCode();
    return output.text();
}

// The main module in TASM syntax (tmain.asm, assembled by our TASM.Exe) with the NASM module NLIB.
TEST(NasmProgramTest, TasmMainModuleWithNasmLibrary) {
    std::filesystem::path tasm = std::filesystem::path(KRVS_TOOLS_DIR) / "TASM.Exe";
    if (!std::filesystem::exists(tasm)) GTEST_SKIP() << "TASM.Exe is not built";
    std::filesystem::path work = std::filesystem::path(::testing::TempDir()) / "tlink_tmain";
    std::filesystem::remove_all(work);
    std::filesystem::create_directories(work);
    std::filesystem::copy_file(kData + "tmain.asm", work / "tmain.asm");
    std::string command = "cd '" + work.string() + "' && '" + tasm.string() + "' tmain.asm > out.txt 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readText(work / "out.txt");
    Bytes object = readBytes(resolveDosPath("tmain.obj", work));
    std::filesystem::remove_all(work);
    LinkOptions options;
    options.publics = true;
    LinkResult r = link({LinkInput{"tmain.obj", object}, LinkInput{"nlib.obj", readBytes(kData + "NLIB.OBJ")}}, options);
    ASSERT_TRUE(r.ok) << ::testing::PrintToString(texts(r));
    EXPECT_NE(r.map.find(" 0001:000C       PRINTMSG\r\n"), std::string::npos) << r.map;
    auto relocations = r.relocations;
    EXPECT_EQ(relocations.size(), 3u);  // @data, the far call, NLIB's DGROUP
    int exitCode = -1;
    EXPECT_EQ(runProgram(r.program, exitCode), "Hello from TASM and NASM\r\n");
    EXPECT_EQ(exitCode, 42);
}

TEST(NasmProgramTest, RunsInTheEmulatedPc) {
    LinkResult r = linkNasmProgram();
    ASSERT_TRUE(r.ok);
    int exitCode = -1;
    EXPECT_EQ(runProgram(r.program, exitCode), "Hello from two modules\r\nHello from two modules\r\n");
    EXPECT_EQ(exitCode, 42);
}

}  // namespace
}  // namespace krvs::tlink::test
