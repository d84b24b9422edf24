#include "host/qt/KeyMap.h"

#include <Qt>

#include <array>
#include <unordered_map>

namespace {

// Punctuation codes of the keys that MakeLayout takes one by one (the rows below give the
// others as escapes: 0xBA, 0xBC, 0xBE, 0xBF and these).
constexpr uint8_t kOemPlus = 0xBB, kOemMinus = 0xBD, kOem3 = 0xC0, kOem4 = 0xDB, kOem5 = 0xDC,
                  kOem6 = 0xDD, kOem7 = 0xDE, kOem8 = 0xDF, kOem102 = 0xE2;

// The main block, key by key in this order: the key left of 1; the digit row with the two
// keys after it; the row from Q with two after it; the row from A with the two after it and
// the key that is right of them or above Return; the key right of the left Shift; the row
// from Z with the three after it.
constexpr size_t kMainBlockKeys = 48;
using LayoutCodes = std::array<uint8_t, kMainBlockKeys>;

// X keycodes (evdev codes + 8, the PC scan codes + 8) of those keys, in the same order.
constexpr std::array<uint8_t, kMainBlockKeys> kMainBlockKeycodes = {
    49,                                             // left of 1
    10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, // 1 .. 0 and two
    24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, // Q row
    38, 39, 40, 41, 42, 43, 44, 45, 46, 47, 48, 51, // A row
    94,                                             // right of the left Shift
    52, 53, 54, 55, 56, 57, 58, 59, 60, 61,         // Z row
};

// The letters of a row and the codes of its other keys, in the order above.
constexpr LayoutCodes MakeLayout(uint8_t left, uint8_t afterDigits1, uint8_t afterDigits2,
                                 const char (&rowQ)[13], const char (&rowA)[13], uint8_t leftShift,
                                 const char (&rowZ)[11]) {
    LayoutCodes codes{};
    size_t i = 0;
    codes[i++] = left;
    for (const char digit : {'1', '2', '3', '4', '5', '6', '7', '8', '9', '0'})
        codes[i++] = static_cast<uint8_t>(digit);
    codes[i++] = afterDigits1;
    codes[i++] = afterDigits2;
    for (size_t k = 0; k < 12; ++k)
        codes[i++] = static_cast<uint8_t>(rowQ[k]);
    for (size_t k = 0; k < 12; ++k)
        codes[i++] = static_cast<uint8_t>(rowA[k]);
    codes[i++] = leftShift;
    for (size_t k = 0; k < 10; ++k)
        codes[i++] = static_cast<uint8_t>(rowZ[k]);
    return codes;
}

// Rows as text: letters stand for themselves, the other keys are escapes of their codes.
// US, UK, French, German, Spanish, Italian, and the Nordic layouts (Swedish, Finnish,
// Norwegian, Danish), which share their codes.
constexpr std::array<LayoutCodes, 7> kLayouts = {
    MakeLayout(kOem3, kOemMinus, kOemPlus, "QWERTYUIOP\xDB\xDD", "ASDFGHJKL\xBA\xDE\xDC", kOem102,
               "ZXCVBNM\xBC\xBE\xBF"),
    MakeLayout(kOem8, kOemMinus, kOemPlus, "QWERTYUIOP\xDB\xDD", "ASDFGHJKL\xBA\xC0\xDE", kOem5,
               "ZXCVBNM\xBC\xBE\xBF"),
    MakeLayout(kOem7, kOem4, kOemPlus, "AZERTYUIOP\xDD\xBA", "QSDFGHJKLM\xC0\xDC", kOem102,
               "WXCVBN\xBC\xBE\xBF\xDF"),
    MakeLayout(kOem5, kOem4, kOem6, "QWERTZUIOP\xBA\xBB", "ASDFGHJKL\xC0\xDE\xBF", kOem102,
               "YXCVBNM\xBC\xBE\xBD"),
    MakeLayout(kOem5, kOem4, kOem6, "QWERTYUIOP\xBA\xBB", "ASDFGHJKL\xC0\xDE\xBF", kOem102,
               "ZXCVBNM\xBC\xBE\xBD"),
    MakeLayout(kOem5, kOem4, kOem6, "QWERTYUIOP\xBA\xBB", "ASDFGHJKL\xC0\xDE\xBF", kOem102,
               "ZXCVBNM\xBC\xBE\xBD"),
    MakeLayout(kOem5, kOemPlus, kOem4, "QWERTYUIOP\xDD\xBA", "ASDFGHJKL\xC0\xDE\xBF", kOem102,
               "ZXCVBNM\xBC\xBE\xBD"),
};

// Index of an X keycode in the main block, or -1.
int MainBlockIndex(uint32_t keycode) {
    static const std::array<int8_t, 256> index = [] {
        std::array<int8_t, 256> made{};
        made.fill(-1);
        for (size_t i = 0; i < kMainBlockKeys; ++i)
            made[kMainBlockKeycodes[i]] = static_cast<int8_t>(i);
        return made;
    }();
    return keycode < index.size() ? index[keycode] : -1;
}

bool IsLetterCode(uint8_t code) {
    return code >= 'A' && code <= 'Z';
}

const std::unordered_map<int, uint32_t>& KeyTable() {
    static const std::unordered_map<int, uint32_t> table = {
        {Qt::Key_Backspace, 0x08},
        {Qt::Key_Tab, 0x09},
        {Qt::Key_Backtab, 0x09},
        {Qt::Key_Clear, 0x0C},
        {Qt::Key_Return, 0x0D},
        {Qt::Key_Enter, 0x0D},
        {Qt::Key_Shift, 0x10},
        {Qt::Key_Control, 0x11},
        {Qt::Key_Alt, 0x12},
        {Qt::Key_AltGr, 0x12},
        {Qt::Key_Pause, 0x13},
        {Qt::Key_CapsLock, 0x14},
        {Qt::Key_Escape, 0x1B},
        {Qt::Key_Space, 0x20},
        {Qt::Key_PageUp, 0x21},
        {Qt::Key_PageDown, 0x22},
        {Qt::Key_End, 0x23},
        {Qt::Key_Home, 0x24},
        {Qt::Key_Left, 0x25},
        {Qt::Key_Up, 0x26},
        {Qt::Key_Right, 0x27},
        {Qt::Key_Down, 0x28},
        {Qt::Key_Select, 0x29},
        {Qt::Key_Print, 0x2C},
        {Qt::Key_Execute, 0x2B},
        {Qt::Key_Insert, 0x2D},
        {Qt::Key_Delete, 0x2E},
        {Qt::Key_Help, 0x2F},
        {Qt::Key_Meta, 0x5B},
        {Qt::Key_Super_L, 0x5B},
        {Qt::Key_Super_R, 0x5C},
        {Qt::Key_Menu, 0x5D},
        {Qt::Key_Sleep, 0x5F},
        {Qt::Key_NumLock, 0x90},
        {Qt::Key_ScrollLock, 0x91},
        // The punctuation keys of a US keyboard, unshifted and shifted.
        {Qt::Key_Semicolon, 0xBA},
        {Qt::Key_Colon, 0xBA},
        {Qt::Key_Equal, 0xBB},
        {Qt::Key_Plus, 0xBB},
        {Qt::Key_Comma, 0xBC},
        {Qt::Key_Less, 0xBC},
        {Qt::Key_Minus, 0xBD},
        {Qt::Key_Underscore, 0xBD},
        {Qt::Key_Period, 0xBE},
        {Qt::Key_Greater, 0xBE},
        {Qt::Key_Slash, 0xBF},
        {Qt::Key_Question, 0xBF},
        {Qt::Key_QuoteLeft, 0xC0},
        {Qt::Key_AsciiTilde, 0xC0},
        {Qt::Key_BracketLeft, 0xDB},
        {Qt::Key_BraceLeft, 0xDB},
        {Qt::Key_Backslash, 0xDC},
        {Qt::Key_Bar, 0xDC},
        {Qt::Key_BracketRight, 0xDD},
        {Qt::Key_BraceRight, 0xDD},
        {Qt::Key_Apostrophe, 0xDE},
        {Qt::Key_QuoteDbl, 0xDE},
        // Shifted digits.
        {Qt::Key_ParenRight, 0x30},
        {Qt::Key_Exclam, 0x31},
        {Qt::Key_At, 0x32},
        {Qt::Key_NumberSign, 0x33},
        {Qt::Key_Dollar, 0x34},
        {Qt::Key_Percent, 0x35},
        {Qt::Key_AsciiCircum, 0x36},
        {Qt::Key_Ampersand, 0x37},
        {Qt::Key_Asterisk, 0x38},
        {Qt::Key_ParenLeft, 0x39},
        // Media and browser keys.
        {Qt::Key_Back, 0xA6},
        {Qt::Key_Forward, 0xA7},
        {Qt::Key_Refresh, 0xA8},
        {Qt::Key_Stop, 0xA9},
        {Qt::Key_Search, 0xAA},
        {Qt::Key_Favorites, 0xAB},
        {Qt::Key_HomePage, 0xAC},
        {Qt::Key_VolumeMute, 0xAD},
        {Qt::Key_VolumeDown, 0xAE},
        {Qt::Key_VolumeUp, 0xAF},
        {Qt::Key_MediaNext, 0xB0},
        {Qt::Key_MediaPrevious, 0xB1},
        {Qt::Key_MediaStop, 0xB2},
        {Qt::Key_MediaTogglePlayPause, 0xB3},
        {Qt::Key_MediaPlay, 0xB3},
        {Qt::Key_LaunchMail, 0xB4},
    };
    return table;
}

// The keypad's own codes: digits 0x60..0x69 and the operators.
uint32_t KeypadKey(int qtKey) {
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 0x60 + static_cast<uint32_t>(qtKey - Qt::Key_0);
    switch (qtKey) {
    case Qt::Key_Asterisk:
        return 0x6A;
    case Qt::Key_Plus:
        return 0x6B;
    case Qt::Key_Minus:
        return 0x6D;
    case Qt::Key_Period:
    case Qt::Key_Comma:
        return 0x6E;
    case Qt::Key_Slash:
        return 0x6F;
    default:
        return 0;
    }
}

} // namespace

