// Operand access for the instruction forms that are specialised for their addressing modes
// (see SFastForm::byShape): the modes are constants, so each operand is a fixed sequence of
// loads with one bound test per value, and the form calls nothing.
//
// Forms run only where the longest instruction lies wholly in data memory (the chain and the
// slice loop reach the head table only below SFastView::instructionLimit), so their fields
// need no bound test (an immediate block is tested, and what follows it). Otherwise a form
// covers what CFastAccess covers on its fast path. Where it does not, it does not fall
// over to the exact path in the middle of the instruction; it gives up, and the form runs
// the instruction again from its head on CFastAccess. That is exact only for a handler
// body whose every access that can give up comes before its first effect (a memory write,
// SP or IP): it reads its operands and then writes its result. Only such bodies get these
// forms, and this class offers nothing else (no event, no message, no service), so a body
// that needs more does not compile with it. Every effect after a give-up is dropped, so a
// body that loops over single writes (FILL where its range is not contiguous) gives up
// before its first one.
#pragma once

#include "core/Kernel.h"
#include "isa/ComposedWrites.h"
#include "isa/FastOperands.h"

#include <cstdint>
#include <cstring>

class CSpecialisedAccess : public TComposedWrites<CSpecialisedAccess> {
public:
    // ip: the instruction's head, already read.
    CSpecialisedAccess(CKernel& kernel, uint32_t ip) : view(kernel.GetFastView()), cursor(ip + 2) {}

    // True when an access gave up: the instruction must run again on CFastAccess.
    bool GaveUp() const { return gaveUp; }
    // After the handler: the slice's next instruction, or the chain's result when the
    // instruction ends the slice.
    uint64_t Finish(CKernel& kernel, bool ended, uint32_t budget) const {
        if (ended)
            return SliceResult(cursor, true, budget);
        // See CFastAccess::Finish.
        return ContinueSlice(kernel, kernel.GetFastView(), cursor, budget);
    }

    uint32_t GetIP() const { return cursor; }
    void SetIP(uint32_t ip) { cursor = ip; }
    uint32_t GetBASE() const { return view.LoadRegister(kRegisterBASE); }
    uint32_t GetSP() const { return view.LoadRegister(kRegisterSP); }
    void SetSP(uint32_t sp) {
        if (!gaveUp)
            std::memcpy(view.registers + kRegisterSP, &sp, 4);
    }

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
        uint32_t next;
        if (!ResolveOperandAddress(view, mode, cursor, n, address, next))
            return GiveUp();
        cursor = next;
        return true;
    }

    template <typename T>
    bool ReadMemory(uint32_t address, T& value) {
        uint8_t* p;
        if (!view.Locate(address, sizeof(T), p))
            return GiveUp();
        std::memcpy(&value, p, sizeof(T));
        return true;
    }

    template <typename T>
    bool WriteMemory(uint32_t address, T value) {
        uint8_t* p;
        if (gaveUp || !view.Locate(address, sizeof(T), p))
            return GiveUp();
        std::memcpy(p, &value, sizeof(T));
        return true;
    }

    // --- Blocks (see CFastAccess) ---------------------------------------------------------
    const uint8_t* LocateOperandBlock(int32_t count, uint32_t mode, bool advance = true) {
        const uint32_t ip = cursor;
        if (count < 1)
            return GiveUpBlock();
        if (mode == kModeImmediate) {
            // The block and the fields behind it must lie in data memory as well.
            const uint32_t next = ip + static_cast<uint32_t>(count);
            if (static_cast<uint32_t>(count) >= view.instructionLimit - ip)
                return GiveUpBlock();
            if (advance)
                cursor = next;
            return view.data + ip;
        }
        if (mode == kModeNone)
            return GiveUpBlock();
        uint32_t address;
        if (!view.FieldAddress(mode, view.data + ip, address))
            return GiveUpBlock();
        uint8_t* p;
        if (!view.LocateRange(address, count, p))
            return GiveUpBlock();
        if (advance)
            cursor = ip + 4;
        return p;
    }
    uint8_t* LocateBlock(uint32_t address, int32_t count) {
        uint8_t* p;
        if (gaveUp || !view.LocateRange(address, count, p))
            return GiveUpBlock();
        return p;
    }
    uint8_t* LocateContiguous(uint32_t address, int64_t count) {
        if (!CKernel::IsContiguous(address, count))
            return GiveUpBlock();
        return LocateBlock(address, static_cast<int32_t>(count));
    }
    const uint8_t* GetRegisterBytes() const { return view.registers; }

    // After an access gave up: the instruction's result does not matter.
    void MemoryError() {}

private:
    bool GiveUp() {
        gaveUp = true;
        return false;
    }
    uint8_t* GiveUpBlock() {
        gaveUp = true;
        return nullptr;
    }

    bool LocateOperand(uint32_t mode, uint32_t n, const uint8_t*& p, uint32_t& next) const {
        return LocateOperandValue(view, mode, cursor, n, p, next);
    }

    // The kernel's own view rather than a copy: a field is then read where it is used, and a
    // form that names only registers never holds the memory's size in a host register.
    const SFastView& view;
    uint32_t cursor;
    bool gaveUp = false;
};
