// System-call group 2: the keyboard's version and the state of a key, as of the messages
// handled so far or at this moment.
#pragma once

#include "core/ServiceGroup.h"

class CKeyboard;

class CKeyboardServices : public CServiceGroup {
public:
    explicit CKeyboardServices(const CKeyboard& keyboard) : keyboard(keyboard) {}
    bool Serve(CKernel& kernel, CMemory& memory, uint32_t function) override;

private:
    const CKeyboard& keyboard;
};
