// The runner's command line: its own options, the images, and the machine's command line
// after "--".
#pragma once

#include "host/KeyScript.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct SDumpRequest {
    uint32_t address = 0;
    uint32_t length = 0;
};

struct SRunOptions {
    std::vector<std::string> images;
    std::string memorySize = "1m";
    bool readOnly = false;
    std::optional<uint32_t> seed;
    uint64_t steps = 0;
    double timeoutSeconds = 10.0;
    std::vector<SScriptedInput> keys;
    // Deliver the next scripted item every this many instructions as well; 0: only when
    // the program waits.
    uint64_t keyEvery = 0;
    bool printText = false;
    bool printRegisters = false;
    bool printStats = false;
    bool midi = false;
    std::vector<SDumpRequest> dumps;
    std::string pngPath;
    // Where the sound of the run goes as a WAV file; empty: nowhere.
    std::string wavPath;
    // Everything after "--", joined as the window program receives its command line.
    std::string machineCommandLine;
    // With a settings directory the machine is assembled from its Tarquil1.ini and
    // Tarquil2.ini, as the window program assembles it, and Tarquil2.ini is rewritten at
    // the stop. Empty: the built-in configuration.
    std::string configDirectory;
    // Debugging: the symbol file (empty: NAME.sym beside the first image, when it exists),
    // the places to break and to watch as given (numbers or labels, resolved once the
    // symbols are loaded), and how many instructions the trace prints (0: no trace).
    std::string symbolsPath;
    std::vector<std::string> breaks;
    std::vector<std::string> watches;
    uint64_t traceLength = 0;
    // Saved machine states: written at the stop; loaded instead of booting.
    std::string saveStatePath;
    std::string loadStatePath;
    // A recording of the window program to run again.
    std::string replayPath;
};

// At most this many images: one per disk slot.
inline constexpr size_t kMaxImages = 64;

// Exit codes of the runner: the run ended idle or at a bound; the machine could not be
// started; the command line was wrong; the machine stopped with an error.
enum : int { kExitRan = 0, kExitNoMachine = 1, kExitUsage = 2, kExitMachineError = 3 };

// Parses the command line. False when the runner should exit at once with `exitCode`
// (after --help, or a usage error that has been written to `errors`).
bool ParseRunOptions(int argc, const char* const* argv, SRunOptions& options, int& exitCode,
                     std::ostream& out, std::ostream& errors);

// A number in decimal or, with 0x, in hexadecimal that fits in 32 bits.
bool ParseAddressNumber(const std::string& text, uint32_t& value);
// "ADDR:LEN" of --dump.
bool ParseDumpRequest(const std::string& text, SDumpRequest& request);
