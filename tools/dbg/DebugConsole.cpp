#include "DebugConsole.h"

#include "core/Kernel.h"
#include "core/Memory.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

std::string Hex8(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

const char* const kHelp =
    "Commands (addresses are numbers, labels or expressions; absolute, BASE not added):\n"
    "  break WHERE [if CONDITION]  stop before the instruction at WHERE (b)\n"
    "  delete [N]                  remove breakpoint N, or all (d)\n"
    "  enable N / disable N        switch breakpoint N on or off\n"
    "  watch WHERE[:LEN]           stop after an instruction changed LEN bytes at WHERE\n"
    "  rwatch WHERE[:LEN]          stop after an instruction read any of them\n"
    "  awatch WHERE[:LEN]          stop after an instruction read or changed any of them\n"
    "  unwatch N                   remove watchpoint N\n"
    "  info                        list the breakpoints and watchpoints\n"
    "  run, continue               run until something stops the machine (r, c)\n"
    "  step                        execute one instruction (s)\n"
    "  next                        the same, but a CALL runs until it returned (n)\n"
    "  finish                      run until the current call returned\n"
    "  until WHERE                 run until IP reaches WHERE\n"
    "  reverse-step                go back one instruction (rs)\n"
    "  reverse-continue            go back to the last breakpoint or watchpoint hit (rc)\n"
    "  regs                        the registers\n"
    "  x WHERE LEN                 LEN bytes of memory in hex and text\n"
    "  disas [WHERE] [N]           N instructions (default 8) from WHERE (default IP)\n"
    "  set PLACE = EXPR            change a register or memory: set r4 = 7, set [buf].8 = 65\n"
    "  print EXPR                  an expression's value: print [counter].i16 * 2 (p)\n"
    "  bt                          the call stack\n"
    "  trace [N]                   the last N instructions executed (default 16)\n"
    "  quit                        end the debugger (q)\n";

} // namespace

CDebugConsole::CDebugConsole(CDebugger& debugger, RunFunction run, std::ostream& out)
    : debugger(debugger), run(std::move(run)), out(out) {}

void CDebugConsole::Loop(std::istream& in) {
    std::string line;
    while (true) {
        out << "(tdb) " << std::flush;
        if (!std::getline(in, line)) {
            out << "\n";
            return;
        }
        if (!Execute(line))
            return;
    }
}

bool CDebugConsole::Execute(const std::string& text) {
    const std::string line = Trim(text);
    if (line.empty() || line[0] == '#')
        return true;
    const size_t space = line.find_first_of(" \t");
    const std::string command = line.substr(0, space);
    const std::string arguments = space == std::string::npos ? "" : Trim(line.substr(space));
    const Words words = SplitWords(arguments);
    if (command == "quit" || command == "q")
        return false;
    if (command == "help" || command == "h")
        Help();
    else if (command == "break" || command == "b")
        Break(arguments);
    else if (command == "delete" || command == "d")
        Delete(words);
    else if (command == "enable" || command == "disable")
        Enable(words, command == "enable");
    else if (command == "watch")
        Watch(words, EWatchKind::Write);
    else if (command == "rwatch")
        Watch(words, EWatchKind::Read);
    else if (command == "awatch")
        Watch(words, EWatchKind::Access);
    else if (command == "unwatch") {
        if (words.size() != 1 || !debugger.RemoveWatchpoint(std::atoi(words[0].c_str())))
            Error("unwatch N: no such watchpoint");
    } else if (command == "info")
        Info();
    else if (command == "run" || command == "r" || command == "continue" || command == "c")
        Resume("continue", words);
    else if (command == "step" || command == "s" || command == "stepi" || command == "si")
        Resume("step", words);
    else if (command == "next" || command == "n" || command == "nexti" || command == "ni")
        Resume("next", words);
    else if (command == "finish")
        Resume("finish", words);
    else if (command == "until")
        Resume("until", words);
    else if (command == "reverse-step" || command == "rs")
        GoBack(false);
    else if (command == "reverse-continue" || command == "rc")
        GoBack(true);
    else if (command == "regs" || command == "registers")
        Registers();
    else if (command == "x")
        Examine(words);
    else if (command == "disas" || command == "disassemble")
        Disassemble(words);
    else if (command == "set")
        Set(arguments);
    else if (command == "print" || command == "p")
        Print(arguments);
    else if (command == "bt" || command == "backtrace")
        Backtrace();
    else if (command == "trace")
        Trace(words);
    else
        Error("unknown command \"" + command + "\" (help lists them)");
    return true;
}

