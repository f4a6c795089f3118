#pragma once
// A small map from symbol numbers to numbers that only a few symbols carry (the LENGTH of a DUP
// variable, the external number of an EXTRN), kept beside the symbols so that the many that carry
// none do not pay for it: open addressing, 8 bytes a slot, at most 70% full.
#include <cstdint>
#include <vector>

namespace krvs::tasm {

class IntMap {
public:
    // The value stored for `key` (>= 0), or `absent`.
    std::int32_t get(std::int32_t key, std::int32_t absent) const {
        if (m_slots.empty()) return absent;
        for (size_t i = slotOf(key);; i = (i + 1) & (m_slots.size() - 1)) {
            if (m_slots[i].key == key) return m_slots[i].value;
            if (m_slots[i].key < 0) return absent;
        }
    }
    void set(std::int32_t key, std::int32_t value) {
        if ((m_count + 1) * 10 > m_slots.size() * 7) grow();
        size_t i = slotOf(key);
        while (m_slots[i].key >= 0 && m_slots[i].key != key) i = (i + 1) & (m_slots.size() - 1);
        if (m_slots[i].key < 0) ++m_count;
        m_slots[i] = {key, value};
    }
    void clear() {
        m_slots.clear();
        m_count = 0;
    }

private:
    struct Slot {
        std::int32_t key = -1;
        std::int32_t value = 0;
    };
    size_t slotOf(std::int32_t key) const {
        std::uint32_t h = static_cast<std::uint32_t>(key) * 0x9E3779B1u;
        return static_cast<size_t>(h ^ (h >> 16)) & (m_slots.size() - 1);
    }
    void grow() {
        std::vector<Slot> old = std::move(m_slots);
        m_slots.assign(old.empty() ? 16 : old.size() * 2, Slot{});
        m_count = 0;
        for (const Slot& s : old)
            if (s.key >= 0) set(s.key, s.value);
    }
    std::vector<Slot> m_slots;
    size_t m_count = 0;
};

}  // namespace krvs::tasm
