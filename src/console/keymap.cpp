#include "keymap.h"

#include <QStringEncoder>

#include "pc/devices.h"

namespace krvs::console {

namespace {

// Keys that are no character of their own: the key's make code, and what the BIOS stores for it plain
// and with Shift, Ctrl and Alt (scan, character).
struct SpecialKey {
    int qtKey;
    std::uint8_t make;
    KeyStroke plain, shift, ctrl, alt;
};

constexpr SpecialKey kSpecialKeys[] = {
    {Qt::Key_Escape, 0x01, {0x01, 0x1B}, {0x01, 0x1B}, {0x01, 0x1B}, {0x01, 0x00}},
    {Qt::Key_Return, 0x1C, {0x1C, 0x0D}, {0x1C, 0x0D}, {0x1C, 0x0A}, {0xA6, 0x00}},
    {Qt::Key_Enter, 0x1C, {0x1C, 0x0D}, {0x1C, 0x0D}, {0x1C, 0x0A}, {0xA6, 0x00}},
    {Qt::Key_Backspace, 0x0E, {0x0E, 0x08}, {0x0E, 0x08}, {0x0E, 0x7F}, {0x0E, 0x00}},
    {Qt::Key_Tab, 0x0F, {0x0F, 0x09}, {0x0F, 0x00}, {0x94, 0x00}, {0xA5, 0x00}},
    {Qt::Key_Backtab, 0x0F, {0x0F, 0x00}, {0x0F, 0x00}, {0x0F, 0x00}, {0x0F, 0x00}},
    {Qt::Key_F1, 0x3B, {0x3B, 0}, {0x54, 0}, {0x5E, 0}, {0x68, 0}},
    {Qt::Key_F2, 0x3C, {0x3C, 0}, {0x55, 0}, {0x5F, 0}, {0x69, 0}},
    {Qt::Key_F3, 0x3D, {0x3D, 0}, {0x56, 0}, {0x60, 0}, {0x6A, 0}},
    {Qt::Key_F4, 0x3E, {0x3E, 0}, {0x57, 0}, {0x61, 0}, {0x6B, 0}},
    {Qt::Key_F5, 0x3F, {0x3F, 0}, {0x58, 0}, {0x62, 0}, {0x6C, 0}},
    {Qt::Key_F6, 0x40, {0x40, 0}, {0x59, 0}, {0x63, 0}, {0x6D, 0}},
    {Qt::Key_F7, 0x41, {0x41, 0}, {0x5A, 0}, {0x64, 0}, {0x6E, 0}},
    {Qt::Key_F8, 0x42, {0x42, 0}, {0x5B, 0}, {0x65, 0}, {0x6F, 0}},
    {Qt::Key_F9, 0x43, {0x43, 0}, {0x5C, 0}, {0x66, 0}, {0x70, 0}},
    {Qt::Key_F10, 0x44, {0x44, 0}, {0x5D, 0}, {0x67, 0}, {0x71, 0}},
    {Qt::Key_F11, 0x57, {0x85, 0}, {0x87, 0}, {0x89, 0}, {0x8B, 0}},
    {Qt::Key_F12, 0x58, {0x86, 0}, {0x88, 0}, {0x8A, 0}, {0x8C, 0}},
    {Qt::Key_Home, 0x47, {0x47, 0}, {0x47, 0}, {0x77, 0}, {0x97, 0}},
    {Qt::Key_Up, 0x48, {0x48, 0}, {0x48, 0}, {0x8D, 0}, {0x98, 0}},
    {Qt::Key_PageUp, 0x49, {0x49, 0}, {0x49, 0}, {0x84, 0}, {0x99, 0}},
    {Qt::Key_Left, 0x4B, {0x4B, 0}, {0x4B, 0}, {0x73, 0}, {0x9B, 0}},
    {Qt::Key_Right, 0x4D, {0x4D, 0}, {0x4D, 0}, {0x74, 0}, {0x9D, 0}},
    {Qt::Key_End, 0x4F, {0x4F, 0}, {0x4F, 0}, {0x75, 0}, {0x9F, 0}},
    {Qt::Key_Down, 0x50, {0x50, 0}, {0x50, 0}, {0x91, 0}, {0xA0, 0}},
    {Qt::Key_PageDown, 0x51, {0x51, 0}, {0x51, 0}, {0x76, 0}, {0xA1, 0}},
    {Qt::Key_Insert, 0x52, {0x52, 0}, {0x52, 0}, {0x92, 0}, {0xA2, 0}},
    {Qt::Key_Delete, 0x53, {0x53, 0}, {0x53, 0}, {0x93, 0}, {0xA3, 0}},
};

// The keyboard controller passes codes of 80h and above as key releases, so the enhanced-keyboard codes
// up there cannot travel as a key press: such a combination arrives as the plain key.
KeyStroke deliverable(KeyStroke wanted, std::uint8_t make) {
    if (wanted.scan >= 0x80) return {make, 0};
    return wanted;
}

const SpecialKey* findSpecial(int qtKey) {
    for (const auto& k : kSpecialKeys)
        if (k.qtKey == qtKey) return &k;
    return nullptr;
}

KeyStroke special(const SpecialKey& k, Qt::KeyboardModifiers m) {
    if (m & Qt::AltModifier) return deliverable(k.alt, k.make);
    if (m & Qt::ControlModifier) return deliverable(k.ctrl, k.make);
    if (m & Qt::ShiftModifier) return deliverable(k.shift, k.make);
    return deliverable(k.plain, k.make);
}

// The scan code of the key that types an ASCII character on the US layout.
std::uint8_t scanOf(char c) { return pc::keyForByte(static_cast<std::uint8_t>(c)).scan; }

bool altKey(int qtKey, KeyStroke& out) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        out = {scanOf(static_cast<char>('a' + (qtKey - Qt::Key_A))), 0};
        return true;
    }
    if (qtKey >= Qt::Key_1 && qtKey <= Qt::Key_9) { out = {static_cast<std::uint8_t>(0x78 + qtKey - Qt::Key_1), 0}; return true; }
    if (qtKey == Qt::Key_0) { out = {0x81, 0}; return true; }
    // Alt+- and Alt+= are 82h and 83h in the BIOS: past the release bit, so they come as the plain key.
    if (qtKey == Qt::Key_Minus) { out = {scanOf('-'), 0}; return true; }
    if (qtKey == Qt::Key_Equal) { out = {scanOf('='), 0}; return true; }
    return false;
}

