// The names that assembly programs use for the machine's interface (tarquil.inc spells them
// the same way), each with its value from the other headers of this folder. A test holds
// tarquil.inc to this table; tools that show the interface (a debugger naming a system call)
// can read it.
#pragma once

#include "abi/Events.h"
#include "abi/RegisterBlock.h"
#include "abi/SystemCalls.h"

#include <array>
#include <cstdint>
#include <string_view>

struct SInterfaceName {
    std::string_view name;
    uint32_t value;
};

// The prefixes of the names the table covers (tarquil.inc also names virtual keys, colours
// and MIDI messages, which belong to the host platform and to MIDI rather than to the
// machine).
inline constexpr std::array<std::string_view, 17> kInterfaceNamePrefixes = {
    "REGISTER_", "PARAM_", "GROUP_",  "SYSTEM_", "CHAR_",  "KEYBOARD_",
    "MOUSE_",    "SOUND_", "SCREEN_", "MODE_",   "DISK_",  "MEMORY_",
    "EVENT_",    "KIND_",  "KEY_",    "BUTTON_", "ACTION_"};

inline constexpr SInterfaceName kInterfaceNames[] = {
    {"REGISTER_BLOCK", kRegisterBlockAddress},
    {"REGISTER_SP", RegisterAddress(kRegisterSP)},
    {"REGISTER_BASE", RegisterAddress(kRegisterBASE)},
    {"REGISTER_IP", RegisterAddress(kRegisterIP)},
    {"PARAM_GROUP", RegisterAddress(kParamGroup)},
    {"PARAM_FUNCTION", RegisterAddress(kParamFunction)},
    {"PARAM_BYTE2", RegisterAddress(kParamByte2)},
    {"PARAM_BYTE3", RegisterAddress(kParamByte3)},
    {"PARAM_DWORD4", RegisterAddress(kParamDword4)},
    {"PARAM_DWORD8", RegisterAddress(kParamDword8)},
    {"PARAM_DWORD12", RegisterAddress(kParamDword12)},
    {"PARAM_DWORD16", RegisterAddress(kParamDword16)},
    {"PARAM_DWORD20", RegisterAddress(kParamDword20)},

    {"GROUP_SYSTEM", kGroupSystem},
    {"GROUP_KEYBOARD", kGroupKeyboard},
    {"GROUP_MOUSE", kGroupMouse},
    {"GROUP_SOUND", kGroupSound},
    {"GROUP_SCREEN", kGroupScreen},
    {"GROUP_DISK", kGroupDisk},
    {"GROUP_MEMORY", kGroupMemory},

    {"SYSTEM_VERSION", kSystemVersion},
    {"SYSTEM_ID", kSystemId},
    {"SYSTEM_HOST_VERSION", kSystemHostVersion},
    {"SYSTEM_INFO", kSystemInfo},
    {"SYSTEM_BEEP", kSystemBeep},
    {"SYSTEM_MESSAGE", kSystemMessage},
    {"SYSTEM_START_TIMER", kSystemStartTimer},
    {"SYSTEM_STOP_TIMER", kSystemStopTimer},
    {"SYSTEM_TIME", kSystemTime},
    {"SYSTEM_EVENT_COUNT", kSystemEventCount},
    {"SYSTEM_EVENT_SPACE", kSystemEventSpace},
    {"SYSTEM_CHARACTER", kSystemCharacter},
    {"CHAR_UPPER", kCharUpper},
    {"CHAR_LOWER", kCharLower},
    {"CHAR_IS_ALNUM", kCharIsAlnum},
    {"CHAR_IS_ALPHA", kCharIsAlpha},
    {"CHAR_IS_SPACE", kCharIsSpace},

    {"KEYBOARD_VERSION", kKeyboardVersion},
    {"KEYBOARD_KEY_STATE", kKeyboardKeyState},
    {"KEYBOARD_KEY_NOW", kKeyboardKeyNow},
    {"MOUSE_VERSION", kMouseVersion},
    {"MOUSE_BUTTON_NOW", kMouseButtonNow},
    {"MOUSE_POSITION", kMousePosition},
    {"SOUND_VERSION", kSoundVersion},
    {"SOUND_SEND", kSoundSend},

    {"SCREEN_VERSION", kScreenVersion},
    {"SCREEN_SET_MODE", kScreenSetMode},
    {"SCREEN_GET_MODE", kScreenGetMode},
    {"SCREEN_REFRESH", kScreenRefresh},
    {"SCREEN_PUT_CELL", kScreenPutCell},
    {"SCREEN_GET_CELL", kScreenGetCell},
    {"SCREEN_SET_PIXELS", kScreenSetPixels},
    {"SCREEN_GET_PIXELS", kScreenGetPixels},
    {"SCREEN_CELL_SIZE", kScreenCellSize},
    {"SCREEN_PIXEL_SCALE", kScreenPixelScale},
    {"SCREEN_CAPACITY", kScreenCapacity},
    {"MODE_NONE", kScreenNone},
    {"MODE_TEXT", kScreenText},
    {"MODE_GRAPHICS", kScreenGraphics},

    {"DISK_VERSION", kDiskVersion},
    {"DISK_COUNT", kDiskCount},
    {"DISK_STATE", kDiskState},
    {"DISK_SIZE", kDiskSize},
    {"DISK_SEEK", kDiskSeek},
    {"DISK_TELL", kDiskTell},
    {"DISK_WRITE", kDiskWrite},
    {"DISK_READ", kDiskRead},
    {"MEMORY_VERSION", kMemoryVersion},
    {"MEMORY_SIZE", kMemoryDataSize},

    {"EVENT_NONE", kEventNone},
    {"EVENT_SYSTEM", kEventSystem},
    {"EVENT_KEYBOARD", kEventKeyboard},
    {"EVENT_MOUSE", kEventMouse},
    {"EVENT_SCREEN", kEventScreen},
    {"EVENT_DISK", kEventDisk},
    {"KIND_ACTIVITY", kKindActivity},
    {"KIND_TIMER", kKindTimer},
    {"KIND_KEY", kKindKey},
    {"KIND_CHAR", kKindChar},
    {"KIND_MOUSE_MOVE", kKindMouseMove},
    {"KIND_MOUSE_BUTTON", kKindMouseButton},
    {"KIND_MOUSE_WHEEL", kKindMouseWheel},
    {"KIND_RESIZE", kKindResize},
    {"KIND_DISK_INSERTED", kKindDiskInserted},
    {"KIND_DISK_EJECTED", kKindDiskEjected},
    {"KEY_DOWN", static_cast<uint32_t>(EKeyDirection::Down)},
    {"KEY_UP", static_cast<uint32_t>(EKeyDirection::Up)},
    {"BUTTON_LEFT", static_cast<uint32_t>(EMouseButton::Left)},
    {"BUTTON_MIDDLE", static_cast<uint32_t>(EMouseButton::Middle)},
    {"BUTTON_RIGHT", static_cast<uint32_t>(EMouseButton::Right)},
    {"ACTION_DOWN", static_cast<uint32_t>(EMouseAction::Down)},
    {"ACTION_UP", static_cast<uint32_t>(EMouseAction::Up)},
    {"ACTION_DOUBLE_CLICK", static_cast<uint32_t>(EMouseAction::DoubleClick)},
};
