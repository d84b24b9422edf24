// Disk images named on the command line by themselves (`tarquil FILE.disk`, as a desktop
// passes a file it opens): they go into the machine without touching its options.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CMachine;

// Takes the bare arguments (neither an option nor the value of one) out of `arguments` and
// returns them as absolute paths, in order. "-disk" takes two values and "-boot" one, in
// any letter case, as the machine's option scanners read them.
std::vector<std::string> TakeImageArguments(std::vector<std::string>& arguments);

// Before the boot: puts the image into the slot that already holds it, else into the first
// empty slot, and returns that slot. -1 when no slot takes it: the reason is shown in an
// error box then.
int32_t OpenImageInMachine(CMachine& machine, const std::string& path);

// Opens every image and makes the kernel boot from the first one that a slot took.
void OpenImagesForBoot(CMachine& machine, const std::vector<std::string>& paths);
