// The common base of every device of the machine.
#pragma once

#include <cstdint>
#include <string>

namespace qm {
class CINIFile;
}

class CMachine;

class CDevice {
public:
    CDevice() = default;
    CDevice(const CDevice&) = delete;
    CDevice& operator=(const CDevice&) = delete;

    // Reads the device's settings and command-line options. False means the device is
    // unusable; it has put its reasons on the error stack.
    virtual bool Init(const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings,
                      const std::string& commandLine) = 0;
    virtual ~CDevice() = default;
    // Writes what the device remembers into a fresh user settings document.
    virtual void SaveSettings(qm::CINIFile& userSettings) { (void)userSettings; }
    virtual uint32_t GetVersion() const { return 0x01000000; }

    CMachine* GetMachine() const { return machine; }
    void SetMachine(CMachine* owner) { machine = owner; }

protected:
    CMachine* machine = nullptr;
};