EKeyboardLayout LayoutFromXkbName(std::string_view name) {
    // A variant may follow in parentheses: "de(nodeadkeys)".
    name = name.substr(0, name.find('('));
    static const std::unordered_map<std::string_view, EKeyboardLayout> names = {
        {"us", EKeyboardLayout::kUs},      {"gb", EKeyboardLayout::kUk},
        {"uk", EKeyboardLayout::kUk},      {"ie", EKeyboardLayout::kUk},
        {"fr", EKeyboardLayout::kFrench},  {"de", EKeyboardLayout::kGerman},
        {"at", EKeyboardLayout::kGerman},  {"es", EKeyboardLayout::kSpanish},
        {"it", EKeyboardLayout::kItalian}, {"se", EKeyboardLayout::kNordic},
        {"fi", EKeyboardLayout::kNordic},  {"no", EKeyboardLayout::kNordic},
        {"dk", EKeyboardLayout::kNordic},
    };
    const auto found = names.find(name);
    return found == names.end() ? EKeyboardLayout::kOther : found->second;
}

EKeyboardLayout LayoutFromXkbRules(std::string_view property, uint32_t group) {
    // Skip rules and model.
    for (int field = 0; field < 2; ++field) {
        const size_t end = property.find('\0');
        if (end == std::string_view::npos)
            return EKeyboardLayout::kOther;
        property.remove_prefix(end + 1);
    }
    std::string_view layouts = property.substr(0, property.find('\0'));
    // Group g names the g-th layout; a group beyond the list wraps, as X wraps it.
    size_t count = 1;
    for (const char c : layouts)
        count += c == ',' ? 1 : 0;
    for (uint32_t skip = group % count; skip > 0; --skip)
        layouts.remove_prefix(layouts.find(',') + 1);
    return LayoutFromXkbName(layouts.substr(0, layouts.find(',')));
}

