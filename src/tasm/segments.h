#pragma once
// The module's segments, groups and external names as one pass builds them, with what selects
// where code goes: the current segment (and the SEGMENT blocks open around it) and the ASSUMEs.

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "value.h"

namespace krvs::tasm {

enum class Combine : std::uint8_t { Private, Public, Stack, Common, Memory, At };

enum class FixKind : std::uint8_t { Lo8, Off16, Base16, Ptr32, Rel8, Rel16 };
enum class RefKind : std::uint8_t { Segment, Group, Extern, Target };

// Laid out small: a segment keeps one per relocatable field.
struct Fixup {
    std::uint32_t offset = 0;
    int targetIndex = 0;
    int frameIndex = 0;
    std::int32_t disp = 0;  // self-relative fixups: the target's offset
    FixKind kind = FixKind::Off16;
    RefKind target = RefKind::Segment;
    RefKind frame = RefKind::Target;
    bool groupFrame = false;  // frame: the target segment's group, if it has one (known at output)
};

struct Segment {
    std::string name;
    std::string className;
    int align = 16;
    Combine combine = Combine::Private;
    std::uint16_t atFrame = 0;
    int group = -1;
    std::vector<std::uint8_t> bytes;  // initialised image up to the last written byte
    std::uint32_t lc = 0;
    std::uint32_t size = 0;
    std::vector<Fixup> fixups;
    std::uint32_t relocations = 0;  // fixups met this pass, kept or not: the next pass's list is made that big
    std::vector<std::pair<int, std::uint32_t>> lines;  // source line, offset
    std::vector<std::pair<std::uint32_t, std::uint32_t>> runs;  // written byte ranges [from, to)
    int sym = -1;
};

struct Group {
    std::string name;
    std::vector<int> segs;
    int sym = -1;
};

struct Extern {
    std::string name;
    int type = kTypeNone;
    int sym = -1;
};

// An object module's SEGDEF and EXTDEF numbers run from 1 to 7FFFh.
constexpr int kMaxSegments = 0x7FFF;
constexpr int kMaxExterns = 0x7FFF;

class SegmentSet {
public:
    // A new pass defines every segment, group and external again, in the same order. A pass that
    // keeps the images gives each segment the room its namesake took in the last pass, so that no
    // image or fixup list grows by doubling (which left up to half of it unused).
    void reset(bool keepImages = false);

    // Segments, by their number in this pass. A forward reference can name one that this pass has
    // not created yet: ask exists() first.
    int add(Segment s);
    bool exists(int s) const { return s >= 0 && s < static_cast<int>(m_segs.size()); }
    Segment& operator[](int s) { return m_segs[static_cast<size_t>(s)]; }
    const Segment& operator[](int s) const { return m_segs[static_cast<size_t>(s)]; }
    int size() const { return static_cast<int>(m_segs.size()); }
    const std::vector<Segment>& all() const { return m_segs; }

    int addGroup(Group g);
    bool groupExists(int g) const { return g >= 0 && g < static_cast<int>(m_groups.size()); }
    Group& group(int g) { return m_groups[static_cast<size_t>(g)]; }
    const Group& group(int g) const { return m_groups[static_cast<size_t>(g)]; }
    const std::vector<Group>& groups() const { return m_groups; }

    int addExtern(Extern e);
    Extern& externAt(int e) { return m_exts[static_cast<size_t>(e)]; }
    const Extern& externAt(int e) const { return m_exts[static_cast<size_t>(e)]; }
    const std::vector<Extern>& externs() const { return m_exts; }

    // The segment being assembled into; -1 outside every segment.
    int current() const { return m_cur; }
    std::uint32_t lc() const { return m_cur >= 0 ? m_segs[static_cast<size_t>(m_cur)].lc : 0; }
    // SEGMENT: the current one (if any) stays open beneath `s`; ENDS returns to it.
    void open(int s);
    // ENDS: back to the segment beneath; false when no SEGMENT block is open.
    bool close();
    bool anyOpen() const { return !m_open.empty(); }
    // The blocks still open from the outermost, ending with the current segment (for the
    // messages at the end of the text); forgets them.
    std::vector<int> takeOpen();
    // The simplified segment directives switch without nesting.
    void switchTo(int s);

    // ASSUME: the symbol (a segment or group) that each segment register ES CS SS DS reaches; -1
    // for NOTHING.
    int assumed(int reg) const { return m_assume[static_cast<size_t>(reg)]; }
    void assume(int reg, int sym) { m_assume[static_cast<size_t>(reg)] = sym; }
    void assumeNothing() { m_assume = {-1, -1, -1, -1}; }

private:
    struct Room {
        std::uint32_t bytes = 0, fixups = 0;
    };
    std::vector<Room> m_lastRoom;
    bool m_keepImages = false;
    std::vector<Segment> m_segs;
    std::vector<Group> m_groups;
    std::vector<Extern> m_exts;
    int m_cur = -1;
    std::vector<int> m_open;  // the segments beneath the current one, innermost last
    std::array<int, 4> m_assume{-1, -1, -1, -1};
};

}  // namespace krvs::tasm
