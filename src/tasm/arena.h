#pragma once
// Bytes handed out in 64 KB blocks that never move, for many small texts kept to the end of a run
// (symbol names, listed lines): one allocation per block instead of one per text, and pointers into
// it stay valid as it grows.
#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace krvs::tasm {

class ByteArena {
public:
    char* allocate(std::size_t size) {
        if (size > m_free) {
            const std::size_t block = std::max(kBlock, size);
            m_blocks.push_back(std::unique_ptr<char[]>(new char[block]));
            m_next = m_blocks.back().get();
            m_free = block;
        }
        char* at = m_next;
        m_next += size;
        m_free -= size;
        return at;
    }
    void clear() {
        m_blocks.clear();
        m_next = nullptr;
        m_free = 0;
    }

private:
    static constexpr std::size_t kBlock = 64 * 1024;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    std::size_t m_free = 0;
};

}  // namespace krvs::tasm
