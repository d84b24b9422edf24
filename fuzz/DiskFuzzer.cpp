// fuzz-disk: an arbitrary file inserted as a disk image, then a script of disk services
// (group 6) run against it and checked against a model of the image: reads give the bytes
// the model holds, writes change exactly the bytes they name, transfers succeed exactly when
// they fit, and at the end the file has its old size and the model's bytes.
//
// Input: flags (bit 0 a read-only slot, bit 1 a valid magic in front of the content), the
// number of service calls, 12 bytes per call, then the file content.
#include "FuzzInput.h"
#include "FuzzPlatform.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "core/Memory.h"
#include "devices/Disk.h"
#include "devices/DiskServices.h"
#include "isa/Dispatch.h"
#include "support/ErrorStack.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

constexpr uint32_t kParameters = kRegisterBlockAddress;

struct SCall {
    uint8_t function;
    uint8_t slot;
    uint16_t padding;
    uint32_t value;   // position (5) or count (7, 8)
    uint32_t address; // buffer (7, 8)
};

// One file for the whole fuzzing process, in a directory of its own.
const std::string& ImagePath() {
    static const std::string path = [] {
        std::string base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp";
        std::string directory = base + "/fuzz-disk-XXXXXX";
        if (!mkdtemp(directory.data()))
            FuzzFinding("no temporary directory");
        return directory + "/image.disk";
    }();
    return path;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        FuzzFinding("cannot write the image file");
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The image as the machine must see it: its data area and the current position.
struct SModel {
    bool inserted = false;
    std::vector<uint8_t> data;
    uint32_t position = 0;
};

class CDiskScript {
public:
    CDiskScript(bool readOnly, const std::vector<uint8_t>& file)
        : kernel(platform, GetDispatchTable()), file(file), readOnly(readOnly) {
        memory.Configure("4k");
        for (uint32_t i = 0; i < static_cast<uint32_t>(memory.GetSize()); ++i)
            memory.GetData()[i] = static_cast<uint8_t>(i * 7);
        disks[0] = std::make_unique<CDisk>(readOnly, false, 0);
        disks[1] = std::make_unique<CDisk>(true, false, 1);
        machine.kernel = &kernel;
        machine.memory = &memory;
        machine.disks[0] = disks[0].get();
        machine.disks[1] = disks[1].get();
        machine.diskCount = 2;
        kernel.SetMachine(&machine);
        for (auto& disk : disks)
            disk->SetMachine(&machine);
    }
    ~CDiskScript() {
        machine = CMachine();
        qm::ClearErrors();
    }

    void Insert() {
        const bool ok = disks[0]->Insert(ImagePath());
        // An image is taken exactly when it has the magic and the reserved byte.
        const bool valid = file.size() >= 16 && std::memcmp(file.data(), CDisk::kMagic, 15) == 0;
        if (ok != valid)
            FuzzFinding(ok ? "a file without a valid header was inserted"
                           : "a valid image was refused");
        model.inserted = ok;
        model.position = 0;
        if (ok && model.data.empty() && !everInserted)
            model.data.assign(file.begin() + 16, file.end());
        everInserted = everInserted || ok;
    }
    void Eject() {
        disks[0]->Eject();
        model.inserted = false;
    }

    void Call(const SCall& call) {
        const auto slot = static_cast<int32_t>(call.slot % 4) - 1; // -1 .. 2
        const uint32_t function = call.function % 10;
        memory.Write(kParameters + 0, uint8_t{6});
        memory.Write(kParameters + 1, static_cast<uint8_t>(function));
        memory.Write(kParameters + 2, uint8_t{0xEE});
        memory.Write(kParameters + 4, static_cast<uint32_t>(slot));
        memory.Write(kParameters + 8, call.value);
        memory.Write(kParameters + 12, call.address);
        const std::optional<bool> expected = slot == 0 ? Expect(function, call) : std::nullopt;
        // What a write takes, as it was before the call (the result byte may lie inside).
        if (expected && *expected && function == 7) {
            const uint8_t* source =
                memory.GetPointer(call.address, static_cast<int32_t>(call.value), false);
            outgoing.assign(source, source + call.value);
        }
        if (!services.Serve(kernel, memory, function))
            FuzzFinding("a disk service failed a register access");
        uint8_t result = 0;
        memory.Read(kParameters + 2, result, false);
        if (expected && result != (*expected ? 1 : 0))
            FuzzFinding("a disk service gave another result than the model");
        if (expected && *expected)
            Apply(function, call);
    }

    // The file after the machine let go of it.
    void CheckFile() {
        for (auto& disk : disks)
            disk->Eject();
        const std::vector<uint8_t> after = ReadFile(ImagePath());
        if (after.size() != file.size())
            FuzzFinding("the image file changed its size");
        if (!everInserted) {
            if (after != file)
                FuzzFinding("an image that was never inserted changed");
            return;
        }
        if (!std::equal(file.begin(), file.begin() + 16, after.begin()) ||
            !std::equal(model.data.begin(), model.data.end(), after.begin() + 16))
            FuzzFinding("the image file does not hold what the program wrote");
    }

private:
    // The result byte the call must give on slot 0 (nothing for functions without one).
    std::optional<bool> Expect(uint32_t function, const SCall& call) {
        const uint64_t size = model.data.size();
        const auto count = static_cast<int32_t>(call.value);
        switch (function) {
        case 3:
            return true;
        case 4:
        case 6:
            return model.inserted;
        case 5:
            return model.inserted && call.value < size;
        case 7:
        case 8:
            return model.inserted && !(function == 7 && readOnly) && count >= 1 &&
                   memory.GetPointer(call.address, count, false) != nullptr &&
                   model.position + uint64_t{call.value} <= size;
        default:
            return std::nullopt;
        }
    }

    void Apply(uint32_t function, const SCall& call) {
        uint32_t value = 0;
        memory.Read(kParameters + 8, value, false);
        switch (function) {
        case 4:
            if (value != model.data.size())
                FuzzFinding("the data size is not the file size less the header");
            break;
        case 5:
            model.position = call.value;
            break;
        case 6:
            if (value != model.position)
                FuzzFinding("the position is not where the transfers left it");
            break;
        case 7:
            std::copy(outgoing.begin(), outgoing.end(), model.data.begin() + model.position);
            model.position += call.value;
            break;
        case 8: {
            // The result byte lands in the register block after the data; compare data
            // memory only.
            const uint8_t* target =
                memory.GetPointer(call.address, static_cast<int32_t>(call.value), false);
            if (target >= memory.GetData() && target < memory.GetData() + memory.GetSize() &&
                std::memcmp(target, model.data.data() + model.position, call.value) != 0)
                FuzzFinding("a read gave other bytes than the image holds");
            model.position += call.value;
            break;
        }
        default:
            break;
        }
    }

    CFuzzPlatform platform;
    CKernel kernel;
    CMemory memory;
    CMachine machine;
    std::unique_ptr<CDisk> disks[2];
    CDiskServices services;
    const std::vector<uint8_t>& file;
    const bool readOnly;
    SModel model;
    std::vector<uint8_t> outgoing;
    bool everInserted = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzInput input(data, size);
    const uint8_t flags = input.Byte();
    std::vector<SCall> calls(input.Byte() % 32);
    for (SCall& call : calls)
        call = input.Take<SCall>();
    std::vector<uint8_t> file;
    if (flags & 2)
        file.assign(CDisk::kMagic, CDisk::kMagic + CDisk::kMagicLength);
    const std::vector<uint8_t> content = input.Rest();
    file.insert(file.end(), content.begin(), content.end());
    WriteFile(ImagePath(), file);

    CDiskScript script((flags & 1) != 0, file);
    script.Insert();
    for (const SCall& call : calls) {
        // A few calls eject the image and put it back: the writes so far must stay.
        if (call.function >= 250) {
            script.Eject();
            script.Insert();
            continue;
        }
        script.Call(call);
    }
    script.CheckFile();
    return 0;
}
