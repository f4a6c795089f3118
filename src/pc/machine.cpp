#include "pc/machine.h"

#include <chrono>

#include "dos_state.h"
#include "services.h"

namespace krvs::pc {

const std::array<ServiceFn, 256>& trapTable();

Machine::Machine(MachineConfig config) : m_config(std::move(config)) {
    m_cpu = std::make_unique<x86::Cpu>(m_mem.data(), *this, m_config.model);
    m_drive = std::make_unique<HostDrive>(m_config.driveRoot);
    m_dos = std::make_unique<DosState>();
    m_powerOn = m_config.clockStart ? m_config.clockStart : std::time(nullptr);

    registerDevicePorts();
    installRom();
    initBiosData();
    initDos();
}

Machine::~Machine() = default;

void Machine::setDriveRoot(const std::filesystem::path& root) {
    m_config.driveRoot = root;
    m_drive = std::make_unique<HostDrive>(root);
}

void Machine::setStandardFiles(int stdinFd, int stdoutFd) {
    m_config.stdinFd = stdinFd;
    m_config.stdoutFd = stdoutFd;
}

void Machine::registerPort(std::uint16_t port, PortIn in, PortOut out) {
    m_ports[port] = {std::move(in), std::move(out)};
}

std::uint8_t Machine::portIn8(std::uint16_t port) {
    auto it = m_ports.find(port);
    if (it == m_ports.end() || !it->second.first) return 0xFF;
    return it->second.first(port);
}

void Machine::portOut8(std::uint16_t port, std::uint8_t value) {
    auto it = m_ports.find(port);
    if (it != m_ports.end() && it->second.second) it->second.second(port, value);
}

int Machine::acknowledgeInterrupt() {
    int v = m_pic.acknowledge();
    updateInterruptLine();
    return v;
}

void Machine::updateInterruptLine() { m_cpu->setIntr(m_pic.pending()); }

void Machine::serviceKeyboard() {
    if (m_kbc.service()) {
        m_pic.raise(1);
        updateInterruptLine();
    }
}

bool Machine::hostTrap(x86::Cpu& cpu, std::uint8_t number) {
    ServiceFn fn = trapTable()[number];
    if (!fn) return true;
    Services services(*this);
    std::uint16_t r = fn(services);
    if (r == kServiceRetry || r == kServiceWait) {
        cpu.regs().ip = static_cast<std::uint16_t>(cpu.regs().ip - 2);
        if (r == kServiceRetry) return true;
        m_waiting = true;
        return false;
    }
    return !m_exited;
}

void Machine::setReturnFlag(std::uint16_t mask, bool on) {
    auto& r = regs();
    auto sp = static_cast<std::uint16_t>(r.gp[x86::SP] + 4);
    std::uint16_t f = m_mem.read16(r.seg[x86::SS], sp);
    f = on ? (f | mask) : static_cast<std::uint16_t>(f & ~mask);
    m_mem.write16(r.seg[x86::SS], sp, f);
}

void Machine::note(const std::string& text) {
    for (const auto& n : m_notes)
        if (n == text) return;
    if (m_notes.size() < 64) m_notes.push_back(text);
}

std::time_t Machine::now() const {
    return m_powerOn + static_cast<std::time_t>(m_clocks / Pit::kClockHz) + m_clockOffset;
}

std::tm Machine::localNow() const {
    std::time_t t = now();
    std::tm tm{};
    ::localtime_r(&t, &tm);
    return tm;
}

void Machine::advanceTime(std::uint64_t clocks) {
    m_clocks += clocks;
    if (m_pit.advance(clocks) > 0) {
        m_pic.raise(0);
        updateInterruptLine();
    }
}

// The CPU's flag is raised first: whoever sees m_stop then finds the CPU's copy set too and consumes both,
// so no stale request is left to end a later run.
void Machine::requestStop() {
    m_cpu->requestStop();
    m_stop.store(true);
    m_keyCv.notify_all();
}

void Machine::pushKey(std::uint8_t scan, std::uint8_t ascii) {
    {
        std::lock_guard lock(m_keyMutex);
        m_pushedKeys.push_back({scan, ascii});
    }
    m_keyCv.notify_all();
}

std::optional<Machine::Key> Machine::waitForPushedKey() {
    std::unique_lock lock(m_keyMutex);
    m_keyCv.wait(lock, [this] { return !m_pushedKeys.empty() || m_stop; });
    if (m_stop.exchange(false)) {
        m_cpu->cancelStop();  // the CPU's copy of the request too, so the next program starts clean
        return std::nullopt;
    }
    auto [scan, ascii] = m_pushedKeys.front();
    m_pushedKeys.pop_front();
    return Key{scan, ascii};
}

void Machine::movePushedKeys() {
    std::lock_guard lock(m_keyMutex);
    while (!m_pushedKeys.empty()) {
        auto [scan, ascii] = m_pushedKeys.front();
        m_pushedKeys.pop_front();
        m_kbc.push(scan, ascii);
        m_kbc.push(static_cast<std::uint8_t>(scan | 0x80), 0);
    }
}

// A program that took over INT 9 reads the keyboard hardware itself and may never call a key service, so
// bytes that have arrived on the stream are typed for it as they come; nothing is read ahead otherwise.
void Machine::feedHookedKeyboard() {
    if (!m_config.input || m_inputEnded || m_kbc.busy()) return;
    if (m_mem.read16(0, 9 * 4 + 2) == kRomSegment) return;
    std::uint8_t b;
    ReadStatus st = m_config.input->readByte(b, 0);
    if (st == ReadStatus::End) m_inputEnded = true;
    if (st != ReadStatus::Ready) return;
    KeyStroke k = keyForByte(b);
    m_kbc.push(k.scan, k.ascii);
    m_kbc.push(static_cast<std::uint8_t>(k.scan | 0x80), 0);
}

int Machine::consoleKey(bool wait, bool remove) {
    using namespace bda;
    std::uint16_t head = m_mem.read16(kSegment, kKbdHead), tail = m_mem.read16(kSegment, kKbdTail);
    if (head != tail) {
        std::uint16_t key = m_mem.read16(kSegment, head);
        if (remove) {
            head = static_cast<std::uint16_t>(head + 2);
            if (head >= m_mem.read16(kSegment, kKbdEnd)) head = m_mem.read16(kSegment, kKbdStart);
            m_mem.write16(kSegment, kKbdHead, head);
        }
        return key;
    }
    if (m_kbc.busy()) return kServiceRetry;  // a key is on its way through IRQ1
    if (!m_streamByte && m_config.input && !m_inputEnded) {
        std::uint8_t b;
        ReadStatus st = m_config.input->readByte(b, 0);
        if (st == ReadStatus::Ready) m_streamByte = b;
        else if (st == ReadStatus::End) m_inputEnded = true;
    }
    if (m_streamByte) {
        KeyStroke k = keyForByte(*m_streamByte);
        m_streamByte.reset();
        m_kbc.push(k.scan, k.ascii);
        m_kbc.push(static_cast<std::uint8_t>(k.scan | 0x80), 0);
        serviceKeyboard();
        return kServiceRetry;
    }
    return wait ? kServiceWait : -1;
}

// A halted CPU on the text-screen front end usually waits for a key: yield the host CPU a moment (a key or a
// stop ends the pause) instead of spinning through timer ticks.
void Machine::idleBriefly() {
    if (m_config.input) return;
    std::unique_lock lock(m_keyMutex);
    m_keyCv.wait_for(lock, std::chrono::milliseconds(1), [this] { return !m_pushedKeys.empty() || m_stop; });
}

void Machine::setSpeed(std::uint64_t instructionsPerSecond) {
    m_speed = instructionsPerSecond;
    m_paceStart = std::chrono::steady_clock::now();
    m_paceBase = instructions();
}

// Holds the CPU back to the set speed. After a wait (for a key, a stop) the machine does not race to catch
// up: more than 100 ms behind starts the count afresh.
void Machine::pace() {
    if (!m_speed) return;
    using namespace std::chrono;
    const auto now = steady_clock::now();
    const double seconds = static_cast<double>(instructions() - m_paceBase) / static_cast<double>(m_speed);
    const auto due = m_paceStart + duration_cast<nanoseconds>(duration<double>(seconds));
    if (now > due + milliseconds(100)) {
        m_paceStart = now;
        m_paceBase = instructions();
        return;
    }
    std::unique_lock lock(m_keyMutex);
    m_keyCv.wait_until(lock, due, [this] { return m_stop.load(); });
}

bool Machine::consumeStop() {
    if (!m_stop.exchange(false)) return false;
    // The CPU's copy of the request too, so the next run starts clean. Not by run(0): with a timer tick
    // pending that would enter its handler, and the program would be stopped inside the ROM (a Ctrl+C
    // in DEBUG's G showed F000:1040 instead of the loop it had stopped).
    m_cpu->cancelStop();
    return true;
}

RunOutcome Machine::run(const RunLimits& limits) { return runSlices(limits, false); }
RunOutcome Machine::step() { return runSlices({}, true); }

bool Machine::waitForInput(const RunLimits& limits, RunOutcome& outcome) {
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    for (;;) {
        if (consumeStop()) { outcome = RunOutcome::Stopped; return false; }
        if (limits.timeLimitMs > 0 &&
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() >= limits.timeLimitMs) {
            outcome = RunOutcome::TimeLimit;
            return false;
        }
        if (m_config.input) {
            if (m_inputEnded) { outcome = RunOutcome::InputEnded; return false; }
            std::uint8_t b;
            ReadStatus st = m_config.input->readByte(b, 50);
            if (st == ReadStatus::Ready) { m_streamByte = b; m_waiting = false; return true; }
            if (st == ReadStatus::End) m_inputEnded = true;
            continue;
        }
        std::unique_lock lock(m_keyMutex);
        m_keyCv.wait_for(lock, std::chrono::milliseconds(50), [this] { return !m_pushedKeys.empty() || m_stop; });
        if (!m_pushedKeys.empty()) { m_waiting = false; return true; }
    }
}

RunOutcome Machine::runSlices(const RunLimits& limits, bool single) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const std::uint64_t first = instructions();
    for (;;) {
        if (m_exited) return RunOutcome::Exited;
        if (consumeStop()) return RunOutcome::Stopped;
        if (m_waiting) {
            RunOutcome outcome;
            RunLimits rest = limits;
            if (rest.timeLimitMs > 0)
                rest.timeLimitMs = std::max<std::int64_t>(1, limits.timeLimitMs -
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
            if (!waitForInput(rest, outcome)) return outcome;
        }
        movePushedKeys();
        feedHookedKeyboard();
        serviceKeyboard();
        std::uint64_t slice = std::min<std::uint64_t>(m_pit.clocksToNextIrq(), 65536);
        if (limits.maxInstructions) {
            std::uint64_t done = instructions() - first;
            if (done >= limits.maxInstructions) return RunOutcome::InstructionLimit;
            slice = std::min(slice, limits.maxInstructions - done);
        }
        if (m_speed) slice = std::min<std::uint64_t>(slice, std::max<std::uint64_t>(1, m_speed / 100));
        if (single) slice = 1;
        const std::uint64_t before = instructions();
        x86::StopReason reason = m_cpu->run(slice);
        noteRomWrites();
        advanceTime(instructions() - before);
        pace();
        if (reason == x86::StopReason::Halted) {
            if (!(regs().flags & x86::flag::IF)) return RunOutcome::Halted;
            idleBriefly();
            advanceTime(m_pit.clocksToNextIrq());  // nothing happens until the next interrupt: skip to it
        }
        // A CPU stop without m_stop yet is a request still being made: the next pass through the loop sees it.
        if (reason == x86::StopReason::StopRequested && consumeStop()) return RunOutcome::Stopped;
        if (single && !m_waiting && (instructions() > before || reason != x86::StopReason::HostRequest))
            return m_exited ? RunOutcome::Exited : RunOutcome::InstructionLimit;
        if (limits.timeLimitMs > 0 &&
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count() >= limits.timeLimitMs)
            return RunOutcome::TimeLimit;
    }
}

void Machine::consoleWrite(const std::uint8_t* data, std::size_t size) {
    if (m_config.output) {
        m_config.output->write(data, size);
        return;
    }
    Services services(*this);
    std::uint8_t page = m_mem.read8(bda::kSegment, bda::kActivePage);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\t') {
            do bios::teletype(services, ' ', page, 0, false);
            while (m_mem.read8(bda::kSegment, static_cast<std::uint16_t>(bda::kCursorPos + page * 2)) % 8);
            continue;
        }
        bios::teletype(services, data[i], page, 0, false);
    }
}