void CDebugConsole::Help() {
    out << kHelp;
}

void CDebugConsole::Error(const std::string& message) {
    out << "error: " << message << "\n";
}

bool CDebugConsole::Address(const std::string& where, uint32_t& address) {
    std::string error;
    if (debugger.ResolveAddress(where, address, error))
        return true;
    Error(error);
    return false;
}

bool CDebugConsole::Count(const std::string& text, uint64_t& count) {
    char* end = nullptr;
    count = std::strtoull(text.c_str(), &end, 0);
    if (!text.empty() && *end == '\0' && text[0] != '-')
        return true;
    Error("\"" + text + "\" is not a count");
    return false;
}

std::string CDebugConsole::Line(const SDebugLine& line, bool current) const {
    std::string text = (current ? "=> " : "   ") + Hex8(line.address) + "  ";
    if (!line.label.empty())
        text += line.label + ": ";
    text += line.instruction.text;
    if (!line.source.empty())
        text += "    ; " + line.source;
    return text;
}

void CDebugConsole::ShowCurrent() {
    const uint32_t ip = debugger.GetKernel().GetIP();
    out << Line(debugger.Disassemble(ip), true) << "\n";
}

void CDebugConsole::Break(const std::string& arguments) {
    const size_t condition = arguments.find(" if ");
    const std::string where = Trim(arguments.substr(0, condition));
    if (where.empty()) {
        Error("break WHERE [if CONDITION]");
        return;
    }
    uint32_t address;
    if (!Address(where, address))
        return;
    std::string error;
    const int id = debugger.AddBreakpoint(
        address, condition == std::string::npos ? "" : Trim(arguments.substr(condition + 4)),
        error);
    if (id == 0) {
        Error(error);
        return;
    }
    out << "breakpoint " << id << " at " << Hex8(address);
    const std::string name = debugger.DescribeAddress(address);
    if (!name.empty())
        out << " (" << name << ")";
    out << "\n";
}

void CDebugConsole::Delete(const Words& words) {
    if (words.empty()) {
        while (!debugger.GetBreakpoints().empty())
            debugger.RemoveBreakpoint(debugger.GetBreakpoints().front().id);
        return;
    }
    for (const std::string& word : words)
        if (!debugger.RemoveBreakpoint(std::atoi(word.c_str())))
            Error("no breakpoint " + word);
}

void CDebugConsole::Enable(const Words& words, bool enable) {
    if (words.empty())
        Error(std::string(enable ? "enable" : "disable") + " N");
    for (const std::string& word : words)
        if (!debugger.EnableBreakpoint(std::atoi(word.c_str()), enable))
            Error("no breakpoint " + word);
}

void CDebugConsole::Watch(const Words& words, EWatchKind kind) {
    if (words.size() != 1) {
        Error(std::string(kind == EWatchKind::Read     ? "rwatch"
                          : kind == EWatchKind::Access ? "awatch"
                                                       : "watch") +
              " WHERE[:LEN]");
        return;
    }
    const size_t colon = words[0].rfind(':');
    uint32_t address;
    uint64_t length = 1;
    if (colon != std::string::npos &&
        (!Count(words[0].substr(colon + 1), length) || length == 0 || length > UINT32_MAX))
        return;
    if (!Address(words[0].substr(0, colon), address))
        return;
    std::string error;
    const int id = debugger.AddWatchpoint(address, static_cast<uint32_t>(length), error, kind);
    if (id == 0) {
        Error(error);
        return;
    }
    out << "watchpoint " << id << " at " << Hex8(address) << ", " << length
        << (length == 1 ? " byte" : " bytes")
        << (kind == EWatchKind::Write ? "" : std::string(", ") + WatchKindName(kind)) << "\n";
}

