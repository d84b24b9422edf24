// The keyboard layout the X server uses now, for the key codes of the main block.
#pragma once

#include "host/qt/KeyMap.h"

#include <cstdint>

// The layout of the keyboard group that an X key event's state names (bits 13 and 14).
// `kOther` when the program does not run on an X server or the server does not say.
EKeyboardLayout CurrentX11Layout(uint32_t eventState);
