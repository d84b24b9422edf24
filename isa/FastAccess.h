// The interpreter's fast path: operand access for one instruction with IP held in a local.
//
// RunSlice keeps IP in a local variable while a slice runs and hands it to the fast form of
// each instruction (see FastHandler). The fast form reads its operand fields at a cursor
// that starts behind the head and touches memory through host pointers, with one bound test
// per value. The IP register in the register block is stale meanwhile, so the fast path
// covers only what cannot observe it: fields and values inside data memory, and register
// values below the IP register. The first access it does not cover (a field or value
// outside data memory, the bytes of IP, mode 0, a block, a system service) writes the
// cursor into the IP register and continues on the exact operations of CKernel, so every
// failure and every IP effect is the one the exact path gives; nothing is tried twice.
//
// The instruction handlers are written once, as templates over their kernel type: with
// CKernel they are the exact handlers of the dispatch table, with CFastAccess the fast
// forms. CFastAccess therefore offers the handler-facing operations of CKernel.
#pragma once

#include "core/Kernel.h"
#include "isa/ComposedWrites.h"
#include "isa/FastOperands.h"

#include <cstdint>
#include <cstring>

class CFastAccess : public TComposedWrites<CFastAccess> {
public:
    // ip: the instruction's head, already read.
    CFastAccess(CKernel& kernel, uint32_t ip)
        : kernel(kernel), view(kernel.GetFastView()), cursor(ip + 2), head(ip) {}

    // After the handler: the slice's next instruction, or the chain's result when the
    // instruction ends the slice.
    uint64_t Finish(bool ended, uint32_t budget) const {
        const uint32_t ip = fast ? cursor : kernel.GetIP();
        if (ended)
            return SliceResult(ip, true, budget);
        // The kernel's view, not this object's copy: its fields are read only now, after the
        // instruction's writes, instead of being held in host registers all through it.
        return ContinueSlice(kernel, kernel.GetFastView(), ip, budget);
    }

    // --- Registers ------------------------------------------------------------------------
    uint32_t GetIP() const { return fast ? cursor : kernel.GetIP(); }
    void SetIP(uint32_t ip) {
        if (fast)
            cursor = ip;
        else
            kernel.SetIP(ip);
    }
    // SP and BASE never change while operands are read, so they live where they always do.
    uint32_t GetBASE() const { return view.LoadRegister(kRegisterBASE); }
    uint32_t GetSP() const { return view.LoadRegister(kRegisterSP); }
    void SetSP(uint32_t sp) { std::memcpy(view.registers + kRegisterSP, &sp, 4); }

    // --- Operands -------------------------------------------------------------------------
    template <typename T>
    bool ReadOperand(T& value, uint32_t mode, bool advance = true) {
        if (fast) [[likely]] {
            uint32_t next;
            const uint8_t* p;
            if (LocateOperand(mode, sizeof(T), p, next)) [[likely]] {
                std::memcpy(&value, p, sizeof(T));
                if (advance)
                    cursor = next;
                return true;
            }
            Leave();
        }
        const SExact<T> read = ExactReadOperand<T>(kernel, mode, advance);
        value = read.value;
        return read.ok;
    }

    bool GetOperandAddress(uint32_t& address, uint32_t mode, uint32_t n) {
        if (fast) [[likely]] {
            uint32_t next;
            if (ResolveAddress(mode, n, address, next)) [[likely]] {
                cursor = next;
                return true;
            }
            Leave();
        }
        const SExact<uint32_t> resolved = ExactOperandAddress(kernel, mode, n);
        address = resolved.value;
        return resolved.ok;
    }

    // --- Single values at relative addresses ----------------------------------------------
    template <typename T>
    bool ReadMemory(uint32_t address, T& value) {
        if (fast) [[likely]] {
            uint8_t* p;
            if (view.Locate(address, sizeof(T), p)) [[likely]] {
                std::memcpy(&value, p, sizeof(T));
                return true;
            }
            Leave();
        }
        const SExact<T> read = ExactReadMemory<T>(kernel, address);
        value = read.value;
        return read.ok;
    }

    template <typename T>
    bool WriteMemory(uint32_t address, T value) {
        if (fast) [[likely]] {
            uint8_t* p;
            if (view.Locate(address, sizeof(T), p)) [[likely]] {
                std::memcpy(p, &value, sizeof(T));
                return true;
            }
            Leave();
        }
        return ExactWriteMemory<T>(kernel, address, value);
    }

