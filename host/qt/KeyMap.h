// Keys as the virtual-key codes that the machine's programs expect. A key of the main block
// is known by its place on the keyboard (the native scan code: the X keycode) and gets the
// code that the desktop layout of the same kind gives it where the codes come from: letters
// their upper-case ASCII codes wherever the layout puts them, the digit row 0x30..0x39 on
// every layout, punctuation the layout's own codes. So a key gives the same code whatever
// Shift or AltGr do to its character, and its release carries the code of its press. Keys
// that are the same on every layout (function keys from 0x70, the keypad from 0x60,
// arrows, modifiers) are known by their Qt key.
#pragma once

#include <cstdint>
#include <string_view>

// The layouts whose punctuation codes are known; any other gets the codes of a US keyboard
// at the same places, and its letters where it has Latin letters.
enum class EKeyboardLayout : uint8_t {
    kUs,
    kUk,
    kFrench,
    kGerman,
    kSpanish,
    kItalian,
    kNordic,
    kOther,
};

// The layout an XKB layout name stands for: "us", "gb", "fr", "de", "es", "it", "se", ...
EKeyboardLayout LayoutFromXkbName(std::string_view name);
// The layout of keyboard group `group` in the X root window's rules property: fields of
// rules, model, layouts, variants and options, each ended by a NUL; layouts are separated by
// commas, one per group.
EKeyboardLayout LayoutFromXkbRules(std::string_view property, uint32_t group);

// The code of a main-block key at its X keycode, or 0 for a keycode outside the main block.
// `qtKey` supplies the letter of a layout whose codes are not known.
uint32_t VirtualKeyAtPosition(uint32_t scanCode, EKeyboardLayout layout, int qtKey);

// The code of a key event: by position when the scan code is one of the main block's,
// otherwise from the Qt key. 0 for keys the machine has no code for.
uint32_t VirtualKeyForKey(uint32_t scanCode, EKeyboardLayout layout, int qtKey, bool keypad);

// The code of a Qt key alone, as a US keyboard gives it (a shifted symbol gives the code of
// the key it is on). 0 for keys the machine has no code for. `keypad` tells keys of the
// numeric keypad.
uint32_t VirtualKeyFromQt(int qtKey, bool keypad);

// A few codes the window itself cares about.
enum EVirtualKey : uint32_t {
    kVkLeftButton = 0x01,
    kVkRightButton = 0x02,
    kVkMiddleButton = 0x04,
    kVkXButton1 = 0x05,
    kVkXButton2 = 0x06,
    kVkBack = 0x08,
    kVkTab = 0x09,
    kVkReturn = 0x0D,
    kVkShift = 0x10,
    kVkControl = 0x11,
    kVkMenu = 0x12,
    kVkCapital = 0x14,
    kVkEscape = 0x1B,
    kVkDelete = 0x2E,
    kVkNumLock = 0x90,
    kVkScroll = 0x91,
    kVkLeftShift = 0xA0,
    kVkRightShift = 0xA1,
    kVkLeftControl = 0xA2,
    kVkRightControl = 0xA3,
    kVkLeftMenu = 0xA4,
    kVkRightMenu = 0xA5,
};
