// The keyboard: forwards the window's key and character messages to the running program as
// events, and answers group 2 for the key state.
#pragma once

#include "core/Device.h"
#include "devices/KeyboardServices.h"

#include <cstdint>

class CKeyboard : public CDevice {
public:
    bool Init(const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings,
              const std::string& commandLine) override;

    // up: 0 pressed, 1 released; the key as a virtual-key code.
    void Key(uint32_t up, uint32_t virtualKey);
    // A character in the machine's code page.
    void Character(uint32_t code);

    CServiceGroup& GetServiceGroup() { return services; }

private:
    CKeyboardServices services{*this};
};
