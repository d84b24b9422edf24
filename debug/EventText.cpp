#include "debug/EventText.h"

#include "core/Memory.h"

#include <cstdio>
#include <cstring>

namespace {

// The record as the program would find it in the register block.
struct SRecord {
    uint8_t bytes[kRegisterBlockSize] = {};

    uint8_t Byte(uint32_t offset) const { return bytes[offset]; }
    uint32_t Dword(uint32_t offset) const {
        uint32_t value;
        std::memcpy(&value, bytes + offset, 4);
        return value;
    }
    int32_t Signed(uint32_t offset) const { return static_cast<int32_t>(Dword(offset)); }
};

const char* ButtonName(uint8_t button) {
    switch (static_cast<EMouseButton>(button)) {
    case EMouseButton::Left:
        return "left";
    case EMouseButton::Middle:
        return "middle";
    case EMouseButton::Right:
        return "right";
    }
    return "button ?";
}

const char* ActionName(uint8_t action) {
    switch (static_cast<EMouseAction>(action)) {
    case EMouseAction::Down:
        return "down";
    case EMouseAction::Up:
        return "up";
    case EMouseAction::DoubleClick:
        return "double click";
    }
    return "action ?";
}

std::string Format(const char* format, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

} // namespace

std::string DescribeEvent(const CEvent& event) {
    // The event writes its record into a register block of its own, as GETEVENT would.
    CMemory scratch;
    event.WriteRecord(scratch);
    SRecord r;
    std::memcpy(r.bytes, scratch.GetRegisters(), kRegisterBlockSize);
    const auto where = [&r] {
        return Format("at (%d, %d), flags 0x%04x", r.Signed(kParamDword8), r.Signed(kParamDword12),
                      r.Dword(kParamDword4));
    };
    const uint8_t group = event.GetGroup();
    const uint8_t kind = event.GetKind();
    switch (group << 8 | kind) {
    case kEventSystem << 8 | kKindActivity:
        return r.Byte(kParamByte2) ? "activity: the window runs on"
                                   : "activity: the window is held";
    case kEventSystem << 8 | kKindTimer:
        return Format("timer %u", r.Dword(kParamDword4));
    case kEventKeyboard << 8 | kKindKey:
        return Format("key %s, virtual key 0x%02x",
                      r.Byte(kParamByte2) == static_cast<uint8_t>(EKeyDirection::Up) ? "up"
                                                                                     : "down",
                      r.Dword(kParamDword4));
    case kEventKeyboard << 8 | kKindChar: {
        const uint32_t code = r.Dword(kParamDword4);
        return code >= 0x20 && code < 0x7F ? Format("character 0x%02x '%c'", code, code)
                                           : Format("character 0x%02x", code);
    }
    case kEventMouse << 8 | kKindMouseMove:
        return "mouse move " + where();
    case kEventMouse << 8 | kKindMouseButton:
        return Format("mouse %s %s ", ButtonName(r.Byte(kParamByte2)),
                      ActionName(r.Byte(kParamByte3))) +
               where();
    case kEventMouse << 8 | kKindMouseWheel: {
        float lines;
        const uint32_t bits = r.Dword(kParamDword16);
        std::memcpy(&lines, &bits, 4);
        return Format("mouse wheel %g lines ", static_cast<double>(lines)) + where();
    }
    case kEventScreen << 8 | kKindResize:
        return "screen: the window changed size";
    case kEventDisk << 8 | kKindDiskInserted:
        return Format("disk inserted in slot %u", r.Dword(kParamDword4));
    case kEventDisk << 8 | kKindDiskEjected:
        return Format("disk ejected from slot %u", r.Dword(kParamDword4));
    default:
        return Format("group %u, kind %u", group, kind);
    }
}
