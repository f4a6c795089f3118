#pragma once
// What a console window shows: the cells of a text screen in any of the text geometries (40 or 80 columns,
// 25 to 50 rows), the cursor with its shape, and whether attribute bit 7 blinks. Read from an emulated
// machine, or kept by a terminal for text that does not come from one.

#include <cstdint>
#include <vector>

namespace krvs::pc {
class Machine;
}

namespace krvs::console {

struct ScreenImage {
    static constexpr int kMaxColumns = 80, kMaxRows = 50;
    int columns = 80, rows = 25;
    std::vector<std::uint16_t> cells = std::vector<std::uint16_t>(80 * 25, 0x0720);  // char | attribute << 8
    int cursorRow = 0, cursorColumn = 0;
    // Scan lines of the cursor as INT 10h AH=01h sets them (CH = start, CL = end).
    std::uint8_t cursorStart = 6, cursorEnd = 7;
    bool cursorHidden = false;
    bool blinkEnabled = true;  // attribute bit 7 blinks; otherwise it brightens the background

    std::uint16_t cell(int row, int column) const { return cells[static_cast<std::size_t>(row * columns + column)]; }
    std::uint16_t& cell(int row, int column) { return cells[static_cast<std::size_t>(row * columns + column)]; }
    void resize(int newColumns, int newRows);  // keeps the top-left part, blanks the rest
    bool operator==(const ScreenImage&) const = default;
};

// The active page of a machine's text screen, in the geometry its BIOS data area gives. Safe to call from
// another thread while the machine runs: a copy taken mid-write is corrected by the next one.
ScreenImage readScreen(const pc::Machine& machine);
// Puts an image into a machine's active page and cursor, so a program starts on the screen as it was left.
void writeScreen(pc::Machine& machine, const ScreenImage& image);

}  // namespace krvs::console
