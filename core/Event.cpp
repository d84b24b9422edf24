#include "core/Event.h"

#include "core/Memory.h"

#include <bit>

CEvent CEvent::Activity(uint32_t flag) {
    CEvent e(1, 1);
    e.fields = kByte2;
    e.byte2 = flag != 0 ? 1 : 0;
    return e;
}

CEvent CEvent::Timer(uint32_t timerId) {
    CEvent e(1, 2);
    e.fields = kDword04;
    e.dwords[0] = timerId;
    return e;
}

CEvent CEvent::Key(uint32_t up, uint32_t virtualKey) {
    CEvent e(2, 1);
    e.fields = kByte2 | kDword04;
    e.byte2 = up == 0 ? 1 : 2;
    e.dwords[0] = virtualKey;
    return e;
}

CEvent CEvent::Char(uint32_t code) {
    CEvent e(2, 2);
    e.fields = kDword04;
    e.dwords[0] = code;
    return e;
}

CEvent CEvent::MouseMove(uint32_t flags, int32_t x, int32_t y) {
    CEvent e(3, 1);
    e.fields = kDword04 | kDword08 | kDword0C;
    e.dwords[0] = flags;
    e.dwords[1] = static_cast<uint32_t>(x);
    e.dwords[2] = static_cast<uint32_t>(y);
    return e;
}

CEvent CEvent::MouseButton(uint32_t button, uint32_t action, uint32_t flags, int32_t x, int32_t y) {
    // The record numbers buttons left 1, middle 2, right 3 and actions from 1.
    static constexpr uint8_t kButtonNumbers[3] = {1, 3, 2};
    CEvent e = MouseMove(flags, x, y);
    e.kind = 2;
    e.fields |= kByte2 | kByte3;
    e.byte2 = button < 3 ? kButtonNumbers[button] : static_cast<uint8_t>(button + 1);
    e.byte3 = static_cast<uint8_t>(action + 1);
    return e;
}

CEvent CEvent::MouseWheel(uint32_t flags, int32_t x, int32_t y, float lines) {
    CEvent e = MouseMove(flags, x, y);
    e.kind = 3;
    e.fields |= kDword10;
    e.dwords[3] = std::bit_cast<uint32_t>(lines);
    return e;
}

CEvent CEvent::Screen() {
    return CEvent(5, 1);
}

CEvent CEvent::DiskInserted(uint32_t slot) {
    CEvent e(6, 1);
    e.fields = kDword04;
    e.dwords[0] = slot;
    return e;
}

CEvent CEvent::DiskEjected(uint32_t slot) {
    CEvent e = DiskInserted(slot);
    e.kind = 2;
    return e;
}

bool CEvent::WriteRecord(CMemory& memory) const {
    bool ok = memory.WriteByte(kRegisterBlockAddress, group);
    ok = memory.WriteByte(kRegisterBlockAddress + 1, kind);
    if (fields & kByte2)
        ok = memory.WriteByte(kRegisterBlockAddress + 2, byte2);
    if (fields & kByte3)
        ok = memory.WriteByte(kRegisterBlockAddress + 3, byte3);
    for (int i = 0; i < 4; ++i) {
        if (fields & (kDword04 << i))
            ok = memory.WriteDword(kRegisterBlockAddress + 4 + 4 * static_cast<uint32_t>(i),
                                   dwords[i]);
    }
    return ok;
}
