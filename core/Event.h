// One queued input event and the record it writes into the register block when the
// program takes it. Every record writes the group to byte 0x7FFFFC00 and the kind to byte
// 0x7FFFFC01, then only the fields its kind carries; other register bytes keep their values.
#pragma once

#include <cstdint>

class CMemory;

class CEvent {
public:
    // Values in the host's terms; the records translate them (see the factory functions).
    static CEvent Activity(uint32_t flag);
    static CEvent Timer(uint32_t timerId);
    static CEvent Key(uint32_t up, uint32_t virtualKey);
    static CEvent Char(uint32_t code);
    static CEvent MouseMove(uint32_t flags, int32_t x, int32_t y);
    // button: 0 left, 1 right, 2 middle; action: 0 down, 1 up, 2 double click.
    static CEvent MouseButton(uint32_t button, uint32_t action, uint32_t flags, int32_t x,
                              int32_t y);
    static CEvent MouseWheel(uint32_t flags, int32_t x, int32_t y, float lines);
    static CEvent Screen();
    static CEvent DiskInserted(uint32_t slot);
    static CEvent DiskEjected(uint32_t slot);

    // Writes the record; the result of the last write.
    bool WriteRecord(CMemory& memory) const;

    uint8_t GetGroup() const { return group; }
    uint8_t GetKind() const { return kind; }

private:
    enum : uint8_t {
        kByte2 = 1,
        kByte3 = 2,
        kDword04 = 4,
        kDword08 = 8,
        kDword0C = 16,
        kDword10 = 32,
    };

    CEvent(uint8_t group, uint8_t kind) : group(group), kind(kind) {}

    uint8_t group;
    uint8_t kind;
    uint8_t fields = 0; // which of the payload fields the record writes
    uint8_t byte2 = 0;
    uint8_t byte3 = 0;
    uint32_t dwords[4] = {}; // at 0x7FFFFC04, 0x08, 0x0C, 0x10
};
