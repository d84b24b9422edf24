// One emulated computer: the container of its devices. Devices reach each other, above all
// the kernel for posting events, through it. Machine assembly (host/) fills and empties it.
#pragma once

#include <array>
#include <cstdint>

class CMouse;
class CKeyboard;
class CSound;
class CDiskSlot;
class CScreen;
class CKernel;
class CMemory;
class CPlatform;

inline constexpr int32_t kMaxDiskSlots = 64;

class CMachine {
public:
    CMouse* mouse = nullptr;
    CKeyboard* keyboard = nullptr;
    CSound* sound = nullptr; // null when MIDI is disabled or failed
    std::array<CDiskSlot*, kMaxDiskSlots> disks{};
    int32_t diskCount = 0;
    CScreen* screen = nullptr;
    CKernel* kernel = nullptr;
    CMemory* memory = nullptr;
};
