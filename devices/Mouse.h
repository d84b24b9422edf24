// The mouse: forwards moves, buttons and the wheel to the running program as events, keeps
// the last position it forwarded, and answers group 3.
#pragma once

#include "abi/Events.h"
#include "core/Device.h"
#include "devices/MouseServices.h"

#include <cstdint>

class CPlatform;

class CMouse : public CDevice {
public:
    explicit CMouse(CPlatform& platform) : platform(platform) {}
    bool Init(const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings,
              const std::string& commandLine) override;

    // Positions are already in screen coordinates (text cells or graphics pixels).
    void Move(uint32_t flags, int32_t newX, int32_t newY);
    void Button(EMouseButton button, EMouseAction action, uint32_t flags, int32_t atX, int32_t atY);
    // delta: the signed wheel movement, 120 per notch.
    void Wheel(uint32_t flags, int32_t atX, int32_t atY, int16_t delta);
    // The lines a wheel delta scrolls.
    float WheelLines(int16_t delta) const;
    // Reads the system's wheel-scroll-lines setting again (3 when it cannot).
    void ReadWheelLines();

    uint32_t GetWheelLines() const { return wheelLines; }
    int32_t GetX() const { return x; }
    int32_t GetY() const { return y; }
    // A saved machine state's position and wheel setting.
    void RestoreState(int32_t savedX, int32_t savedY, uint32_t savedWheelLines) {
        x = savedX;
        y = savedY;
        wheelLines = savedWheelLines;
    }

    CServiceGroup& GetServiceGroup() { return services; }

private:
    CPlatform& platform;
    uint32_t wheelLines = 3;
    int32_t x = 0;
    int32_t y = 0;
    CMouseServices services{*this};
};
