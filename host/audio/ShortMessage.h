// Unpacking of short MIDI messages as the machine packs them (status in bits 0-7, first
// data byte in bits 8-15, second in bits 16-23), with the checks every MIDI output makes:
// data bytes below 0x80, running status, no system-exclusive bytes.
#pragma once

#include <cstdint>

struct SShortMessage {
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    uint8_t length = 0; // bytes on the wire, status included: 1 to 3
};

class CShortMessageDecoder {
public:
    // False for a message no output can send: a data byte with its top bit set, running
    // status with none to repeat, or system-exclusive framing. A byte below 0x80 in the
    // status place repeats the previous channel status, the data bytes moving down a place.
    bool Decode(uint32_t packed, SShortMessage& message);
    // Forgets the running status (after a reset).
    void Reset() { runningStatus = 0; }

    // Number of data bytes that follow a status byte.
    static uint8_t DataBytes(uint8_t status);

private:
    uint8_t runningStatus = 0;
};
