#include "host/audio/ShortMessage.h"

namespace {
constexpr uint8_t kSysExStart = 0xF0;
constexpr uint8_t kSysExEnd = 0xF7;
constexpr uint8_t kFirstRealTime = 0xF8;
} // namespace

uint8_t CShortMessageDecoder::DataBytes(uint8_t status) {
    switch (status & 0xF0) {
    case 0xC0: // program change
    case 0xD0: // channel pressure
        return 1;
    case 0xF0:
        break;
    default:
        return 2;
    }
    switch (status) {
    case 0xF1: // time code quarter frame
    case 0xF3: // song select
        return 1;
    case 0xF2: // song position
        return 2;
    default:
        return 0;
    }
}

bool CShortMessageDecoder::Decode(uint32_t packed, SShortMessage& message) {
    uint8_t status = packed & 0xFF;
    uint8_t data1 = (packed >> 8) & 0xFF;
    uint8_t data2 = (packed >> 16) & 0xFF;
    if (status < 0x80) {
        if (runningStatus == 0)
            return false;
        data2 = data1;
        data1 = status;
        status = runningStatus;
    }
    if (status == kSysExStart || status == kSysExEnd) {
        runningStatus = 0;
        return false;
    }
    const uint8_t count = DataBytes(status);
    if ((count >= 1 && data1 >= 0x80) || (count == 2 && data2 >= 0x80))
        return false;
    if (status < 0xF0)
        runningStatus = status;
    else if (status < kFirstRealTime)
        runningStatus = 0; // system common messages end running status; real-time ones do not
    message.status = status;
    message.data1 = count >= 1 ? data1 : 0;
    message.data2 = count == 2 ? data2 : 0;
    message.length = static_cast<uint8_t>(1 + count);
    return true;
}
