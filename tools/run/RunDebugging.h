// The runner's debugging: the symbols, --break, --watch and --trace on a debugger attached
// to the started machine, and the lines they print (trace:, fault:, source:, and the stop
// at a break or watch point).
#pragma once

#include "RunOptions.h"
#include "debug/Debugger.h"
#include "host/HeadlessRun.h"

#include <memory>
#include <ostream>
#include <string>

class CKernel;

class CRunDebugging {
public:
    // Loads the symbols and sets the break and watch points on the booted kernel. False,
    // with the reason on `errors`, for a usage error (a file or a place that is not there).
    bool Attach(const SRunOptions& options, CKernel& kernel, std::ostream& errors);
    // Gives the run the debugger's slices when an option needs checks between instructions.
    void Configure(SHeadlessRunSettings& settings);
    // The trace and the failing instruction, printed right before the stop line.
    void PrintBeforeStop(const SHeadlessRunResult& result, std::ostream& out) const;
    // The stop line's reason: "break ADDR", "watch ADDR", or the run's own.
    std::string DescribeStop(const SHeadlessRunResult& result) const;

private:
    std::unique_ptr<CDebugger> debugger;
    bool active = false;
    uint64_t traceLength = 0;
};
