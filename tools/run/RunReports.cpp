#include "RunReports.h"

#include "core/Machine.h"
#include "core/Memory.h"
#include "devices/Screen.h"
#include "devices/ScreenText.h"
#include "host/PngFile.h"
#include "support/ErrorStack.h"

#include <cstdio>

namespace {

std::string Hex(const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(count * 2, '0');
    for (size_t i = 0; i < count; ++i) {
        text[2 * i] = kDigits[bytes[i] >> 4];
        text[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    return text;
}

} // namespace

void PrintRegisters(const CMemory& memory, std::ostream& out) {
    out << "regs: " << Hex(memory.GetRegisters(), kRegisterBlockSize) << '\n';
}

bool PrintDump(const CMemory& memory, const SDumpRequest& request, std::ostream& out,
               std::ostream& errors) {
    const uint64_t size = static_cast<uint64_t>(memory.GetSize());
    if (uint64_t{request.address} + request.length > size) {
        errors << "tarquil-run: --dump " << request.address << ":" << request.length
               << " lies outside the " << size << " bytes of data memory\n";
        return false;
    }
    out << "mem " << request.address << ": "
        << Hex(memory.GetData() + request.address, request.length) << '\n';
    return true;
}

bool PrintTextScreen(const CMachine& machine, std::ostream& out, std::ostream& errors) {
    if (!machine.screen) {
        errors << "tarquil-run: --text: the machine has no screen\n";
        return false;
    }
    int32_t mode, width, height;
    machine.screen->GetMode(mode, width, height);
    out << "screen: " << mode << ' ' << width << 'x' << height << '\n';
    for (const std::string& line : TextScreenLines(*machine.screen))
        out << line << '\n';
    return true;
}

bool SaveScreenPng(const CMachine& machine, const std::string& path, std::ostream& errors) {
    if (!machine.screen) {
        errors << "tarquil-run: --png: the machine has no screen\n";
        return false;
    }
    int32_t mode, width, height;
    machine.screen->GetMode(mode, width, height);
    if (mode != kScreenGraphics) {
        errors << "tarquil-run: --png " << path << ": the screen is not in graphics mode\n";
        return false;
    }
    if (SavePixelsAsPng(path, width, height, machine.screen->GetPixelBuffer()))
        return true;
    errors << "tarquil-run: --png " << path << ":";
    std::string reason;
    while (qm::PopError(reason))
        errors << ' ' << reason;
    errors << '\n';
    return false;
}

void PrintStats(const SHeadlessRunResult& result, std::ostream& out) {
    const double mips = result.seconds > 0.0
                            ? static_cast<double>(result.instructions) / result.seconds / 1e6
                            : 0.0;
    char figures[96];
    std::snprintf(figures, sizeof figures, "seconds=%.3f mips=%.2f", result.seconds, mips);
    out << "stats: instructions=" << result.instructions << ' ' << figures << '\n';
}
