// The .MAP text in the classic layout: segment list, detailed map (/s), publics (/m), line numbers (/l),
// the entry point and the messages of the link.
#include <algorithm>
#include <cstdarg>
#include <cstdio>

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

class MapText {
public:
    void line(const std::string& text = {}) { m_text += text + "\r\n"; }
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
    auto entry = [&l](const Symbol& s) {
        const char* flag = s.absolute() ? "  Abs  " : (l.m_options.detailed && !s.referenced ? " idle  " : "       ");
        return format(" %04X:%04X%s%s", s.frame, static_cast<unsigned>(s.linear - s.frame * 16u) & 0xFFFF, flag,
                      s.name.c_str());
    };
    std::stable_sort(order.begin(), order.end(),
                     [&l](int a, int b) { return l.key(l.m_symbols[a].name) < l.key(l.m_symbols[b].name); });
    map.line("  Address         Publics by Name");
    map.line();
    for (int i : order) map.line(entry(l.m_symbols[i]));
    map.line();
    std::stable_sort(order.begin(), order.end(),
                     [&l](int a, int b) { return l.m_symbols[a].linear < l.m_symbols[b].linear; });
    map.line("  Address         Publics by Value");
    map.line();
    for (int i : order) map.line(entry(l.m_symbols[i]));
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
            std::string row;
            int inRow = 0;
            for (const auto& rec : m.obj.lines) {
                if (rec.segmentIndex != segdef) continue;
                std::uint16_t frame = rec.groupIndex ? l.m_groups[m.groupMap[rec.groupIndex - 1]].frame : s.frame;
                for (const auto& e : rec.entries) {
                    row += format("%6u %04X:%04X", e.line, frame, (c.base + e.offset - frame * 16u) & 0xFFFF);
                    if (++inRow == 4) {
                        map.line(row);
                        row.clear();
                        inRow = 0;
                    }
                }
            }
            if (inRow) map.line(row);
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
