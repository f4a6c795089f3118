#include "debug/console.h"

#include "platform/hostfs.h"

namespace krvs::debug {

namespace {

constexpr std::size_t kBlock = 65536;

}  // namespace

InputFd::InputFd(int fd)
    : m_fd(fd), m_polled(fd), m_blocks(platform::File::borrow(fd).info().type == platform::EntryType::Regular) {}

InputFd::~InputFd() {
    if (const std::size_t unread = m_block.size() - m_next; unread > 0)
        platform::File::borrow(m_fd).seek(-static_cast<std::int64_t>(unread), platform::Whence::Current);
}

pc::ReadStatus InputFd::readByte(std::uint8_t& out, int timeoutMs) {
    if (m_blocks) {  // a regular file never makes a reader wait, so the time limit does not matter
        if (m_next == m_block.size()) {
            m_block.resize(kBlock);
            const platform::IoResult r = platform::readSome(m_fd, m_block.data(), kBlock);
            m_block.resize(r.status == platform::IoStatus::Ok ? r.count : 0);
            m_next = 0;
            if (m_block.empty()) return pc::ReadStatus::End;
        }
        out = static_cast<std::uint8_t>(m_block[m_next++]);
        return pc::ReadStatus::Ready;
    }
    if (timeoutMs >= 0) return m_polled.readByte(out, timeoutMs);
    // The IDE's run loop sends the next step within microseconds of the reply: spinning briefly
    // spares this side's wake-up (platform::ReadSpin).
    m_spin.before(m_fd);
    const pc::ReadStatus status = readWaiting(out);
    m_spin.after();
    return status;
}

pc::ReadStatus InputFd::readWaiting(std::uint8_t& out) {
    for (;;) {
        const platform::IoResult r = platform::readSome(m_fd, &out, 1);
        if (r.status == platform::IoStatus::Ok) return r.count == 1 ? pc::ReadStatus::Ready : pc::ReadStatus::End;
        if (r.status != platform::IoStatus::WouldBlock) return pc::ReadStatus::End;
        // A non-blocking descriptor: wait for it, then read again.
        if (const pc::ReadStatus st = m_polled.readByte(out, -1); st != pc::ReadStatus::Timeout) return st;
    }
}

void Console::write(std::string_view text) {
    m_pending.append(text);
    if (m_live) flush();
}

void Console::flush() {
    if (m_pending.empty()) return;
    m_out.write(reinterpret_cast<const std::uint8_t*>(m_pending.data()), m_pending.size());
    m_pending.clear();
}

bool Console::readByte(std::uint8_t& out) {
    if (m_ended) return false;
    for (;;) {
        switch (m_in.readByte(out, -1)) {
        case pc::ReadStatus::Ready: return true;
        case pc::ReadStatus::End: m_ended = true; return false;
        case pc::ReadStatus::Timeout: continue;  // an interrupted wait
        }
    }
}

void Console::echo(std::uint8_t byte) {
    if (byte < 0x20 && byte != '\t' && byte != '\r') {
        char text[2] = {'^', static_cast<char>(byte + '@')};
        write(std::string_view(text, 2));
    } else {
        write(static_cast<char>(byte));
    }
}

bool Console::readLine(std::string& line, std::size_t maxChars) {
    flush();
    line.clear();
    bool first = true;
    std::uint8_t b;
    while (readByte(b)) {
        // A LF right after the previous line's CR is the rest of a CR LF line end: dropped.
        if (b == '\n' && first) continue;
        first = false;
        if (b == '\r') {
            echo(b);
            return true;
        }
        if (b == '\n') {  // DOS moves to a new screen line and goes on with the same input line
            write("\r\n");
            continue;
        }
        if (b == 0x08 || b == 0x7F) {
            if (!line.empty()) {
                line.pop_back();
                write("\b \b");
            }
            continue;
        }
        if (line.size() >= maxChars) {
            write('\a');
            continue;
        }
        line.push_back(static_cast<char>(b));
        echo(b);
    }
    return false;
}

pc::ReadStatus Console::ProgramInput::readByte(std::uint8_t& out, int timeoutMs) {
    if (m_c.m_ended) return pc::ReadStatus::End;
    pc::ReadStatus s = m_c.m_in.readByte(out, timeoutMs);
    if (s == pc::ReadStatus::End) m_c.m_ended = true;
    return s;
}

void Console::ProgramOutput::write(const std::uint8_t* data, std::size_t size) {
    m_c.write(std::string_view(reinterpret_cast<const char*>(data), size));
}

}  // namespace krvs::debug
