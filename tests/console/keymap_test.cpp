// The one table from key presses to what the BIOS stores: scan code and character.

#include <gtest/gtest.h>

#include <string>

#include "keymap.h"

namespace krvs::console {
void PrintTo(const KeyStroke& k, std::ostream* os) { *os << std::hex << "{scan " << int(k.scan) << ", ascii " << int(k.ascii) << "}"; }
}  // namespace krvs::console

namespace krvs::console::test {
namespace {

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString text;
    std::vector<KeyStroke> expected;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.name; }

class KeyTableTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyTableTest, Strokes) {
    const KeyCase& c = GetParam();
    EXPECT_EQ(keyStrokes(c.key, c.modifiers, c.text), c.expected);
}

const Qt::KeyboardModifiers kNone = Qt::NoModifier, kShift = Qt::ShiftModifier, kCtrl = Qt::ControlModifier,
                            kAlt = Qt::AltModifier;

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyTableTest,
    ::testing::Values(
        KeyCase{"LetterA", Qt::Key_A, kNone, "a", {{0x1E, 'a'}}},
        KeyCase{"ShiftA", Qt::Key_A, kShift, "A", {{0x1E, 'A'}}},
        KeyCase{"Digit1", Qt::Key_1, kNone, "1", {{0x02, '1'}}},
        KeyCase{"Exclamation", Qt::Key_Exclam, kShift, "!", {{0x02, '!'}}},
        KeyCase{"Space", Qt::Key_Space, kNone, " ", {{0x39, ' '}}},
        KeyCase{"Enter", Qt::Key_Return, kNone, "\r", {{0x1C, 0x0D}}},
        KeyCase{"KeypadEnter", Qt::Key_Enter, Qt::KeypadModifier, "\r", {{0x1C, 0x0D}}},
        KeyCase{"CtrlEnter", Qt::Key_Return, kCtrl, "", {{0x1C, 0x0A}}},
        KeyCase{"Escape", Qt::Key_Escape, kNone, "\x1b", {{0x01, 0x1B}}},
        KeyCase{"Backspace", Qt::Key_Backspace, kNone, "\b", {{0x0E, 0x08}}},
        KeyCase{"Tab", Qt::Key_Tab, kNone, "\t", {{0x0F, 0x09}}},
        KeyCase{"ShiftTab", Qt::Key_Backtab, kShift, "", {{0x0F, 0x00}}},
        KeyCase{"F1", Qt::Key_F1, kNone, "", {{0x3B, 0}}},
        KeyCase{"F10", Qt::Key_F10, kNone, "", {{0x44, 0}}},
        KeyCase{"ShiftF1", Qt::Key_F1, kShift, "", {{0x54, 0}}},
        KeyCase{"CtrlF5", Qt::Key_F5, kCtrl, "", {{0x62, 0}}},
        KeyCase{"AltF10", Qt::Key_F10, kAlt, "", {{0x71, 0}}},
        KeyCase{"Up", Qt::Key_Up, kNone, "", {{0x48, 0}}},
        KeyCase{"Down", Qt::Key_Down, kNone, "", {{0x50, 0}}},
        KeyCase{"Left", Qt::Key_Left, kNone, "", {{0x4B, 0}}},
        KeyCase{"Right", Qt::Key_Right, kNone, "", {{0x4D, 0}}},
        KeyCase{"Home", Qt::Key_Home, kNone, "", {{0x47, 0}}},
        KeyCase{"End", Qt::Key_End, kNone, "", {{0x4F, 0}}},
        KeyCase{"PageUp", Qt::Key_PageUp, kNone, "", {{0x49, 0}}},
        KeyCase{"PageDown", Qt::Key_PageDown, kNone, "", {{0x51, 0}}},
        KeyCase{"Insert", Qt::Key_Insert, kNone, "", {{0x52, 0}}},
        KeyCase{"Delete", Qt::Key_Delete, kNone, "\x7f", {{0x53, 0}}},
        KeyCase{"KeypadUpWithoutNumLock", Qt::Key_Up, Qt::KeypadModifier, "", {{0x48, 0}}},
        KeyCase{"CtrlLeft", Qt::Key_Left, kCtrl, "", {{0x73, 0}}},
        KeyCase{"CtrlRight", Qt::Key_Right, kCtrl, "", {{0x74, 0}}},
        KeyCase{"CtrlHome", Qt::Key_Home, kCtrl, "", {{0x77, 0}}},
        KeyCase{"CtrlEnd", Qt::Key_End, kCtrl, "", {{0x75, 0}}},
        KeyCase{"CtrlPageDown", Qt::Key_PageDown, kCtrl, "", {{0x76, 0}}},
        // Enhanced-keyboard codes of 80h and above would read as key releases: the plain key arrives.
        KeyCase{"CtrlPageUpArrivesAsPageUp", Qt::Key_PageUp, kCtrl, "", {{0x49, 0}}},
        KeyCase{"F11ArrivesAsItsKey", Qt::Key_F11, kNone, "", {{0x57, 0}}},
        KeyCase{"CtrlC", Qt::Key_C, kCtrl, "\x03", {{0x2E, 0x03}}},
        KeyCase{"CtrlZ", Qt::Key_Z, kCtrl, "\x1a", {{0x2C, 0x1A}}},
        KeyCase{"CtrlBracket", Qt::Key_BracketLeft, kCtrl, "\x1b", {{0x1A, 0x1B}}},
        KeyCase{"AltX", Qt::Key_X, kAlt, "x", {{0x2D, 0}}},
        KeyCase{"Alt1", Qt::Key_1, kAlt, "1", {{0x78, 0}}},
        KeyCase{"Alt0", Qt::Key_0, kAlt, "0", {{0x81, 0}}},
        KeyCase{"ShiftAlone", Qt::Key_Shift, kShift, "", {}},
        KeyCase{"ChineseFromAnInputMethod", 0, kNone, QString::fromUtf8("你"), {{0, 0xC4}, {0, 0xE3}}}),
    [](const ::testing::TestParamInfo<KeyCase>& i) { return std::string(i.param.name); });

TEST(PasteTest, LinesBecomeEnterAndTextItsKeys) {
    std::vector<KeyStroke> expected{{0x23, 'h'}, {0x17, 'i'}, {0x1C, 0x0D}, {0x02, '1'}, {0x1C, 0x0D}, {0x1E, 'a'}};
    EXPECT_EQ(textStrokes(QStringLiteral("hi\r\n1\na")), expected);
}

TEST(PasteTest, GbkOfCharactersOutsideGbkIsAQuestionMark) {
    EXPECT_EQ(toGbk(QString::fromUtf8("请a")), QByteArray("\xC7\xEB" "a"));
    EXPECT_EQ(toGbk(QString::fromUtf8("😀")), QByteArray("?"));  // one character, though two UTF-16 units
}

}  // namespace
}  // namespace krvs::console::test
