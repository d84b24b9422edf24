// The texts of the Disks dialog: one list line per slot and the details of the selected
// slot. Kept apart from the dialog so that every host words them alike.
#pragma once

#include <string>

class CDiskSlot;

// The file name without its directory and without its extension.
std::string DiskShortName(const std::string& fileName);

// "2. [10] Pong": slot number, read-only and remember flags, the image's short name.
std::string DiskListLine(const CDiskSlot& slot);

struct SDiskDetails {
    std::string readOnly; // "Read-only : True"
    std::string remember; // "Remember : False"
    std::string fileName; // the full name, empty for an empty slot
};
// The details of a slot; `slot` null: no selection.
SDiskDetails DiskDetails(const CDiskSlot* slot);
