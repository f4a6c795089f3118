#include "segments.h"

#include <algorithm>

namespace krvs::tasm {

void SegmentSet::reset(bool keepImages) {
    m_lastRoom.clear();
    for (const Segment& s : m_segs) m_lastRoom.push_back({s.size, s.relocations});
    m_keepImages = keepImages;
    m_segs.clear();
    m_groups.clear();
    m_exts.clear();
    m_cur = -1;
    m_open.clear();
    assumeNothing();
}

int SegmentSet::add(Segment s) {
    if (m_keepImages && m_segs.size() < m_lastRoom.size()) {
        const Room& room = m_lastRoom[m_segs.size()];
        s.bytes.reserve(std::min<std::uint32_t>(room.bytes, 0x10000));
        s.fixups.reserve(std::min<std::uint32_t>(room.fixups, 0x10000));
    }
    m_segs.push_back(std::move(s));
    return static_cast<int>(m_segs.size()) - 1;
}

int SegmentSet::addGroup(Group g) {
    m_groups.push_back(std::move(g));
    return static_cast<int>(m_groups.size()) - 1;
}

int SegmentSet::addExtern(Extern e) {
    m_exts.push_back(std::move(e));
    return static_cast<int>(m_exts.size()) - 1;
}

void SegmentSet::open(int s) {
    m_open.push_back(m_cur);
    m_cur = s;
}

bool SegmentSet::close() {
    if (m_open.empty()) return false;
    m_cur = m_open.back();
    m_open.pop_back();
    return true;
}

std::vector<int> SegmentSet::takeOpen() {
    std::vector<int> open;
    // m_open[0] is what was current before the outermost block: no block of its own.
    for (size_t i = 1; i < m_open.size(); ++i) open.push_back(m_open[i]);
    if (!m_open.empty()) open.push_back(m_cur);
    m_open.clear();
    return open;
}

void SegmentSet::switchTo(int s) {
    m_open.clear();
    m_cur = s;
}

}  // namespace krvs::tasm
