#include "devices/Mouse.h"

#include "core/Kernel.h"
#include "core/Machine.h"
#include "core/Platform.h"

bool CMouse::Init(const qm::CINIFile&, const qm::CINIFile&, const std::string&) {
    ReadWheelLines();
    return true;
}

void CMouse::ReadWheelLines() {
    uint32_t lines = 0;
    wheelLines = platform.GetWheelScrollLines(lines) ? lines : 3;
}

void CMouse::Move(uint32_t flags, int32_t newX, int32_t newY) {
    x = newX;
    y = newY;
    if (machine && machine->kernel)
        machine->kernel->PostMouseMoveEvent(flags, newX, newY);
}

void CMouse::Button(EMouseButton button, EMouseAction action, uint32_t flags, int32_t atX,
                    int32_t atY) {
    if (machine && machine->kernel)
        machine->kernel->PostMouseButtonEvent(button, action, flags, atX, atY);
}

float CMouse::WheelLines(int16_t delta) const {
    // One notch (120) scrolls wheelLines lines; the factor is 1/120 in single precision and
    // the product is taken in double precision, so one notch of 3 lines gives 3.0000002.
    const double factor = static_cast<double>(0.008333334f);
    return static_cast<float>(static_cast<double>(wheelLines) * delta * factor);
}

void CMouse::Wheel(uint32_t flags, int32_t atX, int32_t atY, int16_t delta) {
    if (machine && machine->kernel)
        machine->kernel->PostMouseWheelEvent(flags, atX, atY, WheelLines(delta));
}
