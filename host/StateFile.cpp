#include "host/StateFile.h"

#include "core/Machine.h"
#include "host/ByteStream.h"
#include "host/EventBytes.h"
#include "host/LargePages.h"
#include "host/PackedFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>

namespace {

// "TarquilState", then CR LF, end-of-file and LF: a file moved as text or cut after its
// name shows its damage at once.
constexpr char kMagic[kPackedMagicSize + 1] = "TarquilState\r\n\x1a\n";
constexpr uint32_t kMaxTimers = 65536;
constexpr uint32_t kMaxPath = 65536;
constexpr uint32_t kMaxMessage = 1 << 20;
constexpr size_t kCellBytes = 10;

enum ESection : uint32_t {
    kSectionMemory = 0,
    kSectionRegisters,
    kSectionKernel,
    kSectionRandom,
    kSectionScreen,
    kSectionMouse,
    kSectionSound,
    kSectionDisks,
    kSectionTimers,
    kSectionCount
};
constexpr char kSectionTags[kSectionCount][5] = {"MEMO", "REGS", "KERN", "RAND", "SCRN",
                                                 "MOUS", "SOUN", "DISK", "TIMR"};

// --- Writing ----------------------------------------------------------------------------

void PutKernel(CByteWriter& out, const CKernel::SState& kernel) {
    out.Put(static_cast<uint8_t>(kernel.running ? 1 : 0));
    out.Put(kernel.bootSlot);
    out.Put(kernel.instructionCount);
    out.PutString(kernel.pendingMessage);
    out.Put(static_cast<uint32_t>(kernel.events.size()));
    for (const CEvent& event : kernel.events)
        PutEvent(out, event);
    out.Put(static_cast<uint8_t>(kernel.clockQueried ? 1 : 0));
    out.Put(kernel.counterFrequency);
}

void PutFont(CByteWriter& out, const SFontRecord& font) {
    for (const int32_t value :
         {font.height, font.width, font.escapement, font.orientation, font.weight})
        out.Put(value);
    for (const uint8_t value :
         {font.italic, font.underline, font.strikeOut, font.charSet, font.outPrecision,
          font.clipPrecision, font.quality, font.pitchAndFamily})
        out.Put(value);
    out.PutString(font.faceName);
}

void PutCells(CByteWriter& out, const std::vector<STextCell>& cells) {
    for (const STextCell& cell : cells) {
        out.Put(cell.character);
        out.Put(cell.underline);
        out.Put(cell.textColour);
        out.Put(cell.backgroundColour);
    }
}

void PutScreen(CByteWriter& out, const SScreenState& screen) {
    for (const int32_t value :
         {screen.mode, screen.width, screen.height, screen.cellWidth, screen.cellHeight})
        out.Put(value);
    PutFont(out, screen.font);
    if (screen.mode == kScreenText) {
        PutCells(out, screen.frontBuffer);
        PutCells(out, screen.backBuffer);
        out.PutBytes(screen.dirtyRows.data(), screen.dirtyRows.size());
    } else if (screen.mode == kScreenGraphics) {
        for (const uint32_t pixel : screen.pixels)
            out.Put(pixel);
    }
}

void PutDisks(CByteWriter& out, const std::vector<SDiskSlotState>& disks) {
    out.Put(static_cast<uint32_t>(disks.size()));
    for (const SDiskSlotState& disk : disks) {
        out.Put(static_cast<uint8_t>((disk.readOnly ? 1 : 0) | (disk.remember ? 2 : 0) |
                                     (disk.hasDisk ? 4 : 0)));
        out.PutString(disk.path);
        out.Put(disk.position);
        out.Put(disk.dataSize);
        out.Put(disk.fileSize);
        out.Put(disk.checksum);
    }
}

void PutSection(CByteWriter& out, ESection section, const auto& writeBody) {
    out.PutBytes(kSectionTags[section], 4);
    const size_t lengthAt = out.GetSize();
    out.Put(uint32_t{0});
    writeBody();
    out.Patch32(lengthAt, static_cast<uint32_t>(out.GetSize() - lengthAt - 4));
}

// The memory section's tag, length and size: its bytes follow from where they lie.
std::vector<uint8_t> MemoryHead(uint32_t size) {
    std::vector<uint8_t> head;
    CByteWriter out(head);
    out.PutBytes(kSectionTags[kSectionMemory], 4);
    out.Put(static_cast<uint32_t>(size + 4));
    out.Put(size);
    return head;
}

// Every section after the memory.
std::vector<uint8_t> OtherSections(const SMachineState& state) {
    std::vector<uint8_t> payload;
    payload.reserve(state.screen.pixels.size() * 4 +
                    state.screen.backBuffer.size() * 2 * kCellBytes + 4096);
    CByteWriter out(payload);
    PutSection(out, kSectionRegisters,
               [&] { out.PutBytes(state.registers.data(), state.registers.size()); });
    PutSection(out, kSectionKernel, [&] { PutKernel(out, state.kernel); });
    PutSection(out, kSectionRandom, [&] { out.Put(state.randomState); });
    PutSection(out, kSectionScreen, [&] { PutScreen(out, state.screen); });
    PutSection(out, kSectionMouse, [&] {
        out.Put(state.mouseX);
        out.Put(state.mouseY);
        out.Put(state.wheelLines);
    });
    PutSection(out, kSectionSound, [&] { out.Put(static_cast<uint8_t>(state.hasSound ? 1 : 0)); });
    PutSection(out, kSectionDisks, [&] { PutDisks(out, state.disks); });
    PutSection(out, kSectionTimers, [&] {
        out.Put(static_cast<uint32_t>(state.timers.size()));
        for (const SHostTimer& timer : state.timers) {
            out.Put(timer.id);
            out.Put(timer.intervalMs);
        }
    });
    return payload;
}

// The payload in three pieces: the memory section's head, the memory itself where it lies,
// and the other sections.
struct SPayloadPieces {
    explicit SPayloadPieces(const SMachineState& state)
        : head(MemoryHead(state.memory.GetSize())),
          rest(OtherSections(state)), pieces{std::span<const uint8_t>(head),
                                             std::span<const uint8_t>(state.memory.GetData(),
                                                                      state.memory.GetSize()),
                                             std::span<const uint8_t>(rest)} {}

