// INT 21h character I/O. Console functions go through standard input and output (handles 0 and 1), so
// they follow a redirection, and the console keyboard when the handle is CON.

#include "dos_fns.h"

namespace krvs::pc::dos {

namespace {

bool isWaitCode(std::uint16_t r) { return r == kServiceRetry || r == kServiceWait; }

// One byte of standard input: 0 with `out` set, a wait code, or kEndOfInput.
std::uint16_t readStdin(Services& m, std::uint8_t& out, bool wait = true) {
    auto* f = fileOf(m, 0);
    if (!f || f->kind == DosState::Kind::Null) return kEndOfInput;
    if (f->kind == DosState::Kind::File) {
        return f->file->read(&out, 1).value_or(0) == 1 ? 0 : kEndOfInput;
    }
    if (f->kind != DosState::Kind::Console) return kEndOfInput;
    auto& pendingScan = m.dos().pendingScan;
    if (pendingScan) {  // the second half of an extended key
        out = *pendingScan;
        pendingScan.reset();
        return 0;
    }
    int key = m.consoleKey(wait, true);
    if (key == kServiceRetry || key == kServiceWait) return static_cast<std::uint16_t>(key);
    if (key < 0) return kEndOfInput;
    out = lo(static_cast<std::uint16_t>(key));
    if (out == 0 || out == 0xE0) {
        if (out == 0) pendingScan = hi(static_cast<std::uint16_t>(key));
        out = 0;
    }
    return 0;
}

void echo(Services& m, const std::string& bytes) {
    std::uint16_t written;
    writeHandle(m, 1, reinterpret_cast<const std::uint8_t*>(bytes.data()), static_cast<std::uint16_t>(bytes.size()),
                written);
}

void echo(Services& m, std::uint8_t c) { echo(m, std::string(1, static_cast<char>(c))); }

enum class LineEnd : std::uint8_t { None, Enter, EndOfInput };

// Feeds keys into the line being edited until Enter or the end of input. `max` counts the CR.
std::uint16_t editLine(Services& m, std::size_t max, LineEnd& end) {
    auto& dos = m.dos();
    if (!dos.lineActive) {
        dos.lineActive = true;
        dos.line.clear();
    }
    for (;;) {
        std::uint8_t c;
        std::uint16_t r = readStdin(m, c);
        if (isWaitCode(r)) return r;
        if (r == kEndOfInput) { end = LineEnd::EndOfInput; break; }
        if (c == 0x0D) { end = LineEnd::Enter; break; }
        if (c == 0) { readStdin(m, c); continue; }  // extended keys edit nothing here
        if (c == 0x08 || c == 0x7F) {
            if (!dos.line.empty()) {
                dos.line.pop_back();
                echo(m, "\b \b");
            }
            continue;
        }
        if (dos.line.size() + 1 >= max) {
            echo(m, 7);
            continue;
        }
        dos.line.push_back(static_cast<char>(c));
        echo(m, c);
    }
    dos.lineActive = false;
    return 0;
}

}  // namespace

std::uint16_t readChar(Services& m) {
    std::uint8_t c;
    std::uint16_t r = readStdin(m, c);
    if (isWaitCode(r)) return r;
    if (r == kEndOfInput) c = 0x1A;
    else echo(m, c);
    setLo(m.regs().gp[AX], c);
    return 0;
}

std::uint16_t readCharRaw(Services& m) {
    std::uint8_t c;
    std::uint16_t r = readStdin(m, c);
    if (isWaitCode(r)) return r;
    setLo(m.regs().gp[AX], r == kEndOfInput ? 0x1A : c);
    return 0;
}

std::uint16_t writeChar(Services& m) {
    std::uint8_t c = lo(m.regs().gp[DX]);
    echo(m, c);
    setLo(m.regs().gp[AX], c);
    return 0;
}

std::uint16_t directConsole(Services& m) {
    auto& r = m.regs();
    std::uint8_t dl = lo(r.gp[DX]);
    if (dl != 0xFF) return writeChar(m);
    std::uint8_t c;
    std::uint16_t s = readStdin(m, c, false);
    if (s == kServiceRetry) return s;
    bool none = s != 0;
    m.setReturnFlag(x86::flag::ZF, none);
    setLo(r.gp[AX], none ? 0 : c);
    return 0;
}

std::uint16_t writeString(Services& m) {
    auto& r = m.regs();
    std::string text;
    std::uint16_t off = r.gp[DX];
    for (std::size_t i = 0; i < 0xFFFF; ++i) {
        char c = static_cast<char>(m.memory().read8(r.seg[DS], off++));
        if (c == '$') break;
        text.push_back(c);
    }
    echo(m, text);
    setLo(r.gp[AX], '$');
    return 0;
}

std::uint16_t readLine(Services& m) {
    auto& r = m.regs();
    Memory& mem = m.memory();
    std::uint16_t seg = r.seg[DS], off = r.gp[DX];
    std::uint8_t max = mem.read8(seg, off);
    if (max == 0) return 0;
    LineEnd end = LineEnd::None;
    std::uint16_t s = editLine(m, max, end);
    if (s) return s;
    if (end == LineEnd::Enter) echo(m, 0x0D);
    const std::string& line = m.dos().line;
    mem.write8(seg, static_cast<std::uint16_t>(off + 1), static_cast<std::uint8_t>(line.size()));
    mem.writeBlock(seg, static_cast<std::uint16_t>(off + 2), reinterpret_cast<const std::uint8_t*>(line.data()),
                   line.size());
    mem.write8(seg, static_cast<std::uint16_t>(off + 2 + line.size()), 0x0D);
    return 0;
}

std::uint16_t inputStatus(Services& m) {
    auto* f = fileOf(m, 0);
    bool ready = false;
    if (f && f->kind == DosState::Kind::Console) {
        int key = m.consoleKey(false, false);
        if (key == kServiceRetry) return kServiceRetry;
        ready = key >= 0 || m.dos().pendingScan.has_value();
    } else if (f && f->kind == DosState::Kind::File) {
        // A pipe cannot seek and shows nothing ready.
        std::optional<std::uint64_t> pos = f->file->seek(0, SeekFrom::Current);
        std::optional<std::uint64_t> end = f->file->seek(0, SeekFrom::End);
        if (pos) f->file->seek(static_cast<std::int64_t>(*pos), SeekFrom::Start);
        ready = pos && end && *pos < *end;
    }
    setLo(m.regs().gp[AX], ready ? 0xFF : 0x00);
    return 0;
}

std::uint16_t flushAndRead(Services& m) {
    auto& dos = m.dos();
    if (!dos.flushed) {  // the flush happens once, not again on each wait for the key that follows
        Memory& mem = m.memory();
        mem.write16(bda::kSegment, bda::kKbdHead, mem.read16(bda::kSegment, bda::kKbdTail));
        dos.pendingScan.reset();
        dos.flushed = true;
    }
    std::uint16_t r = 0;
    switch (lo(m.regs().gp[AX])) {
    case 0x01: r = readChar(m); break;
    case 0x06: r = directConsole(m); break;
    case 0x07:
    case 0x08: r = readCharRaw(m); break;
    case 0x0A: r = readLine(m); break;
    default: break;
    }
    if (!isWaitCode(r)) dos.flushed = false;
    return r;
}

std::uint16_t readConsoleHandle(Services& m, std::uint8_t* out, std::uint16_t want, std::uint16_t& got) {
    auto& dos = m.dos();
    if (dos.pendingConsoleBytes.empty()) {
        LineEnd end = LineEnd::None;
        std::uint16_t s = editLine(m, 128, end);
        if (s) return s;
        dos.pendingConsoleBytes = dos.line;
        if (end == LineEnd::Enter) {
            echo(m, "\r\n");
            dos.pendingConsoleBytes += "\r\n";
        }
    }
    got = static_cast<std::uint16_t>(std::min<std::size_t>(want, dos.pendingConsoleBytes.size()));
    std::copy_n(dos.pendingConsoleBytes.begin(), got, out);
    dos.pendingConsoleBytes.erase(0, got);
    return 0;
}

}  // namespace krvs::pc::dos
