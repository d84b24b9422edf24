// System-call group 5: the screen services. Parameters and results travel in the register
// block; every operation is one of the screen device's.
#pragma once

#include "core/ServiceGroup.h"

class CScreen;

class CScreenServices : public CServiceGroup {
public:
    explicit CScreenServices(CScreen& screen) : screen(screen) {}
    bool Serve(CKernel& kernel, CMemory& memory, uint32_t function) override;

private:
    bool TransferPixels(CMemory& memory, bool toScreen);

    CScreen& screen;
};
