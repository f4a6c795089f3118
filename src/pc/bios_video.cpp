// INT 10h: the text modes of the colour and the monochrome adapter.

#include <algorithm>
#include <array>
#include <cstdio>

#include "services.h"

namespace krvs::pc::bios {

namespace {

using namespace bda;
using x86::AX;
using x86::BX;
using x86::CX;
using x86::DX;

constexpr int kCols = 80, kRows = 25;
constexpr std::uint16_t kPageBytes = 0x1000;

std::uint16_t cellOffset(int page, int row, int col) {
    return static_cast<std::uint16_t>(page * kPageBytes + (row * kCols + col) * 2);
}

struct Cursor { int row, col; };

Cursor cursorOf(const Services& m, int page) {
    auto off = static_cast<std::uint16_t>(kCursorPos + (page & 7) * 2);
    return {m.memory().read8(kSegment, static_cast<std::uint16_t>(off + 1)), m.memory().read8(kSegment, off)};
}

void setCursor(Services& m, int page, int row, int col) {
    auto off = static_cast<std::uint16_t>(kCursorPos + (page & 7) * 2);
    m.memory().write8(kSegment, off, static_cast<std::uint8_t>(col));
    m.memory().write8(kSegment, static_cast<std::uint16_t>(off + 1), static_cast<std::uint8_t>(row));
}

void scroll(Services& m, int page, bool up, int lines, std::uint8_t attr, int top, int left, int bottom, int right) {
    bottom = std::min(bottom, kRows - 1);
    right = std::min(right, kCols - 1);
    if (top > bottom || left > right) return;
    int height = bottom - top + 1;
    if (lines == 0 || lines > height) lines = height;
    Memory& mem = m.memory();
    std::uint16_t seg = videoSegment(m.memory());
    for (int i = 0; i < height; ++i) {
        int row = up ? top + i : bottom - i;
        int from = up ? row + lines : row - lines;
        bool blank = up ? from > bottom : from < top;
        for (int col = left; col <= right; ++col) {
            std::uint16_t word = blank ? static_cast<std::uint16_t>(attr << 8 | ' ')
                                       : mem.read16(seg, cellOffset(page, from, col));
            mem.write16(seg, cellOffset(page, row, col), word);
        }
    }
}

void writeCell(Services& m, int page, int row, int col, std::uint8_t ch, std::uint8_t attr, bool useAttr) {
    std::uint16_t seg = videoSegment(m.memory()), off = cellOffset(page, row, col);
    m.memory().write8(seg, off, ch);
    if (useAttr) m.memory().write8(seg, static_cast<std::uint16_t>(off + 1), attr);
}

void writeRepeated(Services& m, bool useAttr) {
    auto& r = m.regs();
    int page = hi(r.gp[BX]) & 7;
    Cursor c = cursorOf(m, page);
    int pos = c.row * kCols + c.col;
    for (int i = 0; i < r.gp[CX] && pos + i < kCols * kRows; ++i)
        writeCell(m, page, (pos + i) / kCols, (pos + i) % kCols, lo(r.gp[AX]), lo(r.gp[BX]), useAttr);
}

void writeString(Services& m) {
    auto& r = m.regs();
    std::uint8_t mode = lo(r.gp[AX]);
    int page = hi(r.gp[BX]) & 7;
    Cursor saved = cursorOf(m, page);
    setCursor(m, page, hi(r.gp[DX]), lo(r.gp[DX]));
    std::uint16_t off = r.gp[x86::BP];
    for (int i = 0; i < r.gp[CX]; ++i) {
        std::uint8_t ch = m.memory().read8(r.seg[x86::ES], off++);
        std::uint8_t attr = lo(r.gp[BX]);
        if (mode & 2) attr = m.memory().read8(r.seg[x86::ES], off++);
        teletype(m, ch, static_cast<std::uint8_t>(page), attr, true);
    }
    if (!(mode & 1)) setCursor(m, page, saved.row, saved.col);
}

}  // namespace

std::uint16_t videoSegment(const Memory& memory) {
    return memory.read8(kSegment, kVideoMode) == 7 ? 0xB000 : 0xB800;
}

void setMode(Services& m, std::uint8_t mode, bool clear) {
    Memory& mem = m.memory();
    mem.write8(kSegment, kVideoMode, mode);
    mem.write16(kSegment, kColumns, kCols);
    mem.write16(kSegment, kPageSize, kPageBytes);
    mem.write16(kSegment, kPageOffset, 0);
    for (int p = 0; p < 8; ++p) setCursor(m, p, 0, 0);
    mem.write16(kSegment, kCursorShape, mode == 7 ? 0x0B0C : 0x0607);
    mem.write8(kSegment, kActivePage, 0);
    mem.write16(kSegment, kCrtcPort, mode == 7 ? 0x3B4 : 0x3D4);
    mem.write8(kSegment, kRows, kRows - 1);
    std::uint16_t eq = mem.read16(kSegment, kEquipment) & 0xFFCF;
    mem.write16(kSegment, kEquipment, static_cast<std::uint16_t>(eq | (mode == 7 ? 0x30 : 0x20)));
    if (!clear) return;
    std::uint16_t seg = videoSegment(m.memory());
    for (std::uint32_t off = 0; off < 8u * kPageBytes; off += 2) mem.write16(seg, static_cast<std::uint16_t>(off), 0x0720);
}

void teletype(Services& m, std::uint8_t ch, std::uint8_t page, std::uint8_t attribute, bool useAttribute) {
    page &= 7;
    Cursor c = cursorOf(m, page);
    switch (ch) {
    case 7: return;  // the bell: the speaker is silent here
    case 8: if (c.col > 0) --c.col; break;
    case 10: ++c.row; break;
    case 13: c.col = 0; break;
    default:
        writeCell(m, page, c.row, c.col, ch, attribute, useAttribute);
        if (++c.col >= kCols) { c.col = 0; ++c.row; }
    }
    if (c.row >= kRows) {
        std::uint8_t fill = m.memory().read8(videoSegment(m.memory()), static_cast<std::uint16_t>(cellOffset(page, kRows - 1, 0) + 1));
        scroll(m, page, true, 1, fill, 0, 0, kRows - 1, kCols - 1);
        c.row = kRows - 1;
    }
    setCursor(m, page, c.row, c.col);
}

namespace {

int pageArg(Services& m) { return hi(m.regs().gp[BX]) & 7; }
std::uint8_t activePage(Services& m) { return m.memory().read8(kSegment, kActivePage); }

void fnSetMode(Services& m) {
    std::uint8_t al = lo(m.regs().gp[AX]);
    std::uint8_t mode = al & 0x7F;
    if (mode != 2 && mode != 3 && mode != 7) {
        char text[64];
        std::snprintf(text, sizeof text, "INT 10h: video mode %02Xh is not available; text mode 3 is kept", mode);
        m.note(text);
        mode = 3;
    }
    setMode(m, mode == 2 ? 3 : mode, !(al & 0x80));
}

void fnCursorShape(Services& m) { m.memory().write16(kSegment, kCursorShape, m.regs().gp[CX]); }

void fnSetCursor(Services& m) { setCursor(m, pageArg(m), hi(m.regs().gp[DX]), lo(m.regs().gp[DX])); }

void fnGetCursor(Services& m) {
    Cursor c = cursorOf(m, pageArg(m));
    m.regs().gp[DX] = static_cast<std::uint16_t>(c.row << 8 | c.col);
    m.regs().gp[CX] = m.memory().read16(kSegment, kCursorShape);
}

void fnSelectPage(Services& m) {
    std::uint8_t page = lo(m.regs().gp[AX]);
    if (page >= 8) return;
    m.memory().write8(kSegment, kActivePage, page);
    m.memory().write16(kSegment, kPageOffset, static_cast<std::uint16_t>(page * kPageBytes));
}

void fnScroll(Services& m) {
    auto& r = m.regs();
    scroll(m, activePage(m), hi(r.gp[AX]) == 0x06, lo(r.gp[AX]), hi(r.gp[BX]), hi(r.gp[CX]), lo(r.gp[CX]),
           hi(r.gp[DX]), lo(r.gp[DX]));
}

void fnReadCell(Services& m) {
    int page = pageArg(m);
    Cursor c = cursorOf(m, page);
    m.regs().gp[AX] = m.memory().read16(videoSegment(m.memory()), cellOffset(page, c.row, c.col));
}

void fnWriteCells(Services& m) { writeRepeated(m, true); }
void fnWriteChars(Services& m) { writeRepeated(m, false); }
void fnTeletype(Services& m) { teletype(m, lo(m.regs().gp[AX]), activePage(m), 0, false); }

void fnVideoState(Services& m) {
    auto& r = m.regs();
    r.gp[AX] = static_cast<std::uint16_t>(kCols << 8 | m.memory().read8(kSegment, kVideoMode));
    setHi(r.gp[BX], activePage(m));
}

void fnWriteString(Services& m) { writeString(m); }

void fnDisplayCombination(Services& m) {  // a colour VGA
    auto& r = m.regs();
    if (lo(r.gp[AX]) != 0) return;
    setLo(r.gp[AX], 0x1A);
    r.gp[BX] = 0x0008;
}

void fnNothing(Services&) {}  // palette and font services change nothing in text output

using VideoFn = void (*)(Services&);
constexpr std::array<VideoFn, 256> buildVideoTable() {
    std::array<VideoFn, 256> t{};
    t[0x00] = fnSetMode;
    t[0x01] = fnCursorShape;
    t[0x02] = fnSetCursor;
    t[0x03] = fnGetCursor;
    t[0x05] = fnSelectPage;
    t[0x06] = fnScroll;
    t[0x07] = fnScroll;
    t[0x08] = fnReadCell;
    t[0x09] = fnWriteCells;
    t[0x0A] = fnWriteChars;
    t[0x0E] = fnTeletype;
    t[0x0F] = fnVideoState;
    t[0x0B] = fnNothing;  // border colour
    t[0x10] = fnNothing;
    t[0x11] = fnNothing;
    t[0x12] = fnNothing;
    t[0x13] = fnWriteString;
    t[0x1A] = fnDisplayCombination;
    return t;
}

constexpr auto kVideoFunctions = buildVideoTable();

}  // namespace

std::uint16_t video(Services& m) {
    std::uint8_t ah = hi(m.regs().gp[AX]);
    if (VideoFn fn = kVideoFunctions[ah]) {
        fn(m);
        return 0;
    }
    char text[64];
    std::snprintf(text, sizeof text, "INT 10h function %02Xh is not supported", ah);
    m.note(text);
    return 0;
}

}  // namespace krvs::pc::bios
