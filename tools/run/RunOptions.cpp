#include "RunOptions.h"

#include "host/CommandLine.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstring>

namespace {

bool ParseSeed(const std::string& text, uint32_t& seed) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || rest != end)
        return false;
    // Negative seeds wrap as the generator's unsigned seed does.
    if (value < INT32_MIN || value > int64_t{UINT32_MAX})
        return false;
    seed = static_cast<uint32_t>(value);
    return true;
}

// Decimal digits only: a sign would wrap around.
bool ParseUnsigned(const std::string& text, uint64_t& value) {
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    return !text.empty() && error == std::errc() && rest == end;
}

} // namespace

bool ParseAddressNumber(const std::string& text, uint32_t& value) {
    int base = 10;
    size_t start = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        start = 2;
    }
    const char* first = text.data() + start;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(first, end, value, base);
    return first != end && error == std::errc() && rest == end;
}

bool ParseDumpRequest(const std::string& text, SDumpRequest& request) {
    const size_t colon = text.find(':');
    return colon != std::string::npos &&
           ParseAddressNumber(text.substr(0, colon), request.address) &&
           ParseAddressNumber(text.substr(colon + 1), request.length);
}

bool ParseRunOptions(int argc, const char* const* argv, SRunOptions& options, int& exitCode,
                     std::ostream& out, std::ostream& errors) {
    // The machine's own command line follows the first "--", untouched by our parser.
    int ownCount = argc;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            ownCount = i;
            break;
        }
    }
    std::vector<std::string> machineArguments(argv + std::min(ownCount + 1, argc), argv + argc);
    options.machineCommandLine = JoinCommandLine(machineArguments);

    CLI::App app("Runs a Tarquil disk image without a window and reports what it did.",
                 "tarquil-run");
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.add_option("images", options.images, "Disk images for slots 0, 1, 2, ...");
    app.add_option("--memory", options.memorySize, "Memory size (for example 64k, 16m)");
    app.add_flag("--read-only", options.readOnly, "Put the images into read-only slots");
    std::string seedText;
    auto* seedOption = app.add_option("--seed", seedText,
                                      "Seed of the random generator (default: the tick count)");
    std::string stepsText;
    auto* stepsOption = app.add_option(
        "--steps", stepsText, "Stop after the slice that reaches N instructions (0: no limit)");
    app.add_option("--timeout", options.timeoutSeconds,
                   "Wall-clock bound in seconds (default 10; 0: none)");
    std::string keysText;
    auto* keysOption = app.add_option(
        "--keys", keysText, "Scripted input: characters, {Enter} etc., {Click X Y}, {Move X Y}");
    std::string keyEveryText;
    auto* keyEveryOption = app.add_option(
        "--key-every", keyEveryText,
        "Also deliver the next scripted item after every N instructions, waiting or not");
    app.add_flag("--text", options.printText, "Print the text screen after the run");
    app.add_flag("--regs", options.printRegisters, "Print the register block after the run");
    std::vector<std::string> dumpTexts;
    app.add_option("--dump", dumpTexts, "Print LEN bytes of data memory at ADDR (ADDR:LEN)")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--png", options.pngPath, "Save the graphics pixels as PNG");
    app.add_flag("--stats", options.printStats, "Print instruction count and speed");
    app.add_flag("--midi", options.midi, "Build the machine with MIDI enabled");
    app.add_option("--wav", options.wavPath,
                   "Save the sound of the run (MIDI and beeps) as a 16-bit stereo 44100 Hz WAV");
    app.add_option("--symbols", options.symbolsPath,
                   "Symbol file of the program (default: NAME.sym beside the first NAME.disk)");
    app.add_option("--break", options.breaks,
                   "Stop before the instruction at WHERE (an address or a label); repeatable")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app.add_option("--watch", options.watches,
                   "Stop after an instruction that changed LEN bytes (default 1) at WHERE "
                   "(WHERE[:LEN]); repeatable")
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    std::string traceText;
    auto* traceOption =
        app.add_option("--trace", traceText, "At the end, print the last N instructions executed");
    auto* configOption =
        app.add_option("--config-dir", options.configDirectory,
                       "Assemble the machine from Tarquil1.ini and Tarquil2.ini in DIR and rewrite "
                       "Tarquil2.ini at the stop (images then go in with -- -disk N FILE)");

    app.add_option("--save-state", options.saveStatePath,
                   "At the stop, write the machine's whole state to FILE");
    auto* loadStateOption = app.add_option(
        "--load-state", options.loadStatePath,
        "Start from the state in FILE instead of booting (the slots get its images)");
    auto* replayOption =
        app.add_option("--replay", options.replayPath,
                       "Run a recording of the window program again, as it was recorded");

    auto usageError = [&](const std::string& message) {
        errors << "tarquil-run: " << message << "\nRun with --help for more information.\n";
        exitCode = kExitUsage;
        return false;
    };
    try {
        app.parse(ownCount, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            app.exit(error, out, errors);
            exitCode = kExitRan;
            return false;
        }
        return usageError(error.what());
    }

    if (!(options.timeoutSeconds >= 0.0))
        return usageError("--timeout: expected a number of seconds, 0 or more");
    if (configOption->count() > 0 && options.configDirectory.empty())
        return usageError("--config-dir: expected a directory");
    if (!options.configDirectory.empty() && !options.images.empty())
        return usageError("images are not allowed with --config-dir; use -- -disk N FILE");
    if (options.images.size() > kMaxImages)
        return usageError("at most " + std::to_string(kMaxImages) + " images");
    // A saved state or a recording brings its own images, random state and input.
    for (auto* startOption : {loadStateOption, replayOption}) {
        if (startOption->count() == 0)
            continue;
        const std::string name = startOption->get_name();
        if ((startOption == loadStateOption ? options.loadStatePath : options.replayPath).empty())
            return usageError(name + ": expected a file");
        if (loadStateOption->count() > 0 && replayOption->count() > 0)
            return usageError("--load-state and --replay cannot be combined");
        if (!options.images.empty())
            return usageError("images are not allowed with " + name +
                              "; the slots get the images it names");
        if (seedOption->count() > 0)
            return usageError("--seed is not allowed with " + name +
                              "; the random generator continues from it");
    }
    if (replayOption->count() > 0 && keysOption->count() > 0)
        return usageError("--keys is not allowed with --replay; the recording holds the input");
    if (replayOption->count() > 0 && !options.configDirectory.empty())
        return usageError("--config-dir is not allowed with --replay; the recording's state "
                          "shapes the machine");
    if (replayOption->count() > 0 &&
        (!options.breaks.empty() || !options.watches.empty() || traceOption->count() > 0))
        return usageError("--break, --watch and --trace are not allowed with --replay; the "
                          "replay runs as the recorded session ran");
    if (stepsOption->count() > 0 && !ParseUnsigned(stepsText, options.steps))
        return usageError("--steps: not a count of instructions: " + stepsText);
    if (keyEveryOption->count() > 0 && !ParseUnsigned(keyEveryText, options.keyEvery))
        return usageError("--key-every: not a count of instructions: " + keyEveryText);
    if (traceOption->count() > 0 && !ParseUnsigned(traceText, options.traceLength))
        return usageError("--trace: not a count of instructions: " + traceText);
    if (seedOption->count() > 0) {
        uint32_t seed = 0;
        if (!ParseSeed(seedText, seed))
            return usageError("--seed: not a 32-bit integer: " + seedText);
        options.seed = seed;
    }
    for (const std::string& text : dumpTexts) {
        SDumpRequest request;
        if (!ParseDumpRequest(text, request))
            return usageError("--dump: expected ADDR:LEN, got " + text);
        options.dumps.push_back(request);
    }
    if (keysOption->count() > 0) {
        std::string problem;
        if (!ParseKeyScript(keysText, options.keys, problem))
            return usageError("--keys: " + problem);
    }
    return true;
}