void CDebugConsole::Info() {
    for (const SBreakpoint& b : debugger.GetBreakpoints()) {
        out << "breakpoint " << b.id << " at " << Hex8(b.address);
        const std::string name = debugger.DescribeAddress(b.address);
        if (!name.empty())
            out << " (" << name << ")";
        if (!b.condition.IsEmpty())
            out << " if " << b.condition.GetText();
        out << (b.enabled ? "" : " disabled") << ", hit " << b.hits << "\n";
    }
    for (const SWatchpoint& w : debugger.GetWatchpoints())
        out << "watchpoint " << w.id << " at " << Hex8(w.address) << ", " << w.length << " bytes, "
            << WatchKindName(w.kind) << (w.enabled ? "" : " disabled") << ", hit " << w.hits
            << "\n";
    if (debugger.HasHistory()) {
        const SHistoryFigures history = debugger.GetHistoryFigures();
        char text[160];
        std::snprintf(text, sizeof text,
                      "history: back to instruction %llu, %zu snapshots, %.1f of %.0f MB%s\n",
                      static_cast<unsigned long long>(history.oldestCount), history.snapshots,
                      static_cast<double>(history.bytes) / (1 << 20),
                      static_cast<double>(history.budget) / (1 << 20),
                      debugger.IsInPast() ? ", in the past" : "");
        out << text;
    }
}

void CDebugConsole::Resume(const std::string& how, const Words& words) {
    if (!debugger.GetKernel().IsRunning()) {
        Error("the machine has stopped");
        return;
    }
    if (how == "until") {
        uint32_t address;
        if (words.size() != 1 || !Address(words[0], address))
            return;
        debugger.RunTo(address);
    } else if (how == "step") {
        debugger.StepInto();
    } else if (how == "next") {
        debugger.StepOver();
    } else if (how == "finish") {
        debugger.StepOut();
    } else {
        debugger.Continue();
    }
    ReportStop(run());
}

void CDebugConsole::GoBack(bool toHit) {
    std::string error;
    if (!(toHit ? debugger.ReverseContinue(error) : debugger.StepBack(error))) {
        Error(error);
        return;
    }
    ReportStop({});
}

void CDebugConsole::ReportStop(const std::string& ended) {
    SDebugStopInfo stop;
    if (!debugger.TakeStop(stop)) {
        // The run ended by itself (the program waits, or the time ran out): pause here.
        debugger.Pause();
        debugger.TakeStop(stop);
        out << "paused: " << ended << "\n";
        ShowCurrent();
        return;
    }
    switch (stop.kind) {
    case EDebugStop::Break:
        out << "breakpoint " << stop.id << " at " << Hex8(stop.address);
        if (!stop.message.empty())
            out << " (" << stop.message << ")";
        out << "\n";
        break;
    case EDebugStop::Watch: {
        for (const SWatchpoint& w : debugger.GetWatchpoints()) {
            if (w.id != stop.id)
                continue;
            out << "watchpoint " << w.id << ": " << Hex8(w.address)
                << (stop.read ? " read by " : " changed by ") << Hex8(stop.address) << " "
                << debugger.Disassemble(stop.address).instruction.text << "\n";
        }
        break;
    }
    case EDebugStop::Oldest:
        out << "oldest: no hit before; the history reaches back to instruction "
            << debugger.GetKernel().GetInstructionCount() << "\n";
        break;
    case EDebugStop::Fault:
    case EDebugStop::Finished: {
        const SDebugLine line = debugger.Disassemble(stop.address);
        if (stop.kind == EDebugStop::Fault) {
            out << "fault: " << Hex8(stop.address) << " " << line.instruction.text << "\n";
            if (!line.source.empty())
                out << "source: " << line.source << "\n";
        }
        out << "stopped: " << stop.message << "\n";
        return;
    }
    default:
        break;
    }
    ShowCurrent();
}

