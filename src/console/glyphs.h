#pragma once
// What each byte of a text screen looks like: the code page 437 character, the arms of a line-drawing
// character (drawn as geometry so that lines meet across cells), the shades and blocks, and which bytes of
// a row pair up as one double-byte GBK character, as a Chinese DOS console shows them.

#include <cstdint>
#include <vector>

namespace krvs::console {

// Line weight of each arm from the cell's centre: 0 none, 1 single, 2 double.
struct BoxArms {
    std::uint8_t up = 0, right = 0, down = 0, left = 0;
    bool any() const { return up || right || down || left; }
};
BoxArms boxArms(std::uint8_t ch);

// B0h-B2h: a quarter, half or three quarters of the cell's pixels lit. 0 for other characters.
int shadePercent(std::uint8_t ch);
// DBh-DFh: the lit part of the cell as fractions of its width and height (left, top, right, bottom in
// eighths). False for other characters.
struct BlockRect { int left, top, right, bottom; };
bool blockRect(std::uint8_t ch, BlockRect& out);

// The Unicode character that code page 437 shows for a byte (control codes as their glyphs: 01h is ☺).
char16_t cp437ToUnicode(std::uint8_t ch);

enum class CellRole : std::uint8_t { Single, WideLead, WideTrail };

// The roles of a row's cells. Bytes of 80h and above that stand together form a run; a run made only of
// line-drawing, shade and block characters whose neighbours join up is a drawing, any other run pairs its
// bytes from the left into GBK characters. A lone high byte is always its code page 437 character.
std::vector<CellRole> layoutRow(const std::uint8_t* chars, int columns);

}  // namespace krvs::console
