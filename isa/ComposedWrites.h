// The writes that an access class composes from its own locating operations, written once for
// the two fast access classes: Access provides GetOperandAddress, WriteMemory and LocateBlock.
#pragma once

#include <cstdint>
#include <cstring>

template <typename Access>
class TComposedWrites {
public:
    template <typename T>
    bool WriteOperand(T value, uint32_t mode) {
        uint32_t address;
        return Self().GetOperandAddress(address, mode, sizeof(T)) &&
               Self().WriteMemory(address, value);
    }
    bool WriteBlock(uint32_t address, const uint8_t* bytes, int32_t count) {
        uint8_t* p = Self().LocateBlock(address, count);
        if (!p)
            return false;
        std::memmove(p, bytes, static_cast<size_t>(count));
        return true;
    }
    bool ClearBlock(uint32_t address, int32_t count) {
        uint8_t* p = Self().LocateBlock(address, count);
        if (!p)
            return false;
        std::memset(p, 0, static_cast<size_t>(count));
        return true;
    }

private:
    Access& Self() { return static_cast<Access&>(*this); }
};