void Machine::clearScreen() {
    Services services(*this);
    bios::setMode(services, m_mem.read8(bda::kSegment, bda::kVideoMode), true);
}

TextScreen Machine::screen() const {
    TextScreen s;
    s.mode = m_mem.read8(bda::kSegment, bda::kVideoMode);
    std::uint8_t page = m_mem.read8(bda::kSegment, bda::kActivePage);
    std::uint16_t seg = bios::videoSegment(m_mem);
    std::uint16_t base = m_mem.read16(bda::kSegment, bda::kPageOffset);
    for (int i = 0; i < TextScreen::kColumns * TextScreen::kRows; ++i) {
        s.chars[i] = m_mem.read8(seg, static_cast<std::uint16_t>(base + i * 2));
        s.attributes[i] = m_mem.read8(seg, static_cast<std::uint16_t>(base + i * 2 + 1));
    }
    s.cursorColumn = m_mem.read8(bda::kSegment, static_cast<std::uint16_t>(bda::kCursorPos + page * 2));
    s.cursorRow = m_mem.read8(bda::kSegment, static_cast<std::uint16_t>(bda::kCursorPos + page * 2 + 1));
    s.cursorVisible = !(m_mem.read8(bda::kSegment, bda::kCursorShape + 1) & 0x20);
    return s;
}

std::string TextScreen::text() const {
    std::string out;
    for (int r = 0; r < kRows; ++r) {
        std::string line(reinterpret_cast<const char*>(&chars[r * kColumns]), kColumns);
        auto end = line.find_last_not_of(std::string(" \0", 2));
        line.resize(end == std::string::npos ? 0 : end + 1);
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace krvs::pc
