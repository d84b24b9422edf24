// A running test machine with the screen (on a fake surface), keyboard and mouse attached
// and their service groups registered, and helpers to make system calls through the
// register block.
#pragma once

#include "common/TestMachine.h"
#include "devices/FakeScreenSurface.h"
#include "devices/Keyboard.h"
#include "devices/Mouse.h"
#include "devices/Screen.h"

#include <cstring>

// The surface lives in a base in front of the machine, so that it outlives the screen that
// draws on it.
struct SFakeSurfaceOwner {
    CFakeScreenSurface surface;
};

class CDeviceMachine : public SFakeSurfaceOwner, public CTestMachine {
public:
    CDeviceMachine()
        : CTestMachine(SDispatchTable{}, {0x00, 0x00}),
          screen(Builder().Add(std::make_unique<CScreen>(&surface, false))),
          keyboard(Builder().Add(std::make_unique<CKeyboard>())),
          mouse(Builder().Add(std::make_unique<CMouse>(platform))) {
        screen.SetMode(kScreenText, 80, 25);
        Builder().Connect();
        surface.ClearRecords();
    }

    // Sets group and function, makes the call; true when the machine is still running.
    bool Call(uint8_t group, uint8_t function) {
        Registers()[0] = group;
        Registers()[1] = function;
        kernel.SystemCall();
        return kernel.IsRunning();
    }

    uint8_t Byte(uint32_t offset) { return Registers()[offset]; }
    uint32_t Dword(uint32_t offset) {
        uint32_t v;
        std::memcpy(&v, Registers() + offset, 4);
        return v;
    }
    void SetByte(uint32_t offset, uint8_t v) { Registers()[offset] = v; }
    void SetDword(uint32_t offset, uint32_t v) { std::memcpy(Registers() + offset, &v, 4); }

    CScreen& screen;
    CKeyboard& keyboard;
    CMouse& mouse;
};
