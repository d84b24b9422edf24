// One queued input event and the record it writes into the register block when the
// program takes it. Every record writes the group to byte 0x7FFFFC00 and the kind to byte
// 0x7FFFFC01, then only the fields its kind carries; other register bytes keep their values.
#pragma once

#include "abi/Events.h"

#include <cstdint>

class CMemory;

class CEvent {
public:
    // Values in the host's terms; the records translate them (see the factory functions).
    static CEvent Activity(EActivity activity);
    static CEvent Timer(uint32_t timerId);
    static CEvent Key(uint32_t up, uint32_t virtualKey);
    static CEvent Char(uint32_t code);
    static CEvent MouseMove(uint32_t flags, int32_t x, int32_t y);
    static CEvent MouseButton(EMouseButton button, EMouseAction action, uint32_t flags, int32_t x,
                              int32_t y);
    static CEvent MouseWheel(uint32_t flags, int32_t x, int32_t y, float lines);
    static CEvent Screen();
    static CEvent DiskInserted(uint32_t slot);
    static CEvent DiskEjected(uint32_t slot);

    // Writes the record; the result of the last write.
    bool WriteRecord(CMemory& memory) const;

    uint8_t GetGroup() const { return values.group; }
    uint8_t GetKind() const { return values.kind; }

    // The event as plain values and back, for saved machine states and recordings.
    struct SFields {
        uint8_t group = 0;
        uint8_t kind = 0;
        uint8_t fields = 0;
        uint8_t byte2 = 0;
        uint8_t byte3 = 0;
        uint32_t dwords[4] = {}; // r4, r8, r12, r16

        bool operator==(const SFields&) const = default;
    };
    const SFields& GetFields() const { return values; }
    // False for a field mask that names fields no record has.
    static bool FromFields(const SFields& values, CEvent& event);
    bool operator==(const CEvent& other) const { return values == other.values; }

private:
    // Which payload fields a record writes.
    enum : uint8_t {
        kHasByte2 = 1,
        kHasByte3 = 2,
        kHasDword4 = 4,
        kHasDword8 = 8,
        kHasDword12 = 16,
        kHasDword16 = 32,
    };

    CEvent(uint8_t group, uint8_t kind) : values{.group = group, .kind = kind} {}

    // `fields` says which of the payload fields the record writes.
    SFields values;
};