    std::vector<uint8_t> head;
    std::vector<uint8_t> rest;
    std::span<const uint8_t> pieces[3];
};

// --- Reading ----------------------------------------------------------------------------

bool GetKernel(CByteReader& in, CKernel::SState& kernel) {
    uint8_t running = 0;
    uint32_t eventCount = 0;
    in.Get(running);
    in.Get(kernel.bootSlot);
    in.Get(kernel.instructionCount);
    if (!in.GetString(kernel.pendingMessage, kMaxMessage) || !in.Get(eventCount) || running > 1 ||
        eventCount > kEventQueueCapacity || !in.CanHold(eventCount, kEventBytes))
        return false;
    kernel.running = running != 0;
    kernel.events.resize(eventCount, CEvent::Screen());
    for (CEvent& event : kernel.events) {
        if (!GetEvent(in, event))
            return false;
    }
    uint8_t clockQueried = 0;
    in.Get(clockQueried);
    in.Get(kernel.counterFrequency);
    kernel.clockQueried = clockQueried == 1;
    return in.IsOk() && clockQueried <= 1;
}

bool GetFont(CByteReader& in, SFontRecord& font) {
    for (int32_t* value :
         {&font.height, &font.width, &font.escapement, &font.orientation, &font.weight})
        in.Get(*value);
    for (uint8_t* value :
         {&font.italic, &font.underline, &font.strikeOut, &font.charSet, &font.outPrecision,
          &font.clipPrecision, &font.quality, &font.pitchAndFamily})
        in.Get(*value);
    return in.GetString(font.faceName, SFontRecord::kMaxFaceName);
}

bool GetCells(CByteReader& in, size_t count, std::vector<STextCell>& cells) {
    if (!in.CanHold(count, kCellBytes))
        return false;
    cells.resize(count);
    for (STextCell& cell : cells) {
        in.Get(cell.character);
        in.Get(cell.underline);
        in.Get(cell.textColour);
        in.Get(cell.backgroundColour);
    }
    return in.IsOk();
}

bool GetScreen(CByteReader& in, SScreenState& screen) {
    for (int32_t* value :
         {&screen.mode, &screen.width, &screen.height, &screen.cellWidth, &screen.cellHeight})
        in.Get(*value);
    if (!GetFont(in, screen.font))
        return false;
    if (screen.width < 0 || screen.height < 0 || screen.width > kMaxScreenSize ||
        screen.height > kMaxScreenSize)
        return false;
    const size_t count = static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height);
    if (screen.mode == kScreenText) {
        if (!GetCells(in, count, screen.frontBuffer) || !GetCells(in, count, screen.backBuffer))
            return false;
        const uint8_t* rows = in.View(static_cast<size_t>(screen.height));
        if (!rows)
            return false;
        screen.dirtyRows.assign(rows, rows + screen.height);
    } else if (screen.mode == kScreenGraphics) {
        if (!in.CanHold(count, 4))
            return false;
        screen.pixels.resize(count);
        for (uint32_t& pixel : screen.pixels)
            in.Get(pixel);
    }
    return in.IsOk() && screen.IsConsistent();
}

