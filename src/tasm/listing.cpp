// The .LST file: numbered source lines with offset and object code, the diagnostics after the line
// that caused them, then the symbol table and the "Groups & Segments" table. Lines are laid out with
// blanks and then entabbed at every multiple of 8, as the classic listings are.

#include <algorithm>
#include <cstdio>

#include "context.h"
#include "hex.h"
#include "listing.h"

namespace krvs::tasm {

namespace {

constexpr int kLinesPerPage = 57;
constexpr size_t kCodeWidth = 22;  // columns 14-35

std::string hex(std::uint32_t v, int digits) { return hexText(v, digits); }

std::string expandTabs(std::string_view s, size_t startCol) {
    std::string out;
    for (char c : s) {
        if (c == '\t') {
            size_t col = startCol + out.size();
            size_t rel = col - startCol;
            size_t next = (rel / 8 + 1) * 8;
            out.append(next - rel, ' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string pad(std::string s, size_t col) {
    if (s.size() < col) s.append(col - s.size(), ' ');
    return s;
}

// Splits the code column into pieces that fit; a continued line ends with "+".
std::vector<std::string> codeLines(std::string_view code) {
    std::vector<std::string> out;
    std::string cur;
    size_t i = 0;
    while (i < code.size()) {
        size_t e = code.find(' ', i);
        if (e == std::string_view::npos) e = code.size();
        std::string_view piece = code.substr(i, e - i);
        i = e + 1;
        if (piece.empty()) continue;
        if (!cur.empty() && cur.size() + piece.size() + 1 > kCodeWidth - 1) {
            out.push_back(cur + "+");
            cur.clear();
        }
        if (!cur.empty()) cur += ' ';
        cur += piece;
    }
    if (!cur.empty() || out.empty()) out.push_back(cur);
    return out;
}

}  // namespace

std::string entab(const std::string& line) {
    std::string_view s = line;
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] != ' ') {
            const size_t blank = std::min(s.find(' ', i), s.size());
            out.append(s, i, blank - i);
            i = blank;
            continue;
        }
        size_t e = i;
        while (e < s.size() && s[e] == ' ') ++e;
        size_t col = i;
        while (col < e) {
            size_t stop = (col / 8 + 1) * 8;
            if (stop <= e) {
                out.push_back('\t');
                col = stop;
            } else {
                out.append(e - col, ' ');
                col = e;
            }
        }
        i = e;
    }
    return out;
}

void ListingRecorder::reset() {
    m_code.clear();
    m_mute = 0;
    m_off = false;
    m_lines.clear();
    m_text.clear();
    m_crossRefs.clear();
    m_title.clear();
    m_subtitle.clear();
    m_listNo = 0;
    startLine();
}

void ListingRecorder::code(std::string_view text) {
    if (m_on && m_mute == 0) m_code += text;
}

void ListingRecorder::byte(std::uint8_t b) {
    if (m_on && m_mute == 0) m_code += hex(b, 2) + " ";
}

void ListingRecorder::field(std::uint32_t value, int width, bool reloc, bool segment) {
    if (!m_on || m_mute) return;
    m_code += hex(value, width == 1 ? 2 : 4);
    if (segment) m_code += "s";
    else if (reloc) m_code += "r";
    m_code += " ";
}

void ListingRecorder::startLine() {
    m_suppressed = false;
    m_showOffset = false;
    m_lineRefs.clear();
}

const char* ListingRecorder::storeText(std::string_view code, std::string_view source) {
    char* at = m_text.allocate(code.size() + source.size());
    std::copy(code.begin(), code.end(), at);
    std::copy(source.begin(), source.end(), at + code.size());
    return at;
}

void ListingRecorder::endLine(const LineEnd& e) {
    std::string code = std::move(m_code);
    m_code.clear();
    if (!m_on) return;
    bool hasDiag = e.diagTo > e.diagFrom;
    if ((m_suppressed || m_off) && !hasDiag) {
        m_lineRefs.clear();
        return;
    }
    if (e.expansion && !m_allExpansions && !e.emitted && !hasDiag && code.empty()) return;
    ListLine l;
    l.listNo = ++m_listNo;
    for (const auto& [sym, defines] : m_lineRefs) {
        if (m_crossRefs.size() <= static_cast<size_t>(sym)) m_crossRefs.resize(std::max(e.symbolCount, static_cast<size_t>(sym) + 1));
        CrossRefs& refs = m_crossRefs[static_cast<size_t>(sym)];
        if (!refs.empty() && refs.back().first == l.listNo) refs.back().second |= defines;
        else refs.emplace_back(l.listNo, defines);
    }
    m_lineRefs.clear();
    l.hasOffset = e.hasOffset || m_showOffset;
    l.offset = e.offset;
    l.text = storeText(code, e.source);
    l.codeSize = static_cast<std::uint32_t>(code.size());
    l.sourceSize = static_cast<std::uint32_t>(e.source.size());
    l.expansion = e.expansion;
    l.diagFrom = static_cast<std::uint32_t>(e.diagFrom);
    l.diagTo = static_cast<std::uint32_t>(e.diagTo);
    m_lines.push_back(l);
}

namespace {

struct Page {
    std::string out;
    int lines = kLinesPerPage;
    int page = 0;
    std::string header;
    std::string title;
    ListingSink* sink = nullptr;  // takes the text a block at a time; none: it all stays in `out`

