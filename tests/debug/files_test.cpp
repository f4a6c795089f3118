// N, L and W against a drive C: in a temporary directory.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <unistd.h>

#include "session_runner.h"

namespace krvs::debug::test {
namespace {

namespace fs = std::filesystem;

class DebugFiles : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("krvs_debug_files_" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        fs::copy_file(dataPath("corpus/HELLOCOM/expected.com"), m_dir / "HELLO.COM");
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string run(std::string input) {
        for (char& c : input)
            if (c == '\n') c = '\r';
        pc::StringSource in(input);
        ChunkSink out;
        Console console(in, out, false);
        SessionOptions options;
        options.driveRoot = m_dir;
        Session session(console, options);
        session.run();
        return out.all();
    }
    std::vector<char> bytesOf(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path m_dir;
};

TEST_F(DebugFiles, LoadsByDosNameInAnyCaseAndFromAFullDosPath) {
    for (const char* name : {"hello.com", "C:\\HELLO.COM", "\\Hello.Com"}) {
        const std::string out = run(std::string("n ") + name + "\nl\nr\nq\n");
        EXPECT_NE(out.find("BX=0000  CX=004C"), std::string::npos) << name << "\n" << out;
        EXPECT_NE(out.find("IP=0100"), std::string::npos);
        EXPECT_NE(out.find("BA1001        MOV\tDX,0110"), std::string::npos);
    }
}

TEST_F(DebugFiles, WriteSavesBxCxBytesFromTheAddressAndLeavesNoTemporaryFile) {
    const std::string out = run("e 200 'ABCDEF'\nn out.bin\nr cx\n4\nw 202\nq\n");
    EXPECT_NE(out.find("Writing 00004 bytes\r\n"), std::string::npos) << out;
    const std::vector<char> expected{'C', 'D', 'E', 'F'};
    EXPECT_EQ(bytesOf(m_dir / "OUT.BIN"), expected);
    for (const auto& e : fs::directory_iterator(m_dir)) EXPECT_EQ(e.path().filename().string().find('$'), std::string::npos);
}

// A name on another directory is that name, not a file of the same name somewhere else: L finds nothing
// and W creates nothing (it would overwrite the program of the same name here).
TEST_F(DebugFiles, AFullDosPathElsewhereIsNotTheFileHere) {
    const std::string out = run("n C:\\ELSEWHERE\\HELLO.COM\nl\nr cx\n4\nw\nq\n");
    EXPECT_NE(out.find("-l\r\r\nFile not found\r\n"), std::string::npos) << out;
    EXPECT_NE(out.find("File creation error\r\n"), std::string::npos) << out;
    EXPECT_EQ(fs::file_size(m_dir / "HELLO.COM"), 0x4Cu);
}

// Two DEBUGs writing the same file each use a temporary name of their own; one left by the other (here a
// directory in the way of the classic NAME.$$$) changes nothing.
TEST_F(DebugFiles, WriteUsesATemporaryNameOfItsOwn) {
    fs::create_directory(m_dir / "OUT.BIN.$$$");
    const std::string out = run("e 100 'AB'\nn out.bin\nr cx\n2\nw\nq\n");
    EXPECT_NE(out.find("Writing 00002 bytes\r\n-"), std::string::npos) << out;
    EXPECT_EQ(bytesOf(m_dir / "OUT.BIN"), (std::vector<char>{'A', 'B'}));
}

TEST_F(DebugFiles, WriteRefusesAReadOnlyFile) {
    std::ofstream(m_dir / "RO.BIN", std::ios::binary) << "old";
    fs::permissions(m_dir / "RO.BIN", fs::perms::owner_read | fs::perms::group_read);
    const std::string out = run("n ro.bin\nr cx\n2\nw\nq\n");
    EXPECT_NE(out.find("Access denied\r\n"), std::string::npos) << out;
    EXPECT_EQ(bytesOf(m_dir / "RO.BIN"), (std::vector<char>{'o', 'l', 'd'}));
}

TEST_F(DebugFiles, RawFilesLoadAtTheAddressWithTheirSize) {
    std::ofstream(m_dir / "DATA.TXT", std::ios::binary) << "xyz";
    const std::string out = run("n data.txt\nl 300\nd 300 L 3\nr cx\n\nq\n");
    EXPECT_NE(out.find("0300  78 79 7A"), std::string::npos) << out;
    EXPECT_NE(out.find("CX 0003"), std::string::npos);
}

TEST_F(DebugFiles, ReloadingGivesAFreshProgramAfterItEnded) {
    const std::string withName = run("n hello.com\nl\ng\nl\np 3\nq\n");
    EXPECT_NE(withName.find("Program terminated normally"), std::string::npos);
    EXPECT_NE(withName.find("Hello from a .COM program!\r\n\r\nAX="), std::string::npos) << withName;
}

}  // namespace
}  // namespace krvs::debug::test
