#include "core/Event.h"

#include "core/Memory.h"

#include <bit>
#include <cstring>

CEvent CEvent::Activity(EActivity activity) {
    CEvent e(kEventSystem, kKindActivity);
    e.fields = kHasByte2;
    e.byte2 = static_cast<uint8_t>(activity);
    return e;
}

CEvent CEvent::Timer(uint32_t timerId) {
    CEvent e(kEventSystem, kKindTimer);
    e.fields = kHasDword4;
    e.dwords[0] = timerId;
    return e;
}

CEvent CEvent::Key(uint32_t up, uint32_t virtualKey) {
    CEvent e(kEventKeyboard, kKindKey);
    e.fields = kHasByte2 | kHasDword4;
    e.byte2 = static_cast<uint8_t>(up == 0 ? EKeyDirection::Down : EKeyDirection::Up);
    e.dwords[0] = virtualKey;
    return e;
}

CEvent CEvent::Char(uint32_t code) {
    CEvent e(kEventKeyboard, kKindChar);
    e.fields = kHasDword4;
    e.dwords[0] = code;
    return e;
}

CEvent CEvent::MouseMove(uint32_t flags, int32_t x, int32_t y) {
    CEvent e(kEventMouse, kKindMouseMove);
    e.fields = kHasDword4 | kHasDword8 | kHasDword12;
    e.dwords[0] = flags;
    e.dwords[1] = static_cast<uint32_t>(x);
    e.dwords[2] = static_cast<uint32_t>(y);
    return e;
}

CEvent CEvent::MouseButton(EMouseButton button, EMouseAction action, uint32_t flags, int32_t x,
                           int32_t y) {
    CEvent e = MouseMove(flags, x, y);
    e.kind = kKindMouseButton;
    e.fields |= kHasByte2 | kHasByte3;
    e.byte2 = static_cast<uint8_t>(button);
    e.byte3 = static_cast<uint8_t>(action);
    return e;
}

CEvent CEvent::MouseWheel(uint32_t flags, int32_t x, int32_t y, float lines) {
    CEvent e = MouseMove(flags, x, y);
    e.kind = kKindMouseWheel;
    e.fields |= kHasDword16;
    e.dwords[3] = std::bit_cast<uint32_t>(lines);
    return e;
}

CEvent CEvent::Screen() {
    return CEvent(kEventScreen, kKindResize);
}

CEvent CEvent::DiskInserted(uint32_t slot) {
    CEvent e(kEventDisk, kKindDiskInserted);
    e.fields = kHasDword4;
    e.dwords[0] = slot;
    return e;
}

CEvent CEvent::DiskEjected(uint32_t slot) {
    CEvent e = DiskInserted(slot);
    e.kind = kKindDiskEjected;
    return e;
}

bool CEvent::WriteRecord(CMemory& memory) const {
    bool ok = memory.WriteByte(RegisterAddress(kParamGroup), group);
    ok = memory.WriteByte(RegisterAddress(kParamFunction), kind);
    if (fields & kHasByte2)
        ok = memory.WriteByte(RegisterAddress(kParamByte2), byte2);
    if (fields & kHasByte3)
        ok = memory.WriteByte(RegisterAddress(kParamByte3), byte3);
    for (uint32_t i = 0; i < 4; ++i) {
        if (fields & (kHasDword4 << i))
            ok = memory.WriteDword(RegisterAddress(kParamDword4 + 4 * i), dwords[i]);
    }
    return ok;
}

CEvent::SFields CEvent::GetFields() const {
    SFields values;
    values.group = group;
    values.kind = kind;
    values.fields = fields;
    values.byte2 = byte2;
    values.byte3 = byte3;
    std::memcpy(values.dwords, dwords, sizeof dwords);
    return values;
}

bool CEvent::FromFields(const SFields& values, CEvent& event) {
    constexpr uint8_t kAllFields =
        kHasByte2 | kHasByte3 | kHasDword4 | kHasDword8 | kHasDword12 | kHasDword16;
    if ((values.fields & ~kAllFields) != 0)
        return false;
    event = CEvent(values.group, values.kind);
    event.fields = values.fields;
    event.byte2 = values.byte2;
    event.byte3 = values.byte3;
    std::memcpy(event.dwords, values.dwords, sizeof event.dwords);
    return true;
}

bool CEvent::operator==(const CEvent& other) const {
    return group == other.group && kind == other.kind && fields == other.fields &&
           byte2 == other.byte2 && byte3 == other.byte3 &&
           std::memcmp(dwords, other.dwords, sizeof dwords) == 0;
}
