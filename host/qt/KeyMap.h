// Qt keys as the virtual-key codes that the machine's programs expect, the same on every
// host: letters and digits as their upper-case ASCII codes, function keys from 0x70, the
// keypad from 0x60, and the punctuation keys of a US keyboard (a shifted symbol gives the
// code of the key it is on).
#pragma once

#include <cstdint>

// 0 for keys the machine has no code for. `keypad` tells keys of the numeric keypad.
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