void CDebugConsole::Registers() {
    const uint8_t* r = debugger.GetMemory().GetRegisters();
    char text[64];
    for (uint32_t offset = 0; offset < 32; offset += 4) {
        uint32_t value;
        std::memcpy(&value, r + offset, 4);
        std::snprintf(text, sizeof text, "r%-2u %s", offset, Hex8(value).c_str());
        out << text << ((offset % 16 == 12) ? "\n" : "   ");
    }
    const CKernel& kernel = debugger.GetKernel();
    out << "sp  " << Hex8(kernel.GetSP()) << "   base " << Hex8(kernel.GetBASE()) << "   ip  "
        << Hex8(kernel.GetIP());
    const std::string name = debugger.DescribeAddress(kernel.GetIP());
    if (!name.empty())
        out << " (" << name << ")";
    out << "\n";
}

void CDebugConsole::Examine(const Words& words) {
    uint32_t address;
    uint64_t length = 16;
    if (words.empty() || words.size() > 2) {
        Error("x WHERE LEN");
        return;
    }
    if (!Address(words[0], address) || (words.size() == 2 && !Count(words[1], length)))
        return;
    std::vector<uint8_t> bytes;
    if (length > 0x10000 || !debugger.ReadBytes(address, static_cast<uint32_t>(length), bytes)) {
        Error("the range lies outside the machine's memory (or is longer than 64 KiB)");
        return;
    }
    for (size_t row = 0; row < bytes.size(); row += 16) {
        std::string hex, text;
        for (size_t i = row; i < row + 16 && i < bytes.size(); ++i) {
            char byte[4];
            std::snprintf(byte, sizeof byte, "%02x ", bytes[i]);
            hex += byte;
            text += bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
        }
        hex.resize(48, ' ');
        out << Hex8(address + static_cast<uint32_t>(row)) << ": " << hex << " " << text << "\n";
    }
}

void CDebugConsole::Disassemble(const Words& words) {
    uint32_t address = debugger.GetKernel().GetIP();
    uint64_t count = 8;
    if (words.size() > 2 || (!words.empty() && !Address(words[0], address)) ||
        (words.size() == 2 && !Count(words[1], count)))
        return;
    const uint32_t ip = debugger.GetKernel().GetIP();
    for (const SDebugLine& line :
         debugger.DisassembleFrom(address, std::min<uint64_t>(count, 1000)))
        out << Line(line, line.address == ip) << "\n";
}

void CDebugConsole::Set(const std::string& arguments) {
    const size_t equals = arguments.find('=');
    if (equals == std::string::npos) {
        Error("set PLACE = EXPR");
        return;
    }
    std::string error;
    if (!debugger.Assign(Trim(arguments.substr(0, equals)), Trim(arguments.substr(equals + 1)),
                         error))
        Error(error);
}

void CDebugConsole::Print(const std::string& arguments) {
    SDebugValue value;
    std::string error;
    if (!debugger.Evaluate(arguments, value, error)) {
        Error(error);
        return;
    }
    out << arguments << " = " << value.Format() << "\n";
}

void CDebugConsole::Backtrace() {
    const std::vector<SCallFrame> frames = debugger.GetCallStack();
    for (size_t i = 0; i < frames.size(); ++i) {
        out << "#" << i << "  " << Hex8(frames[i].address);
        if (!frames[i].function.empty())
            out << " in " << frames[i].function;
        const std::string source = debugger.GetSymbols().SourceOf(frames[i].address);
        if (!source.empty())
            out << "  (" << source << ")";
        out << "\n";
    }
}

void CDebugConsole::Trace(const Words& words) {
    uint64_t count = 16;
    if (words.size() > 1 || (words.size() == 1 && !Count(words[0], count)))
        return;
    const std::vector<uint32_t> trace = debugger.GetTrace();
    const size_t first = trace.size() > count ? trace.size() - count : 0;
    for (size_t i = first; i < trace.size(); ++i)
        out << Line(debugger.Disassemble(trace[i]), false) << "\n";
}
