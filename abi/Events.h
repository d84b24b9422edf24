// Event records: GETEVENT writes the group to byte r0 and the kind to byte r1 (group 0 when
// no event waits), then only the fields that the kind carries.
#pragma once

#include <cstdint>

enum EEventGroup : uint8_t {
    kEventNone = 0,
    kEventSystem = 1,
    kEventKeyboard = 2,
    kEventMouse = 3,
    kEventScreen = 5,
    kEventDisk = 6,
};

// Kinds, per group.
enum ESystemEventKind : uint8_t {
    kKindActivity = 1, // byte r2: EActivity
    kKindTimer = 2,    // r4: timer id
};
enum EKeyboardEventKind : uint8_t {
    kKindKey = 1,  // byte r2: EKeyDirection, r4: virtual key
    kKindChar = 2, // r4: character code
};
enum EMouseEventKind : uint8_t {
    kKindMouseMove = 1,   // r4: EMouseFlags, r8: x, r12: y
    kKindMouseButton = 2, // byte r2: EMouseButton, byte r3: EMouseAction, then as a move
    kKindMouseWheel = 3,  // as a move, and r16: lines (F32)
};
enum EScreenEventKind : uint8_t {
    kKindResize = 1, // no fields
};
enum EDiskEventKind : uint8_t {
    kKindDiskInserted = 1, // r4: slot
    kKindDiskEjected = 2,  // r4: slot
};

// The values of the record's fields.
enum class EActivity : uint8_t {
    Held = 0,   // the window is held in a menu, a dialog or a message box
    Active = 1, // it runs on again
};
enum class EKeyDirection : uint8_t { Down = 1, Up = 2 };
enum class EMouseButton : uint8_t { Left = 1, Middle = 2, Right = 3 };
enum class EMouseAction : uint8_t { Down = 1, Up = 2, DoubleClick = 3 };

// The button-and-key flag word of mouse events.
enum EMouseFlags : uint32_t {
    kMouseLeft = 0x0001,
    kMouseRight = 0x0002,
    kMouseShift = 0x0004,
    kMouseControl = 0x0008,
    kMouseMiddle = 0x0010,
    kMouseExtra1 = 0x0020,
    kMouseExtra2 = 0x0040,
};
