#include "devices/Keyboard.h"

#include "core/Kernel.h"
#include "core/Machine.h"

bool CKeyboard::Init(const qm::CINIFile&, const qm::CINIFile&, const std::string&) {
    return true;
}

void CKeyboard::Key(uint32_t up, uint32_t virtualKey) {
    if (machine && machine->kernel)
        machine->kernel->PostKeyEvent(up, virtualKey);
}

void CKeyboard::Character(uint32_t code) {
    if (machine && machine->kernel)
        machine->kernel->PostCharEvent(code);
}
