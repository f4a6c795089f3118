#pragma once
// A snapshot of the text screen, for a console window and for tests.

#include <array>
#include <cstdint>
#include <string>

namespace krvs::pc {

struct TextScreen {
    static constexpr int kColumns = 80, kRows = 25;
    std::array<std::uint8_t, kColumns * kRows> chars{};
    std::array<std::uint8_t, kColumns * kRows> attributes{};
    int cursorRow = 0, cursorColumn = 0;
    bool cursorVisible = true;
    std::uint8_t mode = 3;

    std::uint8_t charAt(int row, int column) const { return chars[row * kColumns + column]; }
    std::uint8_t attributeAt(int row, int column) const { return attributes[row * kColumns + column]; }
    // 25 lines of raw bytes, each without its trailing blanks and ended by LF.
    std::string text() const;
};

}  // namespace krvs::pc
