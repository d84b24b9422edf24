// Operand access for the instruction forms that are specialised for their addressing modes
// (see SFastForm::byModes): the modes are constants, so each operand is a fixed sequence of
// loads with one bound test per value, and the form calls nothing.
//
// It covers what CFastAccess covers on its fast path. Where it does not, it does not fall
// over to the exact path in the middle of the instruction; it gives up, and the form runs
// the instruction again from its head on CFastAccess. That is exact only for a handler
// body whose every access that can give up comes before its first effect (a memory write,
// SP or IP): it reads its operands and then writes its result. Only such bodies get these
// forms, and this class offers nothing else (no block, no event, no message, no service),
// so a body that needs more does not compile with it.
#pragma once

#include "core/Kernel.h"

#include <cstdint>
#include <cstring>

class CSpecialisedAccess {
public:
    // ip: the instruction's head, already read.
    CSpecialisedAccess(CKernel& kernel, uint32_t ip) : view(kernel.GetFastView()), cursor(ip + 2) {}

    // True when an access gave up: the instruction must run again on CFastAccess.
    bool GaveUp() const { return gaveUp; }
    // The next IP for the slice loop (the slice never ends here).
    uint64_t Finish() const { return cursor; }

    uint32_t GetIP() const { return cursor; }
    void SetIP(uint32_t ip) { cursor = ip; }
    uint32_t GetBASE() const { return LoadRegister(kRegisterBASE); }
    uint32_t GetSP() const { return LoadRegister(kRegisterSP); }
    void SetSP(uint32_t sp) { std::memcpy(view.registers + kRegisterSP, &sp, 4); }

    template <typename T>
    bool ReadOperand(T& value, uint32_t mode, bool advance = true) {
        const uint8_t* p;
        uint32_t next;
        if (!LocateOperand(mode, sizeof(T), p, next))
            return GiveUp();
        std::memcpy(&value, p, sizeof(T));
        if (advance)
            cursor = next;
        return true;
    }

    bool GetOperandAddress(uint32_t& address, uint32_t mode, uint32_t n) {
        const uint32_t ip = cursor;
        if (mode == kModeImmediate) {
            address = ip - GetBASE(); // a write then lands on the immediate field itself
            cursor = ip + n;
            return true;
        }
        if (ip >= view.size)
            return GiveUp();
        std::memcpy(&address, view.data + ip, 4);
        if (mode == kModeIndirect) {
            uint8_t* pointer;
            if (!Locate(address, 4, pointer))
                return GiveUp();
            std::memcpy(&address, pointer, 4);
        }
        cursor = ip + 4;
        return true;
    }

    template <typename T>
    bool WriteOperand(T value, uint32_t mode) {
        uint32_t address;
        return GetOperandAddress(address, mode, sizeof(T)) && WriteMemory(address, value);
    }

    template <typename T>
    bool ReadMemory(uint32_t address, T& value) {
        uint8_t* p;
        if (!Locate(address, sizeof(T), p))
            return GiveUp();
        std::memcpy(&value, p, sizeof(T));
        return true;
    }

    template <typename T>
    bool WriteMemory(uint32_t address, T value) {
        uint8_t* p;
        if (!Locate(address, sizeof(T), p))
            return GiveUp();
        std::memcpy(p, &value, sizeof(T));
        return true;
    }

    // After an access gave up: the instruction's result does not matter.
    void MemoryError() {}

private:
    bool GiveUp() {
        gaveUp = true;
        return false;
    }

    uint32_t LoadRegister(uint32_t offset) const {
        uint32_t value;
        std::memcpy(&value, view.registers + offset, 4);
        return value;
    }

    // As CFastAccess::Locate.
    bool Locate(uint32_t address, uint32_t n, uint8_t*& p) const {
        if (static_cast<int32_t>(address) >= static_cast<int32_t>(kRegisterBlockAddress)) {
            const uint32_t offset = address - kRegisterBlockAddress;
            if (offset + n > kRegisterIP)
                return false;
            p = view.registers + offset;
            return true;
        }
        const uint32_t effective = address + GetBASE();
        if (effective >= view.size)
            return false;
        p = view.data + effective;
        return true;
    }

    bool LocateOperand(uint32_t mode, uint32_t n, const uint8_t*& p, uint32_t& next) const {
        const uint32_t ip = cursor;
        if (mode == kModeNone || ip >= view.size)
            return false;
        const uint8_t* field = view.data + ip;
        if (mode == kModeImmediate) {
            next = ip + n;
            p = field;
            return true;
        }
        uint32_t address;
        std::memcpy(&address, field, 4);
        uint8_t* value;
        if (mode == kModeIndirect) {
            if (!Locate(address, 4, value))
                return false;
            std::memcpy(&address, value, 4);
        }
        next = ip + 4;
        if (!Locate(address, n, value))
            return false;
        p = value;
        return true;
    }

    const SFastView view;
    uint32_t cursor;
    bool gaveUp = false;
};
