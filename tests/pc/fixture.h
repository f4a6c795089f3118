#pragma once
// Runs a test program in a fresh machine over a temporary drive C:.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>

#include "code.h"
#include "pc/machine.h"

namespace krvs::pc::test {

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        m_path = std::filesystem::temp_directory_path() / ("krvs-pc-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

struct RunResult {
    RunOutcome outcome;
    std::string output;
    int exitCode;
};

class MachineTest : public ::testing::Test {
protected:
    // Loads the program as C:\TEST.COM with `input` as the key stream; output is collected.
    Machine& start(const Code& code, std::string input = {}, const std::string& args = {}) {
        m_source = std::make_unique<StringSource>(std::move(input));
        m_sink = StringSink{};
        MachineConfig config;
        config.driveRoot = m_dir.path() / "c";
        std::filesystem::create_directories(config.driveRoot);
        config.input = m_source.get();
        config.output = &m_sink;
        config.clockStart = kClockStart;
        m_machine = std::make_unique<Machine>(config);
        LoadResult r = m_machine->loadImage(code.bytes(), "TEST.COM", args);
        EXPECT_TRUE(r.ok) << r.error;
        return *m_machine;
    }
    RunResult run(const Code& code, std::string input = {}, const std::string& args = {}) {
        Machine& m = start(code, std::move(input), args);
        RunOutcome o = m.run({50'000'000, 10'000});
        return {o, m_sink.text(), m.exitCode()};
    }
    std::filesystem::path drive() const { return m_dir.path() / "c"; }

    static constexpr std::time_t kClockStart = 1'700'000'000;  // 2023-11-14 22:13:20 UTC
    TempDir m_dir;
    StringSink m_sink;
    std::unique_ptr<StringSource> m_source;
    std::unique_ptr<Machine> m_machine;
};

}  // namespace krvs::pc::test
