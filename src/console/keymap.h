#pragma once
// The keyboard of the emulated PC: each key press in the window becomes the scan code and character the
// BIOS keyboard handler would store for it, so INT 9 hooks, INT 16h and DOS input all see the same key.

#include <QString>
#include <Qt>
#include <cstdint>
#include <vector>

namespace krvs::console {

struct KeyStroke {
    std::uint8_t scan = 0;
    std::uint8_t ascii = 0;
    bool operator==(const KeyStroke&) const = default;
};

// What one key press types: nothing for a modifier alone, one stroke for most keys, several for text
// that an input method delivers at once (each GBK byte is its own stroke, as a Chinese DOS gets it).
std::vector<KeyStroke> keyStrokes(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);

// Pasted text as the keys that type it: line breaks become Enter.
std::vector<KeyStroke> textStrokes(const QString& text);

// GBK bytes of a text (characters GBK lacks become '?').
QByteArray toGbk(const QString& text);

}  // namespace krvs::console
