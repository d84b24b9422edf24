// Operand fields decoded on the fast path's view, shared by the two fast access classes
// (CFastAccess, CSpecialisedAccess). Neither function tests the field against the bound of
// data memory: the callers know whether it lies there.
#pragma once

#include "core/Kernel.h"

#include <cstdint>

// The value of an operand of n bytes whose field starts at `ip`; `next` is the cursor
// behind the field.
inline bool LocateOperandValue(const SFastView& view, uint32_t mode, uint32_t ip, uint32_t n,
                               const uint8_t*& p, uint32_t& next) {
    const uint8_t* field = view.data + ip;
    if (mode == kModeImmediate) {
        next = ip + n;
        p = field;
        return true;
    }
    if (mode == kModeNone)
        return false;
    uint32_t address;
    if (!view.FieldAddress(mode, field, address))
        return false;
    uint8_t* value;
    next = ip + 4;
    if (!view.Locate(address, n, value))
        return false;
    p = value;
    return true;
}

// A destination's relative address, as the exact path resolves it, for an operand field at
// `ip`; `next` as above.
inline bool ResolveOperandAddress(const SFastView& view, uint32_t mode, uint32_t ip, uint32_t n,
                                  uint32_t& address, uint32_t& next) {
    if (mode == kModeImmediate) {
        address = ip - view.LoadRegister(kRegisterBASE); // a write lands on the field itself
        next = ip + n;
        return true;
    }
    if (mode == kModeNone || !view.FieldAddress(mode, view.data + ip, address))
        return false;
    next = ip + 4;
    return true;
}
