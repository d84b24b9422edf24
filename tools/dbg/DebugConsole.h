// The command loop of tarquil-dbg: one command per input line, plain text answers, so that
// scripts and editors can drive the debugger. "help" lists the commands.
#pragma once

#include "debug/Debugger.h"

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

class CDebugConsole {
public:
    // Runs the machine until the debugger pauses it (or it stops, waits with nothing to
    // wake it, or the time runs out) and returns what ended the run, in words ("" for a
    // pause of the debugger, whose stop the console describes itself).
    using RunFunction = std::function<std::string()>;

    CDebugConsole(CDebugger& debugger, RunFunction run, std::ostream& out);

    // Reads and executes commands until "quit" or the end of the input.
    void Loop(std::istream& in);
    // Executes one command line; false for "quit".
    bool Execute(const std::string& line);
    // The current instruction, as after a stop.
    void ShowCurrent();

private:
    using Words = std::vector<std::string>;

    void Help();
    void Break(const std::string& arguments);
    void Delete(const Words& words);
    void Enable(const Words& words, bool enable);
    void Watch(const Words& words, EWatchKind kind);
    void Resume(const std::string& how, const Words& words);
    void Registers();
    void Examine(const Words& words);
    void Disassemble(const Words& words);
    void Set(const std::string& arguments);
    void Print(const std::string& arguments);
    void Backtrace();
    void Trace(const Words& words);
    void Info();
    void ReportStop(const std::string& ended);
    void GoBack(bool toHit);

    bool Address(const std::string& where, uint32_t& address);
    bool Count(const std::string& text, uint64_t& count);
    void Error(const std::string& message);
    std::string Line(const SDebugLine& line, bool current) const;

    CDebugger& debugger;
    RunFunction run;
    std::ostream& out;
};
