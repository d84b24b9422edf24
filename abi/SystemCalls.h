// The system-call interface: SYS reads the group from byte r0 and the function from byte
// r1, takes its arguments from the parameter area and leaves its results there. A group or
// function that is not available answers with 0 in byte r0 or r1.
#pragma once

#include <cstdint>

enum EServiceGroup : uint32_t {
    kGroupNone = 0,
    kGroupSystem = 1,
    kGroupKeyboard = 2,
    kGroupMouse = 3,
    kGroupSound = 4, // only while the machine has a MIDI output
    kGroupScreen = 5,
    kGroupDisk = 6,
    kGroupMemory = 7,
};
// Group numbers index tables of this size.
inline constexpr uint32_t kServiceGroupSlots = 8;

enum ESystemFunction : uint32_t {
    kSystemVersion = 1,
    kSystemId = 2,
    kSystemHostVersion = 3,
    kSystemInfo = 4,
    kSystemBeep = 5,
    kSystemMessage = 6,
    kSystemStartTimer = 7,
    kSystemStopTimer = 8,
    kSystemTime = 9,
    kSystemEventCount = 10,
    kSystemEventSpace = 11,
    kSystemCharacter = 12,
};

// Sub-functions of kSystemCharacter (byte r2; the character in byte r3).
enum ECharacterFunction : uint32_t {
    kCharUpper = 1,
    kCharLower = 2,
    kCharIsAlnum = 3,
    kCharIsAlpha = 4,
    kCharIsSpace = 5,
};

enum EKeyboardFunction : uint32_t {
    kKeyboardVersion = 1,
    kKeyboardKeyState = 2,
    kKeyboardKeyNow = 3,
};

enum EMouseFunction : uint32_t {
    kMouseVersion = 1,
    kMouseButtonNow = 2,
    kMousePosition = 3,
};

enum ESoundFunction : uint32_t {
    kSoundVersion = 1,
    kSoundSend = 2,
};

enum EScreenFunction : uint32_t {
    kScreenVersion = 1,
    kScreenSetMode = 2,
    kScreenGetMode = 3,
    kScreenRefresh = 4,
    kScreenPutCell = 5,
    kScreenGetCell = 6,
    kScreenSetPixels = 7,
    kScreenGetPixels = 8,
    kScreenCellSize = 9,
    kScreenPixelScale = 10,
    kScreenCapacity = 11,
};

// The screen's modes, as kScreenSetMode and kScreenGetMode name them in byte r2.
enum EScreenMode : int32_t { kScreenNone = 0, kScreenText = 1, kScreenGraphics = 2 };

enum EDiskFunction : uint32_t {
    kDiskVersion = 1,
    kDiskCount = 2,
    kDiskState = 3,
    kDiskSize = 4,
    kDiskSeek = 5,
    kDiskTell = 6,
    kDiskWrite = 7,
    kDiskRead = 8,
};

enum EMemoryFunction : uint32_t {
    kMemoryVersion = 1,
    kMemoryDataSize = 2,
};
