// A and U: the line assembler and the unassembler.

#include <string_view>
#include <utility>

#include "commands.h"
#include "debug/format.h"

#include "tasm/assembler.h"

namespace krvs::debug::cmd {

namespace {

constexpr std::uint32_t kUnassembleLength = 0x20;
constexpr std::size_t kAssemblePromptWidth = 10;  // "SSSS:OOOO "

// Prefixes typed on a line of their own; the one-line assembler wants an instruction after them.
constexpr std::pair<std::string_view, std::uint8_t> kPrefixLines[] = {
    {"ES:", 0x26}, {"CS:", 0x2E}, {"SS:", 0x36}, {"DS:", 0x3E}, {"LOCK", 0xF0}, {"REP", 0xF3},
    {"REPE", 0xF3}, {"REPZ", 0xF3}, {"REPNE", 0xF2}, {"REPNZ", 0xF2},
};

std::string trimmed(const std::string& text) {
    const auto b = text.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

// ORG moves the assembly address; anything else goes to the one-line assembler. Returns the error column
// or -1.
int assembleOne(Session& s, const std::string& text, Address& at) {
    const std::string upper = upperOutsideQuotes(text);
    LineParser p(upper, 0);
    p.skipSeparators();
    if (p.word() == "ORG") {
        for (int i = 0; i < 3; ++i) p.advance();
        Address to;
        if (!p.address(to, at.segment, s.regs()) || !p.end()) return p.errorColumn();
        at = to;
        return -1;
    }
    const std::string word = trimmed(upper);
    for (const auto& [name, byte] : kPrefixLines) {
        if (word == name) {
            s.machine().memory().write8(at.segment, at.offset, byte);
            at.offset = static_cast<std::uint16_t>(at.offset + 1);
            return -1;
        }
    }
    const tasm::LineAssembly r = tasm::assembleLine(text, at.offset);
    if (r.errorColumn >= 0) return r.errorColumn;
    for (std::size_t i = 0; i < r.bytes.size(); ++i)
        s.machine().memory().write8(at.segment, static_cast<std::uint16_t>(at.offset + i), r.bytes[i]);
    at.offset = static_cast<std::uint16_t>(at.offset + r.bytes.size());
    return -1;
}

}  // namespace

CommandResult assemble(Session& s, LineParser& p) {
    Address at = s.defaults().assemble;
    if (!p.atEnd() && !p.address(at, s.regs().seg[x86::CS], s.regs())) return failed(p);
    if (!p.end()) return failed(p);
    Console& con = s.console();
    std::string line;
    for (;;) {
        con.write(address(at.segment, at.offset) + " ");
        if (!con.readLine(line)) break;
        con.write("\r\n");
        if (trimmed(line).empty()) break;
        // A comment after ';' is dropped; the line keeps its columns for the error mark.
        std::string text = line;
        if (auto semi = upperOutsideQuotes(text).find(';'); semi != std::string::npos) text.resize(semi);
        if (trimmed(text).empty()) continue;
        if (int col = assembleOne(s, text, at); col >= 0) s.printError(col, kAssemblePromptWidth);
    }
    s.defaults().assemble = at;
    return CommandResult::ok();
}

CommandResult unassemble(Session& s, LineParser& p) {
    auto& def = s.defaults().unassemble;
    Range r{def, kUnassembleLength};
    if (!p.atEnd() && !p.range(r, s.regs().seg[x86::CS], s.regs(), kUnassembleLength)) return failed(p);
    if (!p.end()) return failed(p);
    std::string out;
    std::uint32_t done = 0;
    // Whole instructions: the last one may reach past the range.
    while (done < r.length && r.start.offset + done <= 0xFFFF) {
        int length = 1;
        out += unassembleLine(s.machine().memory(), r.start.segment, static_cast<std::uint16_t>(r.start.offset + done), length);
        done += static_cast<std::uint32_t>(length);
    }
    s.console().write(out);
    def = {r.start.segment, static_cast<std::uint16_t>(r.start.offset + done)};
    return CommandResult::ok();
}

}  // namespace krvs::debug::cmd
