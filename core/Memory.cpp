#include "core/Memory.h"

#include "core/DiskSlot.h"
#include "support/ErrorStack.h"
#include "support/INIFile.h"
#include "support/TextFunctions.h"

#include <cmath>
#include <cstdlib>

namespace {
const char* const kTag = ".\\memory";

// Removes one trailing suffix character and the blanks before it.
bool DropSuffix(std::string& text, char suffix) {
    if (text.empty() || text.back() != suffix)
        return false;
    text.pop_back();
    qm::Trim(text);
    return true;
}
} // namespace

int32_t ParseMemorySize(const std::string& text) {
    std::string t = qm::LowerCopy(text);
    qm::Trim(t);
    DropSuffix(t, 'b');
    double multiplier = 1.0;
    if (DropSuffix(t, 'k'))
        multiplier = 1024.0;
    else if (DropSuffix(t, 'm'))
        multiplier = 1048576.0;
    else if (DropSuffix(t, 'g'))
        multiplier = 1073741824.0;
    if (t.empty())
        return 0;
    const double bytes = std::trunc(qm::StrToFloat(t) * multiplier);
    // Out-of-range doubles have no defined conversion; any size that large is refused
    // anyway, so clamp into the 64-bit range before keeping the low 32 bits.
    int64_t wide;
    if (!(bytes == bytes))
        wide = 0;
    else if (bytes >= 9.2e18)
        wide = INT64_MAX;
    else if (bytes <= -9.2e18)
        wide = INT64_MIN;
    else
        wide = static_cast<int64_t>(bytes);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
}

bool CMemory::Init(const qm::CINIFile& machineConfig, const qm::CINIFile&, const std::string&) {
    std::string text;
    machineConfig.GetString("Memory", "Size", text);
    return Configure(text);
}

bool CMemory::Configure(const std::string& sizeText) {
    int32_t parsed = ParseMemorySize(sizeText);
    if (static_cast<int64_t>(parsed) > static_cast<int64_t>(kRegisterBlockAddress))
        parsed = 0;
    bool ok = false;
    if (parsed <= 0) {
        qm::SetError("Invalid memory size in configuration Memory.Size (" + sizeText + ")", kTag,
                     90);
    } else if (static_cast<uint32_t>(parsed) >= kRegisterBlockAddress) {
        qm::SetError("Too large memory size in configuration Memory.Size (" + sizeText + ")", kTag,
                     94);
    } else {
        // calloc clears the spare bytes too and lets the host map large memories lazily.
        uint8_t* buffer =
            static_cast<uint8_t*>(std::calloc(static_cast<size_t>(parsed) + kSpareBytes, 1));
        if (!buffer) {
            qm::SetError("Cannot allocate memory (size: " + std::to_string(parsed) + ")", kTag,
                         101);
        } else {
            data.reset(buffer);
            registers.fill(0);
            size = parsed;
            ok = true;
        }
    }
    if (!ok)
        qm::PushError("Cannot initialize memory", kTag, 119);
    return ok;
}

const uint8_t* CMemory::LocateRange(uint32_t address, int32_t count, bool absolute) const {
    if (count < 1)
        return nullptr;
    const uint32_t n = static_cast<uint32_t>(count);
    if (static_cast<int32_t>(address) < static_cast<int32_t>(kRegisterBlockAddress)) {
        const uint32_t effective = absolute ? address : address + GetBASE();
        const uint32_t limit = static_cast<uint32_t>(size);
        if (effective >= limit || n > limit - effective)
            return nullptr;
        return data.get() + effective;
    }
    const uint32_t offset = address - kRegisterBlockAddress;
    if (offset >= kRegisterBlockSize || n > kRegisterBlockSize - offset)
        return nullptr;
    return registers.data() + offset;
}

void CMemory::ObserveValueRead(uint32_t address, const uint8_t* p, uint32_t count,
                               bool absolute) const {
    // An absolute read of data memory fetches the instruction stream.
    if (!absolute || static_cast<int32_t>(address) >= static_cast<int32_t>(kRegisterBlockAddress))
        readObserver->BytesRead(p, count);
}

bool CMemory::ReadBlock(uint32_t address, void* buffer, int32_t count, bool absolute) const {
    const uint8_t* p = LocateRange(address, count, absolute);
    if (!p)
        return false;
    if (readObserver) [[unlikely]]
        ObserveValueRead(address, p, static_cast<uint32_t>(count), absolute);
    std::memmove(buffer, p, static_cast<size_t>(count));
    return true;
}

bool CMemory::WriteBlock(uint32_t address, const void* buffer, int32_t count) {
    uint8_t* p = const_cast<uint8_t*>(LocateRange(address, count, false));
    if (!p)
        return false;
    std::memmove(p, buffer, static_cast<size_t>(count));
    return true;
}

bool CMemory::ReadFromDisk(uint32_t address, CDiskSlot& disk, int32_t count, bool absolute) {
    uint8_t* p = const_cast<uint8_t*>(LocateRange(address, count, absolute));
    if (!p)
        return false;
    return disk.Read(p, static_cast<uint32_t>(count));
}

bool CMemory::WriteToDisk(uint32_t address, CDiskSlot& disk, int32_t count) {
    const uint8_t* p = LocateRange(address, count, false);
    if (!p)
        return false;
    NoteRead(p, static_cast<uint32_t>(count));
    return disk.Write(p, static_cast<uint32_t>(count));
}

bool CMemory::Clear(uint32_t address, int32_t count) {
    uint8_t* p = const_cast<uint8_t*>(LocateRange(address, count, false));
    if (!p)
        return false;
    std::memset(p, 0, static_cast<size_t>(count));
    return true;
}

uint8_t* CMemory::GetPointer(uint32_t address, int32_t count, bool absolute) {
    return const_cast<uint8_t*>(LocateRange(address, count, absolute));
}
