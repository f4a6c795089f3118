#pragma once
// DEBUG's console: command lines are read the way DOS function 0Ah reads them (every byte echoed, control
// characters as ^X, the final CR echoed without LF) and everything DEBUG and the debugged program print is
// collected until DEBUG waits for its next line. Through a pipe that makes each reply one write, which
// is what a front end that treats every read as one reply depends on. In a terminal ("live") output goes
// out at once instead.

#include <cstdint>
#include <string>
#include <string_view>

#include "pc/stream.h"
#include "platform/read_spin.h"

namespace krvs::debug {

// DEBUG's standard input. From a pipe or terminal bytes are read one at a time, never ahead: what follows
// Q belongs to whoever reads the pipe next (krvscmd passes its own input on to the tools it starts). A wait
// without a time limit is then a plain blocking read, one system call per byte instead of a poll and a read.
// A regular file (`DEBUG < script`) is read in large blocks instead, and the bytes read but not used are
// given back when the session ends by moving the file position back onto them.
class InputFd : public pc::ByteSource {
public:
    explicit InputFd(int fd);
    ~InputFd() override;
    InputFd(const InputFd&) = delete;
    InputFd& operator=(const InputFd&) = delete;
    pc::ReadStatus readByte(std::uint8_t& out, int timeoutMs) override;

private:
    pc::ReadStatus readWaiting(std::uint8_t& out);
    int m_fd;
    pc::FdSource m_polled;
    platform::ReadSpin m_spin;
    bool m_blocks;  // a regular file: read ahead, give back at the end
    std::string m_block;
    std::size_t m_next = 0;
};

class Console {
public:
    Console(pc::ByteSource& in, pc::ByteSink& out, bool live) : m_in(in), m_out(out), m_live(live) {}

    void write(std::string_view text);
    void write(char c) { write(std::string_view(&c, 1)); }
    // Sends what has been collected as one write.
    void flush();

    // Reads one line as DOS 0Ah does, at most maxChars characters before the CR. Returns false when the
    // input has ended; the line then holds what came before the end.
    bool readLine(std::string& line, std::size_t maxChars = 79);
    // One raw byte without echo, waiting as long as it takes; false at the end of the input.
    bool readByte(std::uint8_t& out);
    bool ended() const { return m_ended; }
    bool live() const { return m_live; }

    // The debugged program's keyboard: the same stream, so the next byte after a command is its key.
    pc::ByteSource& programInput() { return m_programIn; }
    // The debugged program's screen output joins the current reply.
    pc::ByteSink& programOutput() { return m_programOut; }

private:
    class ProgramInput : public pc::ByteSource {
    public:
        explicit ProgramInput(Console& c) : m_c(c) {}
        pc::ReadStatus readByte(std::uint8_t& out, int timeoutMs) override;

    private:
        Console& m_c;
    };
    class ProgramOutput : public pc::ByteSink {
    public:
        explicit ProgramOutput(Console& c) : m_c(c) {}
        void write(const std::uint8_t* data, std::size_t size) override;

    private:
        Console& m_c;
    };

    void echo(std::uint8_t byte);

    pc::ByteSource& m_in;
    pc::ByteSink& m_out;
    bool m_live;
    bool m_ended = false;
    std::string m_pending;
    ProgramInput m_programIn{*this};
    ProgramOutput m_programOut{*this};
};

}  // namespace krvs::debug
