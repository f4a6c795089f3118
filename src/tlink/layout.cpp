// Segments: combining contributions by name and class, the classic ordering, addresses, groups.
#include <algorithm>
#include <cstdio>

#include "linker_impl.h"

namespace krvs::tlink::detail {

namespace {

constexpr std::uint8_t kCombineStack = 5;
constexpr std::uint8_t kCombineCommon = 6;
constexpr std::uint32_t kMaxSegment = 0x10000;
constexpr std::uint32_t kMaxImage = 0x100000;

std::uint32_t alignment(omf::Align align) {
    switch (align) {
        case omf::Align::Byte: return 1;
        case omf::Align::Word: return 2;
        case omf::Align::Dword: return 4;
        case omf::Align::Para: return 16;
        case omf::Align::Page: return 256;
        case omf::Align::Absolute: return 16;
    }
    return 16;
}

std::uint32_t alignUp(std::uint32_t value, std::uint32_t to) { return (value + to - 1) / to * to; }

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void Linker::collectSegments() {
    std::map<std::string, int> byName;  // combinable segments by name + class
    for (std::size_t mi = 0; mi < m_modules.size(); ++mi) {
        Module& m = m_modules[mi];
        for (std::size_t si = 0; si < m.obj.segments.size(); ++si) {
            const auto& def = m.obj.segments[si];
            std::string name = m.obj.nameAt(def.nameIndex);
            std::string cls = m.obj.nameAt(def.classIndex);
            bool absolute = def.align == omf::Align::Absolute;
            bool combinable = !absolute && def.combine != 0;
            std::string k = key(name) + '\n' + key(cls);
            int segment;
            auto found = combinable ? byName.find(k) : byName.end();
            if (found != byName.end()) {
                segment = found->second;
            } else {
                Segment s;
                s.name = name;
                s.className = cls;
                s.combine = def.combine;
                s.absolute = absolute;
                s.use32 = def.use32;
                if (absolute) {
                    s.frame = def.absFrame;
                    s.start = def.absFrame * 16u + def.absOffset;
                }
                m_segments.push_back(std::move(s));
                segment = static_cast<int>(m_segments.size() - 1);
                if (combinable) byName[k] = segment;
            }
            Contribution c{static_cast<int>(mi), static_cast<int>(si), segment, 0, def.length, def.align};
            m_contributions.push_back(c);
            m_segments[segment].contributions.push_back(static_cast<int>(m_contributions.size() - 1));
            m.segmentMap.push_back(static_cast<int>(m_contributions.size() - 1));
        }
    }
}

void Linker::orderSegments() {
    // Segments gather by class in the order each class first appears. A stack segment without a class counts
    // as class STACK, so it follows the code and data of programs that define it between them.
    auto classKey = [this](const Segment& s) {
        if (s.className.empty() && s.combine == kCombineStack) return std::string("STACK");
        return key(s.className);
    };
    std::vector<std::string> classes;
    for (const auto& s : m_segments)
        if (!s.absolute && std::find(classes.begin(), classes.end(), classKey(s)) == classes.end())
            classes.push_back(classKey(s));
    for (const auto& cls : classes)
        for (std::size_t i = 0; i < m_segments.size(); ++i)
            if (!m_segments[i].absolute && classKey(m_segments[i]) == cls) m_order.push_back(static_cast<int>(i));

    bool dosseg = std::any_of(m_modules.begin(), m_modules.end(), [](const Module& m) { return m.obj.hasDosseg(); });
    if (!dosseg) return;
    // DOSSEG: code, other segments outside DGROUP, then DGROUP with BEGDATA first and BSS, STACK last.
    std::set<std::string> dgroup;
    for (const auto& m : m_modules)
        for (const auto& g : m.obj.groups)
            if (key(m.obj.nameAt(g.nameIndex)) == "DGROUP")
                for (auto seg : g.segments) dgroup.insert(key(m.obj.nameAt(m.obj.segments[seg - 1].nameIndex)));
    auto rank = [&](int index) {
        const Segment& s = m_segments[index];
        std::string cls = key(s.className);
        if (!dgroup.count(key(s.name))) return endsWith(cls, "CODE") ? 0 : 1;
        if (cls == "BEGDATA") return 2;
        if (cls == "BSS") return 4;
        if (cls == "STACK" || s.combine == kCombineStack) return 5;
        return 3;
    };
    std::stable_sort(m_order.begin(), m_order.end(), [&](int a, int b) { return rank(a) < rank(b); });
}

bool Linker::layout() {
    // A contribution alone can claim up to 4 GB (32-bit SEGDEF); stop before any address arithmetic.
    for (const auto& c : m_contributions) {
        if (c.length > kMaxSegment) {
            report(Severity::Error, "Segment " + m_segments[c.segment].name + " exceeds 64K");
            return false;
        }
    }
    std::uint32_t address = 0;
    for (int index : m_order) {
        Segment& s = m_segments[index];
        bool first = true;
        std::uint32_t end = address;
        for (int ci : s.contributions) {
            Contribution& c = m_contributions[ci];
            std::uint32_t at = s.combine == kCombineCommon && !first ? s.start : alignUp(end, alignment(c.align));
            if (first) s.start = at;
            c.base = at;
            end = std::max(end, at + c.length);
            first = false;
        }
        s.length = end - s.start;
        s.frame = static_cast<std::uint16_t>(s.start >> 4);
        address = end;
        if (s.length > kMaxSegment) {
            report(Severity::Error, "Segment " + s.name + " exceeds 64K");
        }
        if (address > kMaxImage) {
            report(Severity::Fatal, "Program exceeds 1 MB");
            return false;
        }
    }
    for (auto& s : m_segments) {
        if (!s.absolute) continue;
        for (int ci : s.contributions) {
            m_contributions[ci].base = s.start;
            s.length = std::max(s.length, m_contributions[ci].length);
        }
    }
    m_layoutEnd = address;
    return !hasErrors();
}

void Linker::collectGroups() {
    std::map<std::string, int> byName;
    for (auto& m : m_modules) {
        for (const auto& g : m.obj.groups) {
            std::string name = m.obj.nameAt(g.nameIndex);
            auto [it, added] = byName.try_emplace(key(name), static_cast<int>(m_groups.size()));
            if (added) m_groups.push_back(Group{name, {}, 0});
            Group& group = m_groups[it->second];
            for (auto seg : g.segments) {
                int segment = m_contributions[m.segmentMap[seg - 1]].segment;
                if (std::find(group.segments.begin(), group.segments.end(), segment) == group.segments.end())
                    group.segments.push_back(segment);
                m_segments[segment].group = it->second;
            }
            m.groupMap.push_back(it->second);
        }
    }
    for (auto& g : m_groups) {
        std::uint32_t low = 0xFFFFFFFF, high = 0;
        for (int si : g.segments) {
            low = std::min(low, m_segments[si].start);
            high = std::max(high, m_segments[si].start + m_segments[si].length);
        }
        if (g.segments.empty()) continue;
        g.frame = static_cast<std::uint16_t>(low >> 4);
        if (high - g.frame * 16u > kMaxSegment) report(Severity::Error, "Group " + g.name + " exceeds 64K");
    }
}

}  // namespace krvs::tlink::detail
