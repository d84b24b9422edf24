// System-call group 6: the machine's programs count the disk slots, look at a slot, and
// position, read and write bytes of a disk's data area. Parameters and results travel
// through the general registers; every transfer goes through the slot's own checks.
#pragma once

#include "core/ServiceGroup.h"

class CDiskSlot;

class CDiskServices : public CServiceGroup {
public:
    bool Serve(CKernel& kernel, CMemory& memory, uint32_t function) override;

private:
    // Functions 3 to 8 on a valid slot: sets `result` (the byte at 0x7FFFFC02); false when
    // a register access failed, in which case the result is not written.
    static bool ServeSlot(CMemory& memory, CDiskSlot& disk, uint32_t function, bool& result);
};
