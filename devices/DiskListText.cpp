#include "devices/DiskListText.h"

#include "core/DiskSlot.h"

std::string DiskShortName(const std::string& fileName) {
    // Directory separators of both kinds of host, and the drive colon.
    const size_t lastSeparator = fileName.find_last_of("\\/:");
    const size_t start = lastSeparator == std::string::npos ? 0 : lastSeparator + 1;
    const size_t lastDot = fileName.find_last_of('.');
    const bool hasExtension = lastDot != std::string::npos &&
                              (lastSeparator == std::string::npos || lastDot > lastSeparator);
    const size_t end = hasExtension ? lastDot : fileName.size();
    return fileName.substr(start, end - start);
}

std::string DiskListLine(const CDiskSlot& slot) {
    std::string line = std::to_string(slot.GetSlot()) + ". [";
    line += slot.IsReadOnly() ? '1' : '0';
    line += slot.IsRemembering() ? '1' : '0';
    line += "] ";
    if (slot.HasDisk())
        line += DiskShortName(slot.GetFileName());
    return line;
}

SDiskDetails DiskDetails(const CDiskSlot* slot) {
    SDiskDetails details{"Read-only : ", "Remember : ", ""};
    if (!slot)
        return details;
    details.readOnly += slot->IsReadOnly() ? "True" : "False";
    details.remember += slot->IsRemembering() ? "True" : "False";
    details.fileName = slot->GetFileName();
    return details;
}
