// A main window on a machine of its own: a temporary settings directory, a boot disk
// assembled from the given source, and error boxes caught instead of shown.
#pragma once

#include "common/DiskImages.h"
#include "common/FileTestHelpers.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "host/qt/MainWindow.h"
#include "host/qt/ScreenWidget.h"
#include "support/ErrorStack.h"
#include "tools/asm/Assembler.h"

#include <QTest>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace qttest {

// Assembles source (with the standard include) into a boot image.
inline std::vector<uint8_t> Assemble(const std::string& source) {
    CAssembler assembler;
    const bool ok = assembler.AssembleText("test.asm", ".include \"tarquil.inc\"\n" + source);
    if (!ok)
        qWarning("%s", assembler.GetDiagnostics().Format().c_str());
    return ok ? assembler.GetImage() : std::vector<uint8_t>{};
}

// Catches the error boxes for the lifetime of the object.
class CCapturedErrorBoxes {
public:
    CCapturedErrorBoxes() {
        qm::SetErrorBoxHandler([this](const std::string& text) { boxes.push_back(text); });
    }
    ~CCapturedErrorBoxes() { qm::SetErrorBoxHandler({}); }
    std::vector<std::string> boxes;
};

inline const char* const kDefaultConfig = "[Memory]\nSize=256k\n[Kernel]\nPriority=3\n"
                                          "[MIDI]\nEnabled=false\n[Disks]\nCount=2\n";

// A program that waits for events without taking them, so they stay queued for the test.
inline const char* const kEventSinkProgram = "start: WAIT\n JMP start\n";

class CWindowFixture {
public:
    explicit CWindowFixture(const std::string& programSource,
                            const std::string& config = kDefaultConfig,
                            const std::string& options = "-noask") {
        const std::string image = directory.path + "/boot.disk";
        testhelpers::WriteBytes(
            image, testhelpers::DiskImageBytes(testhelpers::BootDataArea(Assemble(programSource))));
        testhelpers::WriteBytes(directory.path + "/Tarquil1.ini", config);
        testhelpers::WriteBytes(directory.path + "/Tarquil2.ini", "");
        window = std::make_unique<CMainWindow>(directory.path + "/",
                                               options + " -disk 0 \"" + image + "\"");
        window->StartMachine();
        for (const std::string& box : errors.boxes)
            qWarning("error box: %s", box.c_str());
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("the window was not exposed");
        // Showing the window resized the screen: the program was told so. Start afresh.
        if (window->GetMachine() && window->GetMachine()->kernel)
            TakeEvents();
    }
    ~CWindowFixture() { window.reset(); }

    CMachine* Machine() { return window->GetMachine(); }
    CKernel& Kernel() { return *window->GetMachine()->kernel; }
    CScreenWidget& Screen() { return window->GetScreenWidget(); }

    // Lets the machine run until it waits with nothing to do.
    void Settle() {
        QTest::qWait(1);
        QTRY_VERIFY_WITH_TIMEOUT(!window->GetRunner().IsScheduled(), 5000);
    }

    // The events waiting in the queue, taken out as (group, kind, byte 2, dword 4).
    struct SEvent {
        int group, kind, byte2;
        uint32_t dword4;
        bool operator==(const SEvent&) const = default;
    };
    std::vector<SEvent> TakeEvents() {
        std::vector<SEvent> events;
        CKernel& kernel = Kernel();
        CMemory& memory = kernel.GetMemory();
        while (kernel.HasEvents()) {
            // Records write only their own fields: clear the others first.
            uint8_t* r = memory.GetRegisters();
            std::memset(r, 0, 8);
            kernel.TakeEvent();
            uint32_t dword4;
            std::memcpy(&dword4, r + 4, 4);
            events.push_back({r[0], r[1], r[2], dword4});
        }
        return events;
    }

    std::string UserSettingsText() {
        return testhelpers::ReadBytes(directory.path + "/Tarquil2.ini");
    }

    CCapturedErrorBoxes errors;
    testhelpers::CTemporaryDirectory directory;
    std::unique_ptr<CMainWindow> window;
};

} // namespace qttest

namespace qttest {
// Events as text, so that a failed comparison shows them all.
inline QString Describe(const std::vector<CWindowFixture::SEvent>& events) {
    QStringList parts;
    for (const auto& e : events)
        parts << QString("{%1,%2,%3,0x%4}")
                     .arg(e.group)
                     .arg(e.kind)
                     .arg(e.byte2)
                     .arg(e.dword4, 0, 16);
    return parts.join(' ');
}
} // namespace qttest
