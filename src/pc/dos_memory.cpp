// DOS memory: the chain of memory control blocks below 640 KB, kept in emulated memory as DOS keeps it.

#include "dos_fns.h"

namespace krvs::pc::dos {

namespace {

struct Mcb {
    std::uint16_t segment;  // of the control block itself; the block starts one paragraph later
    std::uint8_t type;      // 'M', or 'Z' for the last
    std::uint16_t owner;    // 0 free
    std::uint16_t size;     // paragraphs
};

Mcb readMcb(const Services& m, std::uint16_t seg) {
    const Memory& mem = m.memory();
    return {seg, mem.read8(seg, 0), mem.read16(seg, 1), mem.read16(seg, 3)};
}

void writeMcb(Services& m, const Mcb& b) {
    Memory& mem = m.memory();
    mem.write8(b.segment, 0, b.type);
    mem.write16(b.segment, 1, b.owner);
    mem.write16(b.segment, 3, b.size);
}

bool valid(const Mcb& b) { return b.type == 'M' || b.type == 'Z'; }

std::uint16_t nextOf(const Mcb& b) { return static_cast<std::uint16_t>(b.segment + b.size + 1); }

// Joins each free block with the free blocks that follow it. False when the chain is broken.
bool coalesce(Services& m) {
    std::uint16_t seg = kFirstMcb;
    for (int guard = 0; guard < 0x10000; ++guard) {
        Mcb b = readMcb(m, seg);
        if (!valid(b)) return false;
        if (b.type == 'Z') return true;
        Mcb next = readMcb(m, nextOf(b));
        if (!valid(next)) return false;
        if (b.owner == 0 && next.owner == 0) {
            b.size = static_cast<std::uint16_t>(b.size + next.size + 1);
            b.type = next.type;
            writeMcb(m, b);
            continue;
        }
        seg = next.segment;
    }
    return false;
}

// Cuts `b` to `size` paragraphs, the rest becoming a free block.
void split(Services& m, Mcb b, std::uint16_t size) {
    if (b.size <= size) return;
    Mcb rest{static_cast<std::uint16_t>(b.segment + size + 1), b.type, 0, static_cast<std::uint16_t>(b.size - size - 1)};
    b.size = size;
    b.type = 'M';
    writeMcb(m, b);
    writeMcb(m, rest);
}

}  // namespace

void initMemory(Services& m) {
    writeMcb(m, {kFirstMcb, 'Z', 0, static_cast<std::uint16_t>(kMemoryTop - kFirstMcb - 1)});
}

std::uint16_t allocate(Services& m, std::uint16_t paragraphs, std::uint16_t owner, std::uint16_t& largest) {
    largest = 0;
    if (!coalesce(m)) return 0;
    for (std::uint16_t seg = kFirstMcb;;) {
        Mcb b = readMcb(m, seg);
        if (b.owner == 0) {
            if (b.size >= paragraphs) {
                if (b.size > paragraphs) split(m, b, paragraphs);
                b = readMcb(m, seg);
                b.owner = owner ? owner : static_cast<std::uint16_t>(seg + 1);
                writeMcb(m, b);
                return static_cast<std::uint16_t>(seg + 1);
            }
            largest = std::max(largest, b.size);
        }
        if (b.type == 'Z') return 0;
        seg = nextOf(b);
    }
}

void setOwner(Services& m, std::uint16_t segment, std::uint16_t owner) {
    Mcb b = readMcb(m, static_cast<std::uint16_t>(segment - 1));
    if (!valid(b)) return;
    b.owner = owner;
    writeMcb(m, b);
}

std::uint16_t resize(Services& m, std::uint16_t segment, std::uint16_t paragraphs, std::uint16_t& largest) {
    largest = 0;
    Mcb b = readMcb(m, static_cast<std::uint16_t>(segment - 1));
    if (!valid(b)) return doserr::kInvalidBlock;
    if (!coalesce(m)) return doserr::kMcbDestroyed;
    b = readMcb(m, b.segment);
    if (paragraphs <= b.size) {
        split(m, b, paragraphs);
        coalesce(m);
        return 0;
    }
    std::uint16_t available = b.size;
    if (b.type == 'M') {
        Mcb next = readMcb(m, nextOf(b));
        if (next.owner == 0) available = static_cast<std::uint16_t>(b.size + next.size + 1);
        if (available >= paragraphs) {
            b.size = available;
            b.type = next.type;
            writeMcb(m, b);
            split(m, b, paragraphs);
            return 0;
        }
    }
    largest = available;
    return doserr::kNoMemory;
}

std::vector<std::pair<std::uint32_t, std::uint32_t>> freeOwnedBy(Services& m, std::uint16_t owner) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> freed;
    std::uint16_t seg = kFirstMcb;
    for (int guard = 0; guard < 0x10000; ++guard) {
        Mcb b = readMcb(m, seg);
        if (!valid(b)) break;
        if (b.owner == owner && owner != 0) {
            b.owner = 0;
            writeMcb(m, b);
            freed.push_back({linear(static_cast<std::uint16_t>(seg + 1), 0), linear(nextOf(b), 0)});
        }
        if (b.type == 'Z') break;
        seg = nextOf(b);
    }
    coalesce(m);
    return freed;
}

std::uint16_t allocateMemory(Services& m) {
    auto& r = m.regs();
    std::uint16_t largest;
    std::uint16_t seg = allocate(m, r.gp[BX], m.pspSegment(), largest);
    if (!seg) {
        r.gp[BX] = largest;
        return coalesce(m) ? doserr::kNoMemory : doserr::kMcbDestroyed;
    }
    r.gp[AX] = seg;
    return 0;
}

std::uint16_t freeMemory(Services& m) {
    auto& r = m.regs();
    Mcb b = readMcb(m, static_cast<std::uint16_t>(r.seg[ES] - 1));
    if (!valid(b)) return doserr::kInvalidBlock;
    b.owner = 0;
    writeMcb(m, b);
    return 0;
}

std::uint16_t resizeMemory(Services& m) {
    auto& r = m.regs();
    std::uint16_t largest;
    std::uint16_t e = resize(m, r.seg[ES], r.gp[BX], largest);
    if (e == doserr::kNoMemory) r.gp[BX] = largest;
    return e;
}

}  // namespace krvs::pc::dos
