#include "core/Event.h"

#include "core/Memory.h"

#include <bit>

CEvent CEvent::Activity(EActivity activity) {
    CEvent e(kEventSystem, kKindActivity);
    e.values.fields = kHasByte2;
    e.values.byte2 = static_cast<uint8_t>(activity);
    return e;
}

CEvent CEvent::Timer(uint32_t timerId) {
    CEvent e(kEventSystem, kKindTimer);
    e.values.fields = kHasDword4;
    e.values.dwords[0] = timerId;
    return e;
}

CEvent CEvent::Key(uint32_t up, uint32_t virtualKey) {
    CEvent e(kEventKeyboard, kKindKey);
    e.values.fields = kHasByte2 | kHasDword4;
    e.values.byte2 = static_cast<uint8_t>(up == 0 ? EKeyDirection::Down : EKeyDirection::Up);
    e.values.dwords[0] = virtualKey;
    return e;
}

CEvent CEvent::Char(uint32_t code) {
    CEvent e(kEventKeyboard, kKindChar);
    e.values.fields = kHasDword4;
    e.values.dwords[0] = code;
    return e;
}

CEvent CEvent::MouseMove(uint32_t flags, int32_t x, int32_t y) {
    CEvent e(kEventMouse, kKindMouseMove);
    e.values.fields = kHasDword4 | kHasDword8 | kHasDword12;
    e.values.dwords[0] = flags;
    e.values.dwords[1] = static_cast<uint32_t>(x);
    e.values.dwords[2] = static_cast<uint32_t>(y);
    return e;
}

CEvent CEvent::MouseButton(EMouseButton button, EMouseAction action, uint32_t flags, int32_t x,
                           int32_t y) {
    CEvent e = MouseMove(flags, x, y);
    e.values.kind = kKindMouseButton;
    e.values.fields |= kHasByte2 | kHasByte3;
    e.values.byte2 = static_cast<uint8_t>(button);
    e.values.byte3 = static_cast<uint8_t>(action);
    return e;
}

CEvent CEvent::MouseWheel(uint32_t flags, int32_t x, int32_t y, float lines) {
    CEvent e = MouseMove(flags, x, y);
    e.values.kind = kKindMouseWheel;
    e.values.fields |= kHasDword16;
    e.values.dwords[3] = std::bit_cast<uint32_t>(lines);
    return e;
}

CEvent CEvent::Screen() {
    return CEvent(kEventScreen, kKindResize);
}

CEvent CEvent::DiskInserted(uint32_t slot) {
    CEvent e(kEventDisk, kKindDiskInserted);
    e.values.fields = kHasDword4;
    e.values.dwords[0] = slot;
    return e;
}

CEvent CEvent::DiskEjected(uint32_t slot) {
    CEvent e = DiskInserted(slot);
    e.values.kind = kKindDiskEjected;
    return e;
}

bool CEvent::WriteRecord(CMemory& memory) const {
    const SFields& v = values;
    bool ok = memory.WriteByte(RegisterAddress(kParamGroup), v.group);
    ok = memory.WriteByte(RegisterAddress(kParamFunction), v.kind);
    if (v.fields & kHasByte2)
        ok = memory.WriteByte(RegisterAddress(kParamByte2), v.byte2);
    if (v.fields & kHasByte3)
        ok = memory.WriteByte(RegisterAddress(kParamByte3), v.byte3);
    for (uint32_t i = 0; i < 4; ++i) {
        if (v.fields & (kHasDword4 << i))
            ok = memory.WriteDword(RegisterAddress(kParamDword4 + 4 * i), v.dwords[i]);
    }
    return ok;
}

bool CEvent::FromFields(const SFields& values, CEvent& event) {
    constexpr uint8_t kAllFields =
        kHasByte2 | kHasByte3 | kHasDword4 | kHasDword8 | kHasDword12 | kHasDword16;
    if ((values.fields & ~kAllFields) != 0)
        return false;
    event.values = values;
    return true;
}
