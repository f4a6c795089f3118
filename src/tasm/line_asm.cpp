// The one-line assembler behind DEBUG's A command: numbers are hexadecimal, a bare number after a
// jump or call is the target offset, and "[1234]" is a memory operand.

#include "context.h"

namespace krvs::tasm {

bool Assembler::assembleSingle(const std::string& text, std::uint16_t offset, std::vector<std::uint8_t>& bytes,
                               std::string& message, int& col) {
    m_pass = 2;
    m_finalPass = true;
    m_singleLine = true;
    m_mod.radix = 16;
    Segment seg;
    seg.name = "A";
    seg.lc = offset;
    m_segs.switchTo(m_segs.add(std::move(seg)));
    m_sources.startSingle("A", text);
    m_lastErrorCol = -1;
    std::vector<Token> toks;
    int errCol = 0;
    if (!tokenize(text, toks, errCol)) {
        col = errCol;
        message = "Missing end quote";
        return false;
    }
    if (!toks.empty()) statement(text, toks);
    for (const Diagnostic& d : m_diags) {
        if (d.severity == Severity::Warning) continue;
        message = d.message;
        col = m_lastErrorCol >= 0 ? m_lastErrorCol : (toks.empty() ? 0 : toks[0].col);
        return false;
    }
    const Segment& s = m_segs[0];
    bytes.clear();
    for (std::uint32_t i = offset; i < s.lc && i < s.bytes.size(); ++i) bytes.push_back(s.bytes[i]);
    return true;
}

LineAssembly assembleLine(const std::string& text, std::uint16_t offset) {
    Options o;
    Assembler a(o, nullptr);
    LineAssembly r;
    if (!a.assembleSingle(text, offset, r.bytes, r.message, r.errorColumn)) r.bytes.clear();
    else r.errorColumn = -1;
    return r;
}

}  // namespace krvs::tasm