uint32_t VirtualKeyAtPosition(uint32_t scanCode, EKeyboardLayout layout, int qtKey) {
    const int index = MainBlockIndex(scanCode);
    if (index < 0)
        return 0;
    if (layout != EKeyboardLayout::kOther)
        return kLayouts[static_cast<size_t>(layout)][static_cast<size_t>(index)];
    // Another layout: its Latin letters where it has them, a US key's code elsewhere.
    const uint8_t us = kLayouts[0][static_cast<size_t>(index)];
    if (IsLetterCode(us) && qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<uint32_t>(qtKey);
    return us;
}

uint32_t VirtualKeyForKey(uint32_t scanCode, EKeyboardLayout layout, int qtKey, bool keypad) {
    if (!keypad) {
        if (const uint32_t code = VirtualKeyAtPosition(scanCode, layout, qtKey))
            return code;
    }
    return VirtualKeyFromQt(qtKey, keypad);
}

uint32_t VirtualKeyFromQt(int qtKey, bool keypad) {
    if (keypad) {
        if (const uint32_t code = KeypadKey(qtKey))
            return code;
        // Keypad keys without their own code (arrows and Home with Num Lock off, Enter)
        // share the codes of the main keys.
    }
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<uint32_t>(qtKey);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<uint32_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return 0x70 + static_cast<uint32_t>(qtKey - Qt::Key_F1);
    const auto& table = KeyTable();
    const auto found = table.find(qtKey);
    return found == table.end() ? 0 : found->second;
}
