#include "debug/session.h"

#include <algorithm>

#include "debug/format.h"

namespace krvs::debug {

Session::Session(Console& console, SessionOptions options) : m_console(console), m_options(std::move(options)) {
    newMachine();
    freshPsp();
}

Session::~Session() = default;

void Session::newMachine() {
    pc::MachineConfig config;
    config.driveRoot = m_options.driveRoot;
    config.input = &m_console.programInput();
    config.output = &m_console.programOutput();
    config.clockStart = m_options.clockStart;
    config.model = m_options.model;
    m_machine = std::make_unique<pc::Machine>(config);
    m_terminated = false;
}

// DEBUG without a program: a PSP of its own with the whole segment free above it.
void Session::freshPsp() {
    m_machine->loadImage({}, "", "");
    auto& r = regs();
    r = x86::Registers{};
    const std::uint16_t psp = m_machine->pspSegment();
    for (int s = 0; s < 4; ++s) r.seg[s] = psp;
    r.ip = 0x100;
    r.gp[x86::SP] = 0xFFEE;
    r.flags = 0xF202;
    m_machine->memory().write16(psp, 0xFFEE, 0);
    m_defaults.dump = m_defaults.unassemble = m_defaults.assemble = {psp, 0x100};
}

void Session::printError(int column, std::size_t promptWidth) {
    m_console.write(std::string(static_cast<std::size_t>(column) + promptWidth, ' ') + "^ Error\r\n");
}

CommandResult Session::execute(const std::string& line) {
    m_rawLine = line;
    const std::string upper = upperOutsideQuotes(line);
    LineParser p(upper, 0);
    if (p.atEnd()) return CommandResult::ok();
    const char letter = p.peek();
    const auto& table = commandTable();
    auto it = std::find_if(table.begin(), table.end(), [letter](const CommandEntry& e) { return e.letter == letter; });
    if (it == table.end()) {
        printError(static_cast<int>(p.position()));
        return CommandResult::ok();
    }
    p.advance();
    CommandResult r = it->fn(*this, p);
    if (r.errorColumn >= 0) printError(r.errorColumn);
    return r;
}

int Session::run() {
    std::string line;
    for (;;) {
        m_console.write('-');
        if (!m_console.readLine(line)) break;  // end of input: the session ends cleanly
        m_console.write("\r\n");
        CommandResult r = execute(line);
        if (r.quit || m_console.ended()) break;
    }
    m_console.flush();
    return 0;
}

}  // namespace krvs::debug
