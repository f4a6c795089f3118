#include "screen_image.h"

#include <algorithm>

#include "pc/machine.h"

namespace krvs::console {

namespace {

// BIOS data area fields (segment 0040h) that describe the text screen.
constexpr std::uint16_t kBda = 0x40;
constexpr std::uint16_t kVideoMode = 0x49, kColumns = 0x4A, kPageOffset = 0x4E, kCursorPos = 0x50,
                        kCursorShape = 0x60, kActivePage = 0x62, kRowsMinusOne = 0x84, kModeSelect = 0x65;

std::uint16_t videoSegment(const pc::Memory& mem) { return mem.read8(kBda, kVideoMode) == 7 ? 0xB000 : 0xB800; }

// A BIOS data area that a program scribbled on must not make the window draw nonsense.
int columnsOf(const pc::Memory& mem) { return mem.read16(kBda, kColumns) <= 40 ? 40 : 80; }
int rowsOf(const pc::Memory& mem) {
    int rows = mem.read8(kBda, kRowsMinusOne) + 1;
    return std::clamp(rows, 25, ScreenImage::kMaxRows);
}

}  // namespace

void ScreenImage::resize(int newColumns, int newRows) {
    std::vector<std::uint16_t> next(static_cast<std::size_t>(newColumns * newRows), 0x0720);
    for (int r = 0; r < std::min(rows, newRows); ++r)
        for (int c = 0; c < std::min(columns, newColumns); ++c)
            next[static_cast<std::size_t>(r * newColumns + c)] = cell(r, c);
    columns = newColumns;
    rows = newRows;
    cells = std::move(next);
    cursorRow = std::min(cursorRow, rows - 1);
    cursorColumn = std::min(cursorColumn, columns - 1);
}

ScreenImage readScreen(const pc::Machine& machine) {
    const pc::Memory& mem = machine.memory();
    ScreenImage s;
    s.columns = columnsOf(mem);
    s.rows = rowsOf(mem);
    s.cells.assign(static_cast<std::size_t>(s.columns * s.rows), 0x0720);
    const std::uint16_t seg = videoSegment(mem);
    const std::uint16_t base = mem.read16(kBda, kPageOffset);
    for (std::size_t i = 0; i < s.cells.size(); ++i)
        s.cells[i] = mem.read16(seg, static_cast<std::uint16_t>(base + i * 2));
    const std::uint8_t page = mem.read8(kBda, kActivePage) & 7;
    s.cursorColumn = std::min<int>(mem.read8(kBda, static_cast<std::uint16_t>(kCursorPos + page * 2)), s.columns - 1);
    s.cursorRow = std::min<int>(mem.read8(kBda, static_cast<std::uint16_t>(kCursorPos + page * 2 + 1)), s.rows - 1);
    const std::uint8_t start = mem.read8(kBda, kCursorShape + 1);
    s.cursorStart = start & 0x1F;
    s.cursorEnd = mem.read8(kBda, kCursorShape) & 0x1F;
    s.cursorHidden = (start & 0x20) != 0;
    // Bit 5 of the mode-select copy is the blink bit; a BIOS that never wrote the byte leaves blinking on.
    const std::uint8_t select = mem.read8(kBda, kModeSelect);
    s.blinkEnabled = select == 0 || (select & 0x20) != 0;
    return s;
}

void writeScreen(pc::Machine& machine, const ScreenImage& image) {
    pc::Memory& mem = machine.memory();
    const std::uint16_t seg = videoSegment(mem);
    const std::uint16_t base = mem.read16(kBda, kPageOffset);
    const int columns = columnsOf(mem), rows = rowsOf(mem);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            std::uint16_t v = r < image.rows && c < image.columns ? image.cell(r, c) : 0x0720;
            mem.write16(seg, static_cast<std::uint16_t>(base + (r * columns + c) * 2), v);
        }
    const std::uint8_t page = mem.read8(kBda, kActivePage) & 7;
    mem.write8(kBda, static_cast<std::uint16_t>(kCursorPos + page * 2), static_cast<std::uint8_t>(std::min(image.cursorColumn, columns - 1)));
    mem.write8(kBda, static_cast<std::uint16_t>(kCursorPos + page * 2 + 1), static_cast<std::uint8_t>(std::min(image.cursorRow, rows - 1)));
}

}  // namespace krvs::console
