// System-call group 3: the mouse's version, the state of a button and the last position.
#pragma once

#include "core/ServiceGroup.h"

class CMouse;

class CMouseServices : public CServiceGroup {
public:
    explicit CMouseServices(const CMouse& mouse) : mouse(mouse) {}
    bool Serve(CKernel& kernel, CMemory& memory, uint32_t function) override;

private:
    const CMouse& mouse;
};
