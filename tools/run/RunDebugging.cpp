#include "RunDebugging.h"

#include "core/Kernel.h"

#include <cstdio>
#include <filesystem>

namespace {

std::string Address(uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", address);
    return text;
}

// NAME.sym beside NAME.disk, when that file exists.
std::string SymbolsBeside(const std::string& image) {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::path(image).replace_extension(".sym");
    return std::filesystem::is_regular_file(path, error) ? path.string() : std::string();
}

} // namespace

bool CRunDebugging::Attach(const SRunOptions& options, CKernel& kernel, std::ostream& errors) {
    debugger = std::make_unique<CDebugger>(kernel);
    // The runner reports the machine's registers as the machine left them.
    debugger->SetMoveIpToFault(false);
    traceLength = options.traceLength;
    debugger->SetTraceLength(traceLength);

    std::string error;
    std::string path = options.symbolsPath;
    if (path.empty() && !options.images.empty())
        path = SymbolsBeside(options.images.front());
    if (!path.empty()) {
        CSymbolFile symbols;
        // A symbol file found by name that cannot be read only leaves the labels unknown.
        if (symbols.Load(path, error))
            debugger->SetSymbols(std::move(symbols));
        else if (!options.symbolsPath.empty()) {
            errors << "tarquil-run: --symbols: " << error << "\n";
            return false;
        }
    }
    for (const std::string& where : options.breaks) {
        uint32_t address;
        if (!debugger->ResolveAddress(where, address, error)) {
            errors << "tarquil-run: --break " << where << ": " << error << "\n";
            return false;
        }
        debugger->AddBreakpoint(address, {}, error);
    }
    for (const std::string& text : options.watches) {
        const size_t colon = text.rfind(':');
        const std::string where = text.substr(0, colon);
        uint32_t address = 0, length = 1;
        if (colon != std::string::npos &&
            (!ParseAddressNumber(text.substr(colon + 1), length) || length == 0)) {
            errors << "tarquil-run: --watch " << text << ": LEN is a count of bytes from 1\n";
            return false;
        }
        if (!debugger->ResolveAddress(where, address, error) ||
            debugger->AddWatchpoint(address, length, error) == 0) {
            errors << "tarquil-run: --watch " << text << ": " << error << "\n";
            return false;
        }
    }
    active = !options.breaks.empty() || !options.watches.empty() || traceLength > 0;
    return true;
}

void CRunDebugging::Configure(SHeadlessRunSettings& settings) {
    if (!active)
        return;
    CDebugger* d = debugger.get();
    settings.runSlice = [d](std::string& message) { return d->RunSlice(message); };
    settings.isPaused = [d] { return d->IsPaused() && d->GetKernel().IsRunning(); };
}

void CRunDebugging::PrintBeforeStop(const SHeadlessRunResult& result, std::ostream& out) const {
    if (!debugger)
        return;
    if (traceLength > 0) {
        const std::vector<uint32_t> trace = debugger->GetTrace();
        for (uint32_t head : trace)
            out << "trace: " << Address(head) << " " << debugger->Disassemble(head).instruction.text
                << "\n";
    }
    uint32_t head;
    if (result.reason != EStopReason::MachineStopped || !debugger->GetKernel().GetFaultHead(head))
        return;
    const SDebugLine line = debugger->Disassemble(head);
    out << "fault: " << Address(head) << " " << line.instruction.text << "\n";
    if (!line.source.empty())
        out << "source: " << line.source << "\n";
}

std::string CRunDebugging::DescribeStop(const SHeadlessRunResult& result) const {
    if (result.reason != EStopReason::Paused || !debugger)
        return ::DescribeStop(result);
    const SDebugStopInfo& stop = debugger->GetLastStop();
    return (stop.kind == EDebugStop::Watch ? "watch " : "break ") + Address(stop.address);
}
