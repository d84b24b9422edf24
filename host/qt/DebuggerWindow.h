// The debugger window beside the screen: disassembly around IP with the breakpoints in its
// margin, the registers, a memory view, the stack, the event queue, the breakpoint and
// watchpoint lists, the trace and the log of the program's messages. While the program
// runs, the views follow it a few times a second. It drives the debugger core
// (debug/Debugger.h) that runs the current machine's slices; the main window hands it each
// machine as it starts and every message the program sends.
#pragma once

#include "core/Memory.h"
#include "debug/Debugger.h"

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CKernel;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTableWidget;
class QTabWidget;
class QTimer;

class CDebuggerWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr const char* kTitle = "Tarquil Debugger";
    // How many of the last instructions the trace keeps while the window shows.
    static constexpr size_t kTraceLength = 256;
    // Log lines kept; the oldest go first.
    static constexpr int kLogLines = 10000;
    // Instructions the disassembly shows, and how many of them come before IP.
    static constexpr int kDisassemblyRows = 40;
    static constexpr int kRowsBeforeIp = 8;
    static constexpr uint32_t kMemoryRows = 16;
    // How often the views follow a running program.
    static constexpr int kLiveRefreshMs = 250;

    // `wake` asks the window's run loop for a turn (after a resume); `opener` shows this
    // window where it belongs (beside the screen).
    CDebuggerWindow(std::function<void()> wake, std::function<void()> opener,
                    QWidget* parent = nullptr);
    ~CDebuggerWindow() override;

    // A machine started (its boot image at `imagePath`, empty when unknown): a fresh
    // debugger takes over the breakpoints of the one before and the symbols beside the
    // image. Null: the machine stopped.
    void AttachKernel(CKernel* kernel, const std::string& imagePath);
    CDebugger* GetDebugger() { return debugger.get(); }
    // The slice the window's loop runs in place of the kernel's.
    bool RunSlice(std::string& message);
    // After a turn of the loop: shows a stop, and offers the debugger for a failed program.
    void AfterTurn();
    // Shows the window at the machine's stop.
    void ShowAtStop();
    // A message the program sent (its title text), logged with the instruction count.
    void LogMessage(const std::string& message);
    // Symbols from a file, every address moved by `offset` (a program loaded elsewhere).
    bool LoadSymbols(const std::string& path, uint32_t offset, std::string& error);
    // Asks for a symbol file and its load offset.
    void ChooseSymbols();
    // Offers the debugger for a failed program (the default asks in a message box that
    // does not hold the window, and calls ShowAtStop for a yes).
    using FaultQuestion = std::function<void(const QString& text)>;
    void SetFaultQuestion(FaultQuestion question) { faultQuestion = std::move(question); }

    // The commands of the toolbar and the shortcuts.
    void ContinueOrPause();
    void StepInto();
    void StepOver();
    void StepOut();
    // Back one instruction, or to the last breakpoint or watchpoint hit. The history that
    // makes them possible is kept from the moment this window shows for a machine.
    void StepBack();
    void ReverseContinue();
    void SetHostGate(CHostGate* hostGate) { gate = hostGate; }
    void ToggleBreakpointAtCursor();
    // Shows the memory from an address, a label or an expression.
    void ShowMemoryAt(const QString& where);
    // Watches the bytes selected in the memory view (the current one when none are) for
    // changes, reads or both.
    void WatchSelectedMemory(EWatchKind kind = EWatchKind::Write);
    // Everything again from the machine's state.
    void Refresh();

    QTableWidget* GetDisassemblyView() const { return disassembly; }
    QTableWidget* GetRegisterView() const { return registers; }
    QTableWidget* GetMemoryView() const { return memory; }
    QTableWidget* GetWatchpointView() const { return watchpoints; }
    QListWidget* GetEventView() const { return events; }
    QPlainTextEdit* GetLogView() const { return log; }
    // The address of a disassembly row (0 for a row past the end).
    uint32_t RowAddress(int row) const;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildActions();
    QWidget* BuildDisassembly();
    QWidget* BuildRegisters();
    QWidget* BuildMemory();
    QWidget* BuildBreakpoints();
    void Resume(void (CDebugger::*command)());
    void GoBack(bool (CDebugger::*command)(std::string& error));
    void KeepHistoryWhileShown();
    void ShowStopStatus();
    void FillDisassembly();
    void FillRegisters();
    void FillMemory();
    void FillStack();
    void FillEvents();
    void FillBreakpoints();
    void FillWatchpoints();
    void FillTrace();
    void EditRegister(int row, int column);
    void EditMemory(int row, int column);
    void DisassemblyClicked(int row, int column);
    void AddBreakpointFromField();
    void RemoveSelectedBreakpoint();
    void AddWatchpoint(uint32_t address, uint32_t length, EWatchKind kind);
    void AddWatchpointFromField();
    void RemoveSelectedWatchpoint();
    void RefreshWhileRunning();
    bool Attached() const { return debugger != nullptr; }

    std::function<void()> wake;
    std::function<void()> opener;
    std::unique_ptr<CDebugger> debugger;
    CHostGate* gate = nullptr;
    // The breakpoints of the machine before, for the next one.
    struct SKeptBreakpoint {
        uint32_t address;
        std::string condition;
        bool enabled;
    };
    std::vector<SKeptBreakpoint> keptBreakpoints;
    struct SKeptWatchpoint {
        uint32_t address;
        uint32_t length;
        EWatchKind kind;
        bool enabled;
    };
    std::vector<SKeptWatchpoint> keptWatchpoints;
    FaultQuestion faultQuestion;
    bool tracing = false; // the trace is kept (while the window shows)
    bool filling = false; // the views are being filled: their changes are not the user's

    QLabel* status;
    QTableWidget* disassembly;
    std::vector<uint32_t> disassemblyAddresses;
    QComboBox* registerWidth;
    QTableWidget* registers;
    std::array<uint8_t, kRegisterBlockSize> shownRegisters{};    // the register block as last shown
    std::array<uint8_t, kRegisterBlockSize> previousRegisters{}; // and as shown at the stop before
    QLineEdit* memoryAddress;
    QTableWidget* memory;
    uint32_t memoryStart = 0;
    QListWidget* stack;
    QListWidget* events;
    QTableWidget* breakpoints;
    QLineEdit* breakpointField;
    QTableWidget* watchpoints;
    QLineEdit* watchpointField;
    QComboBox* watchpointKind;
    QTimer* liveRefresh;
    QListWidget* trace;
    QPlainTextEdit* log;
    QTabWidget* tabs;
};