    // --- Blocks ---------------------------------------------------------------------------
    const uint8_t* LocateOperandBlock(int32_t count, uint32_t mode, bool advance = true) {
        if (fast) [[likely]] {
            const uint8_t* p;
            uint32_t next;
            if (LocateOperandRange(mode, count, p, next)) [[likely]] {
                if (advance)
                    cursor = next;
                return p;
            }
            Leave();
        }
        return kernel.LocateOperandBlock(count, mode, advance);
    }
    uint8_t* LocateBlock(uint32_t address, int32_t count) {
        if (fast) [[likely]] {
            uint8_t* p;
            if (view.LocateRange(address, count, p)) [[likely]]
                return p;
            Leave();
        }
        return kernel.LocateBlock(address, count);
    }
    const uint8_t* GetRegisterBytes() const { return view.registers; }
    uint8_t* LocateContiguous(uint32_t address, int64_t count) {
        if (fast) [[likely]] {
            uint8_t* p;
            if (CKernel::IsContiguous(address, count) &&
                view.LocateRange(address, static_cast<int32_t>(count), p)) [[likely]]
                return p;
            Leave();
        }
        return kernel.LocateContiguous(address, count);
    }

    // --- Everything else runs on the exact path -------------------------------------------
    CMemory& GetMemory() {
        Leave();
        return kernel.GetMemory();
    }
    void Fail(const std::string& message) {
        Leave();
        kernel.Fail(message);
    }
    void MemoryError() {
        Leave();
        kernel.MemoryError();
    }
    bool HasEvents() const { return kernel.HasEvents(); }
    bool TakeEvent() {
        Leave();
        return kernel.TakeEvent();
    }
    bool SystemCall() {
        Leave();
        return kernel.SystemCall();
    }

private:
    template <typename T>
    struct SExact {
        T value;
        bool ok;
    };

    // The exact operations, out of line: they run only where the fast path ends, and they
    // take no pointer to this object, so its fields can stay in host registers.
    template <typename T>
    [[gnu::noinline, gnu::cold]] static SExact<T> ExactReadOperand(CKernel& kernel, uint32_t mode,
                                                                   bool advance) {
        SExact<T> read{};
        read.ok = kernel.ReadOperand(read.value, mode, advance);
        return read;
    }
    [[gnu::noinline, gnu::cold]] static SExact<uint32_t>
    ExactOperandAddress(CKernel& kernel, uint32_t mode, uint32_t n) {
        SExact<uint32_t> resolved{};
        resolved.ok = kernel.GetOperandAddress(resolved.value, mode, n);
        return resolved;
    }
    template <typename T>
    [[gnu::noinline, gnu::cold]] static SExact<T> ExactReadMemory(CKernel& kernel,
                                                                  uint32_t address) {
        SExact<T> read{};
        read.ok = kernel.ReadMemory(address, read.value);
        return read;
    }
    template <typename T>
    [[gnu::noinline, gnu::cold]] static bool ExactWriteMemory(CKernel& kernel, uint32_t address,
                                                              T value) {
        return kernel.WriteMemory(address, value);
    }

    // Hands over to the exact path: from here on the IP register is the truth. The kernel
    // notes the head, for a failure on the exact path to name its instruction.
    void Leave() {
        if (fast) {
            fast = false;
            kernel.SetIP(cursor);
            kernel.NoteHead(head);
        }
    }

    // The value of an operand of n bytes; `next` is the cursor behind its field.
    bool LocateOperand(uint32_t mode, uint32_t n, const uint8_t*& p, uint32_t& next) const {
        return cursor < view.size && LocateOperandValue(view, mode, cursor, n, p, next);
    }

    // A block operand of count bytes; `next` is the cursor behind its field.
    bool LocateOperandRange(uint32_t mode, int32_t count, const uint8_t*& p, uint32_t& next) const {
        const uint32_t ip = cursor;
        if (ip >= view.size || count < 1)
            return false;
        const uint8_t* field = view.data + ip;
        if (mode == kModeImmediate) {
            if (static_cast<uint32_t>(count) > view.size - ip)
                return false;
            next = ip + static_cast<uint32_t>(count);
            p = field;
            return true;
        }
        if (mode == kModeNone)
            return false;
        uint32_t address;
        if (!view.FieldAddress(mode, field, address))
            return false;
        uint8_t* bytes;
        next = ip + 4;
        if (!view.LocateRange(address, count, bytes))
            return false;
        p = bytes;
        return true;
    }

    // A destination's relative address, as GetOperandAddress resolves it.
    bool ResolveAddress(uint32_t mode, uint32_t n, uint32_t& address, uint32_t& next) const {
        if (mode != kModeImmediate && cursor >= view.size)
            return false;
        return ResolveOperandAddress(view, mode, cursor, n, address, next);
    }

    CKernel& kernel;
    const SFastView view;
    uint32_t cursor; // IP while on the fast path
    const uint32_t head;
    bool fast = true;
};