bool GetDisks(CByteReader& in, std::vector<SDiskSlotState>& disks) {
    uint32_t count = 0;
    if (!in.Get(count) || count > kMaxDiskSlots)
        return false;
    disks.resize(count);
    for (SDiskSlotState& disk : disks) {
        uint8_t flags = 0;
        in.Get(flags);
        if (flags > 7 || !in.GetString(disk.path, kMaxPath))
            return false;
        disk.readOnly = (flags & 1) != 0;
        disk.remember = (flags & 2) != 0;
        disk.hasDisk = (flags & 4) != 0;
        in.Get(disk.position);
        in.Get(disk.dataSize);
        in.Get(disk.fileSize);
        in.Get(disk.checksum);
        if (disk.hasDisk == disk.path.empty() || disk.path.find('\0') != std::string::npos)
            return false;
    }
    return in.IsOk();
}

bool GetTimers(CByteReader& in, std::vector<SHostTimer>& timers) {
    uint32_t count = 0;
    if (!in.Get(count) || count > kMaxTimers || !in.CanHold(count, 8))
        return false;
    timers.resize(count);
    for (SHostTimer& timer : timers) {
        in.Get(timer.id);
        in.Get(timer.intervalMs);
    }
    return in.IsOk();
}

bool GetSection(ESection section, CByteReader& in, SMachineState& state) {
    switch (section) {
    case kSectionRegisters:
        return in.GetBytes(state.registers.data(), state.registers.size());
    case kSectionKernel:
        return GetKernel(in, state.kernel);
    case kSectionRandom:
        return in.Get(state.randomState);
    case kSectionScreen:
        return GetScreen(in, state.screen);
    case kSectionMouse:
        in.Get(state.mouseX);
        in.Get(state.mouseY);
        return in.Get(state.wheelLines);
    case kSectionSound: {
        uint8_t flag = 0;
        if (!in.Get(flag) || flag > 1)
            return false;
        state.hasSound = flag != 0;
        return true;
    }
    case kSectionDisks:
        return GetDisks(in, state.disks);
    case kSectionTimers:
        return GetTimers(in, state.timers);
    case kSectionMemory: // read straight from the file (ReadMemory)
    case kSectionCount:
        break;
    }
    return false;
}

// The memory section's body: its size, then the bytes, decompressed straight into the image
// that the machine takes over when the state is applied.
bool ReadMemory(CPackedReader& in, uint32_t length, CMemoryImage& memory, std::string& error) {
    uint8_t sizeBytes[4];
    if (length < 4 || !in.Read(sizeBytes, 4))
        return false;
    CByteReader sizeReader(sizeBytes, 4);
    uint32_t size = 0;
    sizeReader.Get(size);
    if (size == 0 || size >= kRegisterBlockAddress || length - 4 != size)
        return false;
    if (!AllocateMemoryImage(memory, size)) {
        error = "not enough memory for its contents";
        return false;
    }
    return in.Read(memory.GetData(), size);
}

