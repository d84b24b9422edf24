// Read watchpoints: which watched bytes the instruction in hand reads. The fast path reads
// through host pointers and tells nobody, so while a read watchpoint is enabled the debugger
// runs instructions one at a time on the exact path, with this observer set on the memory
// for the instruction's duration only (the debugger's own reads between instructions, a
// condition or a view, are not the program's).
#pragma once

#include "core/Memory.h"

#include <cstdint>
#include <vector>

class CKernel;

class CReadWatch final : public CMemoryReadObserver {
public:
    void Clear();
    // Bytes [bytes, bytes + length) of the machine's memory, for the watchpoint `id`.
    void Add(const uint8_t* bytes, uint32_t length, int id);
    bool IsActive() const { return !ranges.empty(); }

    // Runs the instruction whose head is at ip on the exact path, as CKernel::StepAt runs it
    // on the fast path (same result), noting which ranges it read.
    uint64_t Step(CKernel& kernel, uint32_t ip);
    // Whether the last Step read a byte of any range, and of the watchpoint `id`.
    bool AnyRead() const { return anyRead; }
    bool WasRead(int id) const;

    void BytesRead(const uint8_t* bytes, uint32_t count) override;

private:
    struct SRange {
        uintptr_t begin;
        uintptr_t end;
        int id;
        bool read;
    };
    std::vector<SRange> ranges;
    bool anyRead = false;
};
