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

class CDeviceMachine : public CTestMachine {
public:
    CDeviceMachine() : CTestMachine(DispatchTable{}, {0x00, 0x00}), mouse(platform) {
        screen.SetMode(kScreenText, 80, 25);
        machine.screen = &screen;
        machine.keyboard = &keyboard;
        machine.mouse = &mouse;
        screen.SetMachine(&machine);
        keyboard.SetMachine(&machine);
        mouse.SetMachine(&machine);
        kernel.SetServiceGroup(2, &keyboard.GetServiceGroup());
        kernel.SetServiceGroup(3, &mouse.GetServiceGroup());
        kernel.SetServiceGroup(5, &screen.GetServiceGroup());
        surface.ClearRecords();
    }
    ~CDeviceMachine() { machine = CMachine(); }

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

    CFakeScreenSurface surface;
    CScreen screen{&surface, false};
    CKeyboard keyboard;
    CMouse mouse;
};
