// The SYS instruction: dispatch on the group byte, and the kernel's own groups 1 (system)
// and 7 (memory). Device groups are served by the devices registered for them.
#include "core/Kernel.h"

#include "core/Platform.h"
#include "core/ServiceGroup.h"
#include "support/TextFunctions.h"

#include <bit>

namespace {
constexpr uint32_t kGroup = RegisterAddress(kParamGroup);
constexpr uint32_t kFunction = RegisterAddress(kParamFunction);
constexpr uint32_t kByte2 = RegisterAddress(kParamByte2);
constexpr uint32_t kByte3 = RegisterAddress(kParamByte3);
constexpr uint32_t kDword04 = RegisterAddress(kParamDword4);
constexpr uint32_t kDword08 = RegisterAddress(kParamDword8);
constexpr uint32_t kDword0C = RegisterAddress(kParamDword12);
constexpr uint32_t kDword10 = RegisterAddress(kParamDword16);
constexpr uint32_t kDword14 = RegisterAddress(kParamDword20);
} // namespace

bool CKernel::SystemCall() {
    uint8_t group = 0;
    uint8_t function = 0;
    bool ok =
        memory->ReadByte(kGroup, group, false) && memory->ReadByte(kFunction, function, false);
    if (ok) {
        if (group == kGroupSystem) {
            ok = SystemServices(function);
        } else if (group == kGroupMemory) {
            ok = MemoryServices(function);
        } else {
            // Groups 2 to 5 also need the machine; the disk group answers without one.
            CServiceGroup* service = group < serviceGroups.size() ? serviceGroups[group] : nullptr;
            if (service && (machine || group == kGroupDisk))
                ok = service->Serve(*this, *memory, function);
            else
                ok = memory->WriteByte(kGroup, 0);
        }
    }
    if (ok)
        return false;
    MemoryError();
    return true;
}

bool CKernel::SystemServices(uint32_t function) {
    switch (function) {
    case kSystemVersion:
        return memory->WriteDword(kDword04, GetVersion());
    case kSystemId:
        return memory->WriteDword(kDword04, 1);
    case kSystemHostVersion: {
        const SOSVersion v = platform.GetOSVersion();
        return memory->WriteDword(kDword08, v.major) && memory->WriteDword(kDword0C, v.minor) &&
               memory->WriteDword(kDword10, v.build) && memory->WriteDword(kDword14, v.platformId);
    }
    case kSystemInfo:
        return memory->WriteDword(kDword08, 1) && memory->WriteDword(kDword0C, 0);
    case kSystemBeep: {
        uint32_t frequency = 0;
        uint32_t duration = 0;
        if (!memory->ReadDword(kDword08, frequency, false) ||
            !memory->ReadDword(kDword0C, duration, false))
            return false;
        platform.Beep(frequency, duration);
        return true;
    }
    case kSystemMessage: {
        uint8_t length = 0;
        uint32_t address = 0;
        if (!memory->ReadByte(kByte2, length, false) ||
            !memory->ReadDword(kDword04, address, false))
            return false;
        std::string text(length, '\0');
        for (uint32_t i = 0; i < length; ++i) {
            uint8_t c;
            if (!memory->ReadByte(address + i, c, false))
                return false;
            text[i] = static_cast<char>(c);
        }
        pendingMessage = std::move(text);
        return true;
    }
    case kSystemStartTimer: {
        uint32_t id = 0;
        uint32_t interval = 0;
        if (!memory->ReadDword(kDword04, id, false) ||
            !memory->ReadDword(kDword08, interval, false))
            return false;
        return memory->WriteByte(kByte2, platform.StartTimer(id, interval) ? 1 : 0);
    }
    case kSystemStopTimer: {
        uint32_t id = 0;
        if (!memory->ReadDword(kDword04, id, false))
            return false;
        return memory->WriteByte(kByte2, platform.StopTimer(id) ? 1 : 0);
    }
    case kSystemTime:
        return memory->WriteDword(kDword04,
                                  std::bit_cast<uint32_t>(static_cast<float>(TimeSeconds())));
    case kSystemEventCount:
        return memory->WriteDword(kDword04, static_cast<uint32_t>(events.size()));
    case kSystemEventSpace:
        return memory->WriteDword(kDword04, kEventQueueCapacity);
    case kSystemCharacter:
        return CharacterServices();
    default:
        return memory->WriteByte(kFunction, 0);
    }
}

bool CKernel::CharacterServices() {
    uint8_t sub = 0;
    uint8_t c = 0;
    if (!memory->ReadByte(kByte2, sub, false) || !memory->ReadByte(kByte3, c, false))
        return false;
    uint8_t result;
    switch (sub) {
    case kCharUpper:
        result = qm::CharToUpper(c);
        break;
    case kCharLower:
        result = qm::CharToLower(c);
        break;
    case kCharIsAlnum:
        result = qm::IsCharAlphaNumeric(c) ? 1 : 0;
        break;
    case kCharIsAlpha:
        result = qm::IsCharAlpha(c) ? 1 : 0;
        break;
    case kCharIsSpace:
        result = (c == 9 || c == 10 || c == 13 || c == 32) ? 1 : 0;
        break;
    default:
        return memory->WriteByte(kFunction, 0);
    }
    return memory->WriteByte(kByte3, result);
}

bool CKernel::MemoryServices(uint32_t function) {
    switch (function) {
    case kMemoryVersion:
        return memory->WriteDword(kDword04, memory->GetVersion());
    case kMemoryDataSize:
        return memory->WriteDword(kDword04, static_cast<uint32_t>(memory->GetSize()));
    default:
        return memory->WriteByte(kFunction, 0);
    }
}

double CKernel::TimeSeconds() {
    if (!clockQueried) {
        clockQueried = true;
        if (!platform.GetPerformanceFrequency(counterFrequency))
            counterFrequency = 0;
    }
    if (counterFrequency != 0)
        return static_cast<double>(platform.GetPerformanceCounter()) /
               static_cast<double>(counterFrequency);
    return static_cast<double>(platform.GetTickCount()) * 0.001;
}
