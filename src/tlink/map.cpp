// The .MAP text in the classic layout: segment list, detailed map (/s), publics (/m), line numbers (/l),
// the entry point and the messages of the link.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string_view>

#include "linker_impl.h"

namespace krvs::tlink::detail {

namespace {

std::string format(const char* pattern, ...) {
    char text[512];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

// The numbers of the long sections (publics, line numbers) are written by hand: a big map has tens of
// thousands of them, and a formatted print per number was the largest part of writing it.
void appendHex(std::string& out, std::uint32_t value, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kDigits[(value >> shift) & 15];
}

// `value` right-aligned in `width` columns.
void appendDecimal(std::string& out, std::uint32_t value, std::size_t width) {
    char text[10];
    std::size_t n = 0;
    do {
        text[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value);
    if (n < width) out.append(width - n, ' ');
    while (n) out += text[--n];
}

// " SSSS:OOOO", the form of every address in the map.
void appendAddress(std::string& out, std::uint16_t frame, std::uint32_t offset) {
    appendHex(out, frame, 4);
    out += ':';
    appendHex(out, offset & 0xFFFF, 4);
}

class MapText {
public:
    void line(std::string_view text = {}) {
        m_text += text;
        m_text += "\r\n";
    }
    // For lines built in place.
    std::string& text() { return m_text; }
    std::string take() { return std::move(m_text); }

private:
    std::string m_text;
};

std::uint8_t acbp(const omf::SegmentDef& def) {
    return static_cast<std::uint8_t>((static_cast<unsigned>(def.align) << 5) | (def.combine << 2) |
                                     (def.big ? 2 : 0) | (def.use32 ? 1 : 0));
}

}  // namespace

// Line numbers are listed for code: segments of a CODE class and the segment holding the entry point.
// Assemblers also number data definitions, but the debugger maps each instruction pointer back to a
// line through this list, so data lines would only give false matches.
bool Linker::listsLineNumbers(const Segment& segment) const {
    std::string cls = key(segment.className);
    if (cls.size() >= 4 && cls.compare(cls.size() - 4, 4, "CODE") == 0) return true;
    return m_entrySegment >= 0 && &m_segments[m_entrySegment] == &segment;
}

namespace {

void segmentList(const Linker& l, MapText& map) {
    map.line();
    map.line(" Start  Stop   Length Name               Class");
    map.line();
    for (int index : l.m_order) {
        const Segment& s = l.m_segments[index];
        std::uint32_t stop = s.length ? s.start + s.length - 1 : s.start;
        map.line(format(" %05XH %05XH %05XH %-19s%s", s.start, stop, s.length, s.name.c_str(), s.className.c_str()));
    }
    map.line();
}

void detailedMap(const Linker& l, MapText& map) {
    map.line("Detailed map of segments");
    map.line();
    for (int index : l.m_order) {
        const Segment& s = l.m_segments[index];
        std::string group = s.group >= 0 ? l.m_groups[s.group].name : "(none)";
        for (int ci : s.contributions) {
            const Contribution& c = l.m_contributions[ci];
            const Module& m = l.m_modules[c.module];
            map.line(format(" %04X:%04X %04X C=%-8s S=%-8s G=%-8s M=%-12s ACBP=%02X", s.frame,
                            c.base - s.frame * 16u, c.length, s.className.c_str(), s.name.c_str(), group.c_str(),
                            m.obj.name.c_str(), acbp(m.obj.segments[c.segdef])));
        }
    }
    map.line();
}

void publics(const Linker& l, MapText& map) {
    std::vector<int> order;
    for (const auto& [name, index] : l.m_globals) order.push_back(index);
    auto entry = [&l, &map](const Symbol& s) {
        const char* flag = s.absolute() ? "  Abs  " : (l.m_options.detailed && !s.referenced ? " idle  " : "       ");
        std::string& out = map.text();
        out += ' ';
        appendAddress(out, s.frame, s.linear - s.frame * 16u);
        out += flag;
        map.line(s.name);
    };
    // The keys are made once, not at every comparison of the sort.
    std::vector<std::string> keys(l.m_symbols.size());
    for (int i : order) keys[i] = l.key(l.m_symbols[i].name);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) { return keys[a] < keys[b]; });
    map.line("  Address         Publics by Name");
    map.line();
    for (int i : order) entry(l.m_symbols[i]);
    map.line();
    std::stable_sort(order.begin(), order.end(),
                     [&l](int a, int b) { return l.m_symbols[a].linear < l.m_symbols[b].linear; });
    map.line("  Address         Publics by Value");
    map.line();
    for (int i : order) entry(l.m_symbols[i]);
    map.line();
}

// One section per module and listed segment; returns whether any section was written.
bool lineNumbers(const Linker& l, MapText& map) {
    bool any = false;
    for (const auto& m : l.m_modules) {
        std::vector<std::uint16_t> segdefs;
        for (const auto& rec : m.obj.lines)
            if (std::find(segdefs.begin(), segdefs.end(), rec.segmentIndex) == segdefs.end())
                segdefs.push_back(rec.segmentIndex);
        for (auto segdef : segdefs) {
            const Contribution& c = l.m_contributions[m.segmentMap[segdef - 1]];
            const Segment& s = l.m_segments[c.segment];
            if (!l.listsLineNumbers(s)) continue;
            if (any) map.line();
            any = true;
            map.line("Line numbers for " + m.fileName + "(" + m.obj.name + ") segment " + s.name);
            map.line();
            int inRow = 0;
            std::string& out = map.text();
            for (const auto& rec : m.obj.lines) {
                if (rec.segmentIndex != segdef) continue;
                std::uint16_t frame = rec.groupIndex ? l.m_groups[m.groupMap[rec.groupIndex - 1]].frame : s.frame;
                for (const auto& e : rec.entries) {
                    appendDecimal(out, e.line, 6);
                    out += ' ';
                    appendAddress(out, frame, c.base + e.offset - frame * 16u);
                    if (++inRow == 4) {
                        map.line();
                        inRow = 0;
                    }
                }
            }
            if (inRow) map.line();
        }
    }
    return any;
}

}  // namespace

std::string Linker::buildMap() const {
    MapText map;
    segmentList(*this, map);
    if (m_options.detailed) detailedMap(*this, map);
    if (m_options.publics) publics(*this, map);
    bool anyLines = m_options.lineNumbers && lineNumbers(*this, map);
    // The debugger reads line numbers up to the entry-point line, so a .COM map with line numbers gets one too.
    if (!m_options.com || anyLines) map.line(format("Program entry point at %04X:%04X", m_cs, m_ip));
    else map.line();
    for (const auto& message : m_result.messages) map.line(formatMessage(message));
    map.line();
    return map.take();
}

}  // namespace krvs::tlink::detail