bool ctrlKey(int qtKey, KeyStroke& out) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
        char letter = static_cast<char>('a' + (qtKey - Qt::Key_A));
        out = {scanOf(letter), static_cast<std::uint8_t>(qtKey - Qt::Key_A + 1)};
        return true;
    }
    struct CtrlChar { int qtKey; char key; std::uint8_t ascii; };
    static constexpr CtrlChar kCtrlChars[] = {
        {Qt::Key_BracketLeft, '[', 0x1B}, {Qt::Key_Backslash, '\\', 0x1C}, {Qt::Key_BracketRight, ']', 0x1D},
        {Qt::Key_6, '6', 0x1E}, {Qt::Key_AsciiCircum, '6', 0x1E}, {Qt::Key_Minus, '-', 0x1F},
        {Qt::Key_Underscore, '-', 0x1F}, {Qt::Key_2, '2', 0x00}, {Qt::Key_At, '2', 0x00},
    };
    for (const auto& c : kCtrlChars)
        if (c.qtKey == qtKey) { out = {scanOf(c.key), c.ascii}; return true; }
    return false;
}

std::vector<KeyStroke> byteStrokes(const QByteArray& bytes) {
    std::vector<KeyStroke> out;
    for (char c : bytes) {
        pc::KeyStroke k = pc::keyForByte(static_cast<std::uint8_t>(c));
        out.push_back({k.scan, k.ascii});
    }
    return out;
}

}  // namespace

QByteArray toGbk(const QString& text) {
    QStringEncoder encoder("GB18030");
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        QByteArray bytes = encoder.encode(text.mid(i, length));
        i += length - 1;
        // GB18030's four-byte forms are no GBK character; a DOS console would show them as nothing sane.
        out += bytes.size() <= 2 && !bytes.isEmpty() ? bytes : QByteArray("?");
    }
    return out;
}

std::vector<KeyStroke> keyStrokes(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
    if (const SpecialKey* k = findSpecial(qtKey)) return {special(*k, modifiers)};
    KeyStroke stroke;
    if ((modifiers & Qt::AltModifier) && altKey(qtKey, stroke)) return {stroke};
    if ((modifiers & Qt::ControlModifier) && ctrlKey(qtKey, stroke)) return {stroke};
    if (text.isEmpty() || (modifiers & (Qt::ControlModifier | Qt::AltModifier))) {
        // Control characters the platform already made (a Ctrl+letter that came without its key code).
        if (text.size() == 1 && text[0].unicode() < 0x20) return byteStrokes(toGbk(text));
        return {};
    }
    return byteStrokes(toGbk(text));
}

std::vector<KeyStroke> textStrokes(const QString& text) {
    QString typed = text;
    typed.replace(QStringLiteral("\r\n"), QStringLiteral("\r")).replace(QChar('\n'), QChar('\r'));
    return byteStrokes(toGbk(typed));
}

}  // namespace krvs::console
