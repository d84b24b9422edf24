#include "host/OpenedImages.h"

#include "core/DiskSlot.h"
#include "core/Kernel.h"
#include "core/Machine.h"
#include "support/ErrorStack.h"
#include "support/TextFunctions.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// How many values follow an option of the machine's command line.
size_t OptionValueCount(const std::string& argument) {
    const std::string option = qm::LowerCopy(argument);
    if (option == "-disk")
        return 2;
    if (option == "-boot")
        return 1;
    return 0;
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    std::error_code code;
    return fs::equivalent(a, b, code) && !code;
}

} // namespace

std::vector<std::string> TakeImageArguments(std::vector<std::string>& arguments) {
    std::vector<std::string> images;
    std::vector<std::string> options;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (!argument.empty() && argument[0] == '-') {
            const size_t values = OptionValueCount(argument);
            options.push_back(argument);
            for (size_t v = 0; v < values && i + 1 < arguments.size(); ++v)
                options.push_back(arguments[++i]);
            continue;
        }
        std::error_code code;
        const fs::path absolute = fs::absolute(argument, code);
        images.push_back(code ? argument : absolute.lexically_normal().string());
    }
    arguments = std::move(options);
    return images;
}

int32_t OpenImageInMachine(CMachine& machine, const std::string& path) {
    int32_t chosen = -1;
    for (int32_t slot = 0; slot < machine.diskCount && chosen < 0; ++slot) {
        const CDiskSlot* disk = machine.disks[static_cast<size_t>(slot)];
        if (disk && disk->HasDisk() && SameFile(disk->GetFileName(), path))
            chosen = slot;
    }
    for (int32_t slot = 0; slot < machine.diskCount && chosen < 0; ++slot) {
        CDiskSlot* disk = machine.disks[static_cast<size_t>(slot)];
        if (!disk || disk->HasDisk())
            continue;
        if (!disk->Insert(path)) {
            qm::ShowErrors();
            return -1;
        }
        chosen = slot;
    }
    if (chosen < 0) {
        qm::SetError("No free disk slot for \"" + path + "\"");
        qm::ShowErrors();
    }
    return chosen;
}

void OpenImagesForBoot(CMachine& machine, const std::vector<std::string>& paths) {
    int32_t bootSlot = -1;
    for (const std::string& path : paths) {
        const int32_t slot = OpenImageInMachine(machine, path);
        if (bootSlot < 0)
            bootSlot = slot;
    }
    if (bootSlot >= 0 && machine.kernel)
        machine.kernel->SetBootSlot(bootSlot);
}
