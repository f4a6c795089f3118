#pragma once
// A teletype onto a screen image, for text that does not come from an emulated program: the interpreter's
// own messages in the console window, and DEBUG's dialogue in the debugger window. It behaves like the
// BIOS teletype (CR, LF, BS, BEL, TAB to the next multiple of 8, scrolling at the bottom) and also takes
// the form feed and the ANSI "clear screen" the interpreter writes for CLS.

#include <cstdint>
#include <string>
#include <string_view>

#include "screen_image.h"

namespace krvs::console {

class Terminal {
public:
    explicit Terminal(std::uint8_t attribute = 0x07) : m_attribute(attribute) { clear(); }

    void write(std::string_view bytes);
    void clear();
    const ScreenImage& image() const { return m_image; }
    ScreenImage& image() { return m_image; }
    void setImage(const ScreenImage& image) { m_image = image; }
    // How many times the screen changed; a front end compares it to know whether to redraw.
    std::uint64_t changes() const { return m_changes; }

private:
    void put(std::uint8_t byte);
    void lineFeed();
    bool escape(std::uint8_t byte);

    ScreenImage m_image;
    std::uint8_t m_attribute;
    std::string m_escape;  // an ESC sequence being read
    std::uint64_t m_changes = 0;
};

}  // namespace krvs::console
