#include "host/qt/QtPlatform.h"

#include "host/HostSystem.h"
#include "host/ThreadPriority.h"
#include "host/qt/HostTimers.h"
#include "host/qt/KeyMap.h"

#include <QApplication>
#include <QGuiApplication>
#include <QStyleHints>

CQtPlatform::CQtPlatform(CHostTimers& timers) : timers(timers) {}

bool CQtPlatform::StartTimer(uint32_t id, uint32_t intervalMs) {
    return timers.Start(id, intervalMs);
}

bool CQtPlatform::StopTimer(uint32_t id) {
    return timers.Stop(id);
}

std::vector<SHostTimer> CQtPlatform::GetRunningTimers() const {
    std::vector<SHostTimer> running;
    for (const uint32_t id : timers.GetIds())
        running.push_back({id, static_cast<uint32_t>(timers.GetInterval(id))});
    return running;
}

void CQtPlatform::Beep(uint32_t frequency, uint32_t durationMs) {
    if (beepSink)
        beepSink(frequency, durationMs);
    else
        QApplication::beep();
}

bool CQtPlatform::GetPerformanceFrequency(uint64_t& frequency) {
    frequency = 1000000000;
    return true;
}

uint64_t CQtPlatform::GetPerformanceCounter() {
    return MonotonicNanoseconds();
}

uint32_t CQtPlatform::GetTickCount() {
    return MonotonicTickCount();
}

void CQtPlatform::GetKeyState(uint32_t virtualKey, bool& down, bool& toggled) {
    down = keysDown.count(virtualKey) > 0;
    toggled = keysToggled.count(virtualKey) > 0;
}

// Buttons and modifiers are asked of the desktop; other keys are known only from the
// window's own key messages.
bool CQtPlatform::IsKeyDownNow(uint32_t virtualKey) {
    const auto buttons = QGuiApplication::mouseButtons();
    const auto modifiers = QGuiApplication::queryKeyboardModifiers();
    switch (virtualKey) {
    case kVkLeftButton:
        return buttons.testFlag(Qt::LeftButton);
    case kVkRightButton:
        return buttons.testFlag(Qt::RightButton);
    case kVkMiddleButton:
        return buttons.testFlag(Qt::MiddleButton);
    case kVkXButton1:
        return buttons.testFlag(Qt::XButton1);
    case kVkXButton2:
        return buttons.testFlag(Qt::XButton2);
    case kVkShift:
    case kVkLeftShift:
    case kVkRightShift:
        return modifiers.testFlag(Qt::ShiftModifier);
    case kVkControl:
    case kVkLeftControl:
    case kVkRightControl:
        return modifiers.testFlag(Qt::ControlModifier);
    case kVkMenu:
    case kVkLeftMenu:
    case kVkRightMenu:
        return modifiers.testFlag(Qt::AltModifier);
    default:
        return keysDown.count(virtualKey) > 0;
    }
}

SOSVersion CQtPlatform::GetOSVersion() {
    return QueryOSVersion();
}

void CQtPlatform::SetThreadPriority(EThreadPriority priority) {
    ApplyThreadPriority(priority);
}

bool CQtPlatform::GetWheelScrollLines(uint32_t& lines) {
    const int value = QGuiApplication::styleHints()->wheelScrollLines();
    if (value < 0)
        return false;
    lines = static_cast<uint32_t>(value);
    return true;
}

void CQtPlatform::KeyChanged(uint32_t virtualKey, bool down) {
    if (down) {
        if (keysDown.insert(virtualKey).second && !keysToggled.erase(virtualKey))
            keysToggled.insert(virtualKey);
    } else {
        keysDown.erase(virtualKey);
    }
}

void CQtPlatform::ReleaseAllKeys() {
    keysDown.clear();
}
