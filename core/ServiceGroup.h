// A system-call group served by a device (keyboard 2, mouse 3, sound 4, screen 5, disks 6).
// The kernel serves groups 1 and 7 itself and hands the others to the group registered
// for that number; machine assembly registers the devices it built.
#pragma once

#include <cstdint>

class CKernel;
class CMemory;

class CServiceGroup {
public:
    virtual ~CServiceGroup() = default;
    // Serves one call. False when a register or memory access failed ("Memory error").
    virtual bool Serve(CKernel& kernel, CMemory& memory, uint32_t function) = 0;
};