    void flush(bool all) {
        if (sink && (all || out.size() >= 64 * 1024)) {
            sink->write(out);
            out.clear();
        }
    }

    void newPage(const std::string& second, int blanks) {
        if (page > 0) out += "\f";
        ++page;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%d", page);
        std::string h = pad(pad(pad(header, 60) + "Page", 65) + buf, 0);
        out += entab(h) + "\r\n" + entab(second) + "\r\n";
        for (int i = 0; i < blanks; ++i) out += "\r\n";
        lines = 0;
    }
    void line(const std::string& text, const std::string& second) {
        if (lines >= kLinesPerPage) newPage(second, 3);
        out += entab(text) + "\r\n";
        ++lines;
        flush(false);
    }
};

std::string typeName(const Symbol& s) {
    switch (s.kind) {
        case SymKind::Text: return "Text";
        case SymKind::Number:
            if (s.val().kind == Value::Kind::Mem || s.val().seg >= 0 || s.val().ext >= 0) return "Alias";
            return "Number";
        case SymKind::Struc: return "Struct";
        case SymKind::Record: return "Record";
        case SymKind::Field: return "Number";
        case SymKind::RecField: return "Number";
        case SymKind::Extern:
        case SymKind::Label:
        case SymKind::Proc:
        case SymKind::Var: break;
        default: return {};
    }
    switch (s.type) {
        case 1: return "Byte";
        case 2: return "Word";
        case 4: return "Dword";
        case 6: return "Pword";
        case 8: return "Qword";
        case 10: return "Tbyte";
        case kTypeNear: return "Near";
        case kTypeFar: return "Far";
        default: return s.kind == SymKind::Extern ? "Abs" : "NoType";
    }
}

std::string valueText(const SegmentSet& segs, const Symbol& s) {
    auto segName = [&](int seg) {
        const Segment& g = segs[seg];
        return g.group >= 0 ? segs.group(g.group).name : g.name;
    };
    switch (s.kind) {
        case SymKind::Text: return s.text();
        case SymKind::Number:
            if (s.val().seg >= 0 && s.val().seg < static_cast<int>(segs.size()))
                return segName(s.val().seg) + ":" + hex(static_cast<std::uint16_t>(s.val().num), 4);
            return hex(static_cast<std::uint32_t>(s.val().num) & (s.val().num < 0 || s.val().num > 0xFFFF ? 0xFFFFFFFFu : 0xFFFFu),
                       s.val().num > 0xFFFF || s.val().num < -0x8000 ? 8 : 4);
        case SymKind::Field:
        case SymKind::RecField: return hex(static_cast<std::uint32_t>(s.value) & 0xFFFF, 4);
        case SymKind::Struc: return hex(static_cast<std::uint32_t>(s.size), 4);
        case SymKind::Record: return hex(static_cast<std::uint32_t>(s.width()), 4);
        case SymKind::Extern: return "----:---- Extern";
        default:
            if (s.seg < 0 || s.seg >= static_cast<int>(segs.size())) return "----";
            return segName(s.seg) + ":" + hex(static_cast<std::uint32_t>(s.value) & 0xFFFF, 4);
    }
}

const char* alignName(int align) {
    switch (align) {
        case 1: return "Byte";
        case 2: return "Word";
        case 4: return "Dword";
        case 256: return "Page";
        default: return "Para";
    }
}

std::string combineName(const Segment& s) {
    switch (s.combine) {
        case Combine::Public: return "Public";
        case Combine::Stack: return "Stack";
        case Combine::Common: return "Common";
        case Combine::Memory: return "Memory";
        case Combine::At: return "AT " + hex(s.atFrame, 4);
        default: return "none";
    }
}

// Columns of the tables: the IDE's listing reader finds the headings by their exact bytes
// ("Symbol Name" TAB TAB "Type   Value", "Groups & Segments" TAB "Bit Size Align").
constexpr size_t kTypeCol = 24, kValueCol = 31;
constexpr size_t kBitCol = 24, kSizeCol = 28, kAlignCol = 33, kCombineCol = 40, kClassCol = 48;

std::string column(const std::string& row, size_t col) { return row.size() >= col ? row + " " : pad(row, col); }

// With /c: the listing lines that name a symbol, from col 59, each followed by two blanks, the
// defining one marked "#"; a row that is full ends with "+" at col 130 and goes on at col 59.
constexpr size_t kCrefCol = 59, kCrefEnd = 128, kCrefPlusCol = 130;

std::vector<std::string> crossReference(const std::string& row, const CrossRefs& refs) {
    std::vector<std::string> lines;
    std::string cur = column(row, kCrefCol);
    bool any = false;
    for (const auto& [line, defines] : refs) {
        std::string ref = defines ? "#" : "";
        ref += std::to_string(line);
        if (any && cur.size() + ref.size() > kCrefEnd) {
            lines.push_back(pad(cur, kCrefPlusCol) + "+");
            cur = pad("", kCrefCol);
        }
        cur += ref + "  ";
        any = true;
    }
    lines.push_back(any ? cur : row);
    return lines;
}

std::string segmentRow(const Segment& s, bool indent) {
    std::string row = column((indent ? "  " : "") + s.name, kBitCol) + "16";
    row = column(row, kSizeCol) + hex(s.size >= 0x10000 ? 0 : s.size, 4);
    row = column(row, kAlignCol) + alignName(s.align);
    row = column(row, kCombineCol) + combineName(s);
    row = column(row, kClassCol) + s.className;
    return row;
}

}  // namespace

std::string Assembler::buildListing(const std::string& header, ListingSink* sink) const {
    Page p;
    p.header = header;
    p.sink = sink;
    std::string second = m_listing.title().empty() ? m_sources.mainFile() : m_listing.title();
    p.newPage(second, 3);
    for (const ListLine& l : m_listing.lines()) {
        std::vector<std::string> code = codeLines(l.code());
        // The line number right-aligned in 7 columns.
        const std::string num = std::to_string(l.listNo);
        std::string first(num.size() < 7 ? 7 - num.size() : 0, ' ');
        first += num;
        first += ' ';
        if (l.hasOffset) first += hex(l.offset & 0xFFFF, 4);
        first = pad(first, 14) + code[0];
        first = pad(first, 37) + expandTabs(l.source(), 37);
        p.line(first, second);
        for (size_t i = 1; i < code.size(); ++i) p.line(pad("", 14) + code[i], second);
        for (size_t d = l.diagFrom; d < l.diagTo; ++d) p.line(formatDiagnostic(m_diags[d]), second);
    }
    p.flush(true);  // what the symbol table writes comes after it
    if (!m_opts.noSymbolTable) symbolTable(p.out, p.page, header, sink);
    p.out += "\f";
    p.flush(true);
    return std::move(p.out);  // a member of a local: returned by copy unless moved
}

void Assembler::symbolTable(std::string& out, int& page, const std::string& header, ListingSink* sink) const {
    Page p;
    p.header = header;
    p.sink = sink;
    p.page = page;
    p.newPage("Symbol Table", 4);
    const bool cref = m_opts.crossRef;
    auto rows = [&](const std::string& row, int sym) {
        if (!cref) return p.line(row, "Symbol Table");
        static const CrossRefs kNone;
        const CrossRefs& refs = sym >= 0 && static_cast<size_t>(sym) < m_listing.crossRefs().size() ? m_listing.crossRefs()[static_cast<size_t>(sym)] : kNone;
        for (const std::string& l : crossReference(row, refs)) p.line(l, "Symbol Table");
    };
    std::string heading = pad(pad("Symbol Name", kTypeCol) + "Type", kValueCol) + "Value";
    p.line(cref ? pad(heading, kCrefCol) + "Cref (defined at #)" : heading, "Symbol Table");
    p.line("", "Symbol Table");
    std::vector<int> syms;
    for (size_t i = 0; i < m_syms.size(); ++i) {
        const Symbol& s = m_syms[i];
        if (!s.everDefined || s.kind == SymKind::Segment || s.kind == SymKind::Group || s.kind == SymKind::Macro) continue;
        if (s.name.startsWith("@@") || s.definedPass != m_pass) continue;
        syms.push_back(static_cast<int>(i));
    }
    // Each name folded once, not on every comparison.
    std::vector<std::pair<std::string, int>> order;
    order.reserve(syms.size());
    for (int i : syms) order.emplace_back(upper(m_syms[i].name), i);
    std::sort(order.begin(), order.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
    for (const auto& [key, i] : order) {
        const Symbol& s = m_syms[i];
        std::string type = typeName(s);
        if (type.empty()) continue;
        std::string row = column(std::string(s.name), kTypeCol) + type;
        row = column(row, kValueCol) + valueText(m_segs, s);
        rows(row, i);
    }
    p.line("", "Symbol Table");
    heading = pad("Groups & Segments", kBitCol) + "Bit Size Align  Combine Class";
    p.line(cref ? pad(heading, kCrefCol) + "Cref (defined at #)" : heading, "Symbol Table");
    p.line("", "Symbol Table");
    std::vector<std::pair<std::string, int>> tops;  // groups (index >= 0) and loose segments (-1 - index)
    for (int g = 0; g < static_cast<int>(m_segs.groups().size()); ++g) tops.emplace_back(upper(m_segs.group(g).name), g);
    for (int s = 0; s < m_segs.size(); ++s)
        if (m_segs[s].group < 0) tops.emplace_back(upper(m_segs[s].name), -1 - static_cast<int>(s));
    std::sort(tops.begin(), tops.end());
    for (const auto& [name, idx] : tops) {
        if (idx >= 0) {
            rows(column(m_segs.group(idx).name, kBitCol) + "Group", m_segs.group(idx).sym);
            std::vector<int> members = m_segs.group(idx).segs;
            std::sort(members.begin(), members.end(), [&](int x, int y) { return upper(m_segs[x].name) < upper(m_segs[y].name); });
            for (int s : members) rows(segmentRow(m_segs[s], true), m_segs[s].sym);
        } else {
            rows(segmentRow(m_segs[-1 - idx], false), m_segs[-1 - idx].sym);
        }
    }
    p.flush(true);
    out += p.out;
    page = p.page;
}

}  // namespace krvs::tasm
