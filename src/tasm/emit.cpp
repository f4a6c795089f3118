// Writing bytes into the current segment and recording where the linker has to patch them.

#include <algorithm>
#include <string>

#include "context.h"
#include "hex.h"

namespace krvs::tasm {

bool Assembler::needSegment() {
    if (m_segs.current() >= 0) return true;
    error("Code or data emission to undeclared segment");
    return false;
}

std::int32_t Assembler::here() const {
    if (m_mod.strucOpen >= 0) return m_mod.strucOffset;
    return m_segs.current() >= 0 ? static_cast<std::int32_t>(m_segs[m_segs.current()].lc) : 0;
}

// Only the final passes keep what they write: an earlier pass needs the location counter alone.
void Assembler::emitByte(std::uint8_t b) {
    Segment& s = m_segs[m_segs.current()];
    if (m_finalPass) {
        if (s.bytes.size() < s.lc) s.bytes.resize(s.lc);  // a gap left by ORG or reserved space
        if (s.bytes.size() == s.lc) s.bytes.push_back(b);
        else s.bytes[s.lc] = b;
        if (!s.runs.empty() && s.runs.back().second == s.lc) ++s.runs.back().second;
        else s.runs.emplace_back(s.lc, s.lc + 1);
    }
    ++s.lc;
    if (s.lc > s.size) s.size = s.lc;
    if (s.lc > 0x10000) {
        s.lc &= 0xFFFF;
        error("Location counter overflow");
    }
    m_lineEmitted = true;
}

void Assembler::emitWord(std::uint16_t w) {
    emitByte(static_cast<std::uint8_t>(w));
    emitByte(static_cast<std::uint8_t>(w >> 8));
}

void Assembler::emitListedByte(std::uint8_t b) {
    emitByte(b);
    m_listing.byte(b);
}

void Assembler::reserve(std::uint32_t n) {
    Segment& s = m_segs[m_segs.current()];
    s.lc += n;
    if (s.lc > 0x10000) {
        s.lc &= 0xFFFF;
        error("Location counter overflow");
    }
    s.size = std::max(s.size, s.lc);
    m_lineEmitted = true;
}

// Target and frame of a relocatable value. The frame is the group of the target's segment when it has
// one, so that offsets are counted from the group base that DS is normally set to.
void Assembler::addFixup(FixKind kind, const Value& v, std::uint32_t at, std::int32_t disp) {
    if (m_segs.current() < 0) return;
    ++m_segs[m_segs.current()].relocations;
    if (v.undefined || !m_finalPass) return;
    Fixup f;
    f.offset = at;
    f.kind = kind;
    f.disp = disp;
    if (v.segBase) {
        if (v.grp >= 0) f.target = RefKind::Group, f.targetIndex = v.grp;
        else if (v.seg >= 0) f.target = RefKind::Segment, f.targetIndex = v.seg;
        else if (v.ext >= 0) f.target = RefKind::Extern, f.targetIndex = v.ext;
        else return;
        f.frame = RefKind::Target;
    } else if (v.seg >= 0) {
        f.target = RefKind::Segment;
        f.targetIndex = v.seg;
        if (v.frameGrp >= 0) f.frame = RefKind::Group, f.frameIndex = v.frameGrp;
        else if (v.frameSeg >= 0) f.frame = RefKind::Segment, f.frameIndex = v.frameSeg;
        else f.frame = RefKind::Target, f.groupFrame = kind != FixKind::Rel16 && kind != FixKind::Rel8;
    } else if (v.ext >= 0) {
        f.target = RefKind::Extern;
        f.targetIndex = v.ext;
        if (v.frameGrp >= 0) f.frame = RefKind::Group, f.frameIndex = v.frameGrp;
        else f.frame = RefKind::Target;
    } else {
        return;
    }
    m_segs[m_segs.current()].fixups.push_back(f);
}


void Assembler::emitValue(const Value& v, int size) {
    std::uint32_t before = m_segs[m_segs.current()].lc;
    emitValueBytes(v, size);
    if (!m_listing.on() || m_listing.muted()) return;
    const Segment& s = m_segs[m_segs.current()];
    std::uint64_t n = 0;
    int width = std::min(size, 8);
    for (int i = width - 1; i >= 0; --i) {
        std::uint32_t at = before + static_cast<std::uint32_t>(i);
        n = (n << 8) | (at < s.bytes.size() ? s.bytes[at] : 0);
    }
    bool reloc = v.relocatable() && !v.undefined;
    m_listing.code(hexText(n, width * 2) + (reloc ? (v.segBase ? "s" : "r") : "") + " ");
}

void Assembler::emitValueBytes(const Value& v, int size) {
    std::uint32_t at = m_segs[m_segs.current()].lc;
    if (v.kind == Value::Kind::Reg || v.hasRegs()) {
        error("Illegal use of register");
        reserve(static_cast<std::uint32_t>(size));
        return;
    }
    bool reloc = v.relocatable() && !v.undefined;
    std::int64_t n = v.num;
    if (size == 1) {
        if (reloc && !v.segBase) addFixup(FixKind::Lo8, v, at);
        else if (reloc) error("Illegal use of segment register");
        else if (n < -256 || n > 255) error("Value out of range");
        emitByte(static_cast<std::uint8_t>(n));
        return;
    }
    if (size == 2) {
        if (reloc) addFixup(v.segBase ? FixKind::Base16 : FixKind::Off16, v, at);
        else if (n < -65536 || n > 65535) error("Value out of range");
        emitWord(static_cast<std::uint16_t>(n));
        return;
    }
    if (size == 4 && reloc && !v.segBase) {
        addFixup(FixKind::Ptr32, v, at);
        emitWord(static_cast<std::uint16_t>(n));
        emitWord(0);
        return;
    }
    if (reloc) error("Illegal use of segment register");
    for (int i = 0; i < size; ++i) emitByte(i < 8 ? static_cast<std::uint8_t>(static_cast<std::uint64_t>(n) >> (8 * i)) : (n < 0 ? 0xFF : 0));
}

}  // namespace krvs::tasm