// Every section once; sections of later versions that this one does not know are skipped.
// A section that does not parse is the file's damage when the file says so (Finish).
bool ReadPayload(CPackedReader& in, SMachineState& state, std::string& error) {
    std::vector<uint8_t> body;
    bool seen[kSectionCount] = {};
    while (in.GetLeft() > 0) {
        uint8_t head[8];
        CByteReader headReader(head, sizeof head);
        char tag[4];
        uint32_t length = 0;
        if (in.GetLeft() < sizeof head || !in.Read(head, sizeof head) ||
            !headReader.GetBytes(tag, 4) || !headReader.Get(length) || length > in.GetLeft()) {
            error = "a section is cut off";
            return false;
        }
        auto section = kSectionCount;
        for (uint32_t i = 0; i < kSectionCount; ++i) {
            if (std::memcmp(tag, kSectionTags[i], 4) == 0)
                section = static_cast<ESection>(i);
        }
        if (section != kSectionCount && seen[section]) {
            error = std::string("the section ") + kSectionTags[section] + " is damaged";
            return false;
        }
        if (section == kSectionMemory) {
            if (!ReadMemory(in, length, state.memory, error)) {
                if (error.empty())
                    error = std::string("the section ") + kSectionTags[section] + " is damaged";
                return false;
            }
            seen[section] = true;
            continue;
        }
        body.resize(length);
        if (!in.Read(body.data(), length)) {
            error = "a section is cut off";
            return false;
        }
        if (section == kSectionCount)
            continue;
        CByteReader bodyReader(body.data(), length);
        if (!GetSection(section, bodyReader, state) || !bodyReader.AtEnd()) {
            error = std::string("the section ") + kSectionTags[section] + " is damaged";
            return false;
        }
        seen[section] = true;
    }
    for (uint32_t i = 0; i < kSectionCount; ++i) {
        if (!seen[i]) {
            error = std::string("the section ") + kSectionTags[i] + " is missing";
            return false;
        }
    }
    return true;
}

// A state out of a packed file's reader: the state is built aside and handed over only when
// the whole file checked out.
bool ReadState(CPackedReader& in, SMachineState& decoded, std::string& error, uint64_t maxPayload) {
    if (!in.Open(kMagic, kStateFileVersion, "a Tarquil machine state", maxPayload, error))
        return false;
    SMachineState state;
    std::string problem;
    const bool parsed = ReadPayload(in, state, problem);
    // Damage to the file is the better reason than what it did to a section.
    if (!in.Finish(error))
        return false;
    if (!parsed) {
        error = problem;
        return false;
    }
    decoded = std::move(state);
    return true;
}

// The file is read piece by piece as the payload is decompressed, never whole.
bool ReadStateFile(const std::string& path, SMachineState& state, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    CPackedReader in(file.get());
    return ReadState(in, state, error, kMaxStatePayload);
}

} // namespace

std::vector<uint8_t> EncodeMachineState(const SMachineState& state) {
    // A capture that could not have its memory is no state.
    if (state.memory.IsEmpty())
        return {};
    const SPayloadPieces payload(state);
    std::vector<uint8_t> file;
    if (!PackPieces(kMagic, kStateFileVersion, payload.pieces,
                    [&](const uint8_t* bytes, size_t count) {
                        file.insert(file.end(), bytes, bytes + count);
                        return true;
                    }))
        return {};
    return file;
}

bool DecodeMachineState(const uint8_t* bytes, size_t count, SMachineState& decoded,
                        std::string& error, uint64_t maxPayload) {
    CPackedReader in(bytes, count);
    return ReadState(in, decoded, error, maxPayload);
}

bool SaveStateFile(const std::string& path, const SMachineState& state, std::string& error) {
    const SPayloadPieces payload(state);
    std::string reason = "not enough memory to capture the machine";
    if (state.memory.IsEmpty() ||
        !WritePackedFile(path, kMagic, kStateFileVersion, payload.pieces, reason)) {
        error = "cannot save the state to \"" + path + "\": " + reason;
        return false;
    }
    return true;
}

bool LoadStateFile(const std::string& path, SMachineState& state, std::string& error) {
    std::string reason;
    if (!ReadStateFile(path, state, reason)) {
        error = "cannot load the state \"" + path + "\": " + reason;
        return false;
    }
    return true;
}
