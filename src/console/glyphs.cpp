#include "glyphs.h"

#include <array>

namespace krvs::console {

namespace {

// B3h-DAh in order: up, right, down, left.
constexpr std::uint8_t kArms[][4] = {
    {1, 0, 1, 0}, {1, 0, 1, 1}, {1, 0, 1, 2}, {2, 0, 2, 1}, {0, 0, 2, 1}, {0, 0, 1, 2}, {2, 0, 2, 2},  // B3-B9
    {2, 0, 2, 0}, {0, 0, 2, 2}, {2, 0, 0, 2}, {2, 0, 0, 1}, {1, 0, 0, 2}, {0, 0, 1, 1}, {1, 1, 0, 0},  // BA-C0
    {1, 1, 0, 1}, {0, 1, 1, 1}, {1, 1, 1, 0}, {0, 1, 0, 1}, {1, 1, 1, 1}, {1, 2, 1, 0}, {2, 1, 2, 0},  // C1-C7
    {2, 2, 0, 0}, {0, 2, 2, 0}, {2, 2, 0, 2}, {0, 2, 2, 2}, {2, 2, 2, 0}, {0, 2, 0, 2}, {2, 2, 2, 2},  // C8-CE
    {1, 2, 0, 2}, {2, 1, 0, 1}, {0, 2, 1, 2}, {0, 1, 2, 1}, {2, 1, 0, 0}, {1, 2, 0, 0}, {0, 2, 1, 0},  // CF-D5
    {0, 1, 2, 0}, {2, 1, 2, 1}, {1, 2, 1, 2}, {1, 0, 0, 1}, {0, 1, 1, 0},                              // D6-DA
};

constexpr char16_t kCp437[256] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640,
    0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8, 0x2191, 0x2193,
    0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC,
    // 20h-7Eh are ASCII and filled in below; 7Fh is the house.
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x2302,
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE,
    0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA,
    0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502,
    0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514,
    0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550,
    0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C,
    0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

bool isDrawing(std::uint8_t ch) { return ch >= 0xB0 && ch <= 0xDF; }
bool isFill(std::uint8_t ch) { return shadePercent(ch) > 0 || (ch >= 0xDB && ch <= 0xDF); }

// Two drawing characters side by side belong to one picture when a line runs on from one into the other,
// or when either is a shade or block (bars and fills stand next to anything).
bool joins(std::uint8_t a, std::uint8_t b) {
    if (isFill(a) || isFill(b)) return true;
    std::uint8_t right = boxArms(a).right;
    return right != 0 && right == boxArms(b).left;
}

bool isGbkLead(std::uint8_t b) { return b >= 0x81 && b <= 0xFE; }
bool isGbkTrail(std::uint8_t b) { return b >= 0x80 && b <= 0xFE; }  // trails below 80h would split runs

bool runIsDrawing(const std::uint8_t* chars, int begin, int end) {
    for (int i = begin; i < end; ++i) {
        if (!isDrawing(chars[i])) return false;
        if (i + 1 < end && !joins(chars[i], chars[i + 1])) return false;
    }
    return true;
}

}  // namespace

BoxArms boxArms(std::uint8_t ch) {
    if (ch < 0xB3 || ch > 0xDA) return {};
    const std::uint8_t* a = kArms[ch - 0xB3];
    return {a[0], a[1], a[2], a[3]};
}

int shadePercent(std::uint8_t ch) {
    switch (ch) {
    case 0xB0: return 25;
    case 0xB1: return 50;
    case 0xB2: return 75;
    default: return 0;
    }
}

bool blockRect(std::uint8_t ch, BlockRect& out) {
    switch (ch) {
    case 0xDB: out = {0, 0, 8, 8}; return true;
    case 0xDC: out = {0, 4, 8, 8}; return true;
    case 0xDD: out = {0, 0, 4, 8}; return true;
    case 0xDE: out = {4, 0, 8, 8}; return true;
    case 0xDF: out = {0, 0, 8, 4}; return true;
    default: return false;
    }
}

char16_t cp437ToUnicode(std::uint8_t ch) {
    if (ch >= 0x20 && ch < 0x7F) return ch;
    return kCp437[ch];
}

std::vector<CellRole> layoutRow(const std::uint8_t* chars, int columns) {
    std::vector<CellRole> roles(static_cast<std::size_t>(columns), CellRole::Single);
    int i = 0;
    while (i < columns) {
        if (chars[i] < 0x80) { ++i; continue; }
        int end = i;
        while (end < columns && chars[end] >= 0x80) ++end;
        if (end - i >= 2 && !runIsDrawing(chars, i, end)) {
            for (int k = i; k + 1 < end;) {
                if (isGbkLead(chars[k]) && isGbkTrail(chars[k + 1])) {
                    roles[static_cast<std::size_t>(k)] = CellRole::WideLead;
                    roles[static_cast<std::size_t>(k + 1)] = CellRole::WideTrail;
                    k += 2;
                } else {
                    ++k;
                }
            }
        }
        i = end;
    }
    return roles;
}

}  // namespace krvs::console
