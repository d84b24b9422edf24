// How a disk slot takes its first image at machine start (the name it remembered from the
// last run, then the command-line options -disk N F and -disksempty) and how it remembers
// its image at the stop.
#include "devices/Disk.h"

#include "support/ErrorStack.h"
#include "support/INIFile.h"
#include "support/TextFunctions.h"

#include <filesystem>

namespace {

const char* const kTag = ".\\disks";
const char* const kSection = "Disks";

// A name given on the command line is relative to the directory the program was started
// in; remembered as typed, it would name another file (or none) after a start from
// elsewhere.
std::string AbsoluteName(const std::string& name) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(name, error);
    return error ? name : absolute.string();
}

// Walks the command line for the options that concern `slot`. Option names and the word
// "empty" match in any letter case; an image name keeps its case, since host file names
// are case-sensitive. False with the line of the fault when a -disk option is cut short.
bool ScanDiskOptions(const std::string& commandLine, uint32_t slot, std::string& name,
                     int32_t& faultLine) {
    size_t position = 0;
    std::string token;
    while (qm::NextToken(commandLine, token, position)) {
        const std::string option = qm::LowerCopy(token);
        if (option == "-disksempty") {
            name.clear();
        } else if (option == "-disk") {
            std::string number;
            if (!qm::NextToken(commandLine, number, position)) {
                faultLine = 227;
                return false;
            }
            // Another slot's image name is left to the walk, which passes over it.
            if (qm::StrToInt(number) != static_cast<int64_t>(slot))
                continue;
            std::string image;
            if (!qm::NextToken(commandLine, image, position)) {
                faultLine = 233;
                return false;
            }
            if (qm::EqualsNoCase(image, "empty"))
                name.clear();
            else
                name = AbsoluteName(image);
        }
    }
    return true;
}

} // namespace

bool CDisk::Init(const qm::CINIFile&, const qm::CINIFile& userSettings,
                 const std::string& commandLine) {
    std::string name;
    if (remember)
        userSettings.GetString(kSection, std::to_string(slot), name);
    int32_t faultLine = 0;
    if (!ScanDiskOptions(commandLine, slot, name, faultLine)) {
        qm::SetError("Invalid parameters in \"-disk\"", kTag, faultLine);
        qm::PushError("Syntax error in command line \"" + commandLine + "\"");
        return false;
    }
    // A slot whose image cannot be opened stays in the machine, empty, and keeps the name:
    // the image may be held by another machine or lie on a drive not mounted yet.
    if (!name.empty() && !Insert(name)) {
        qm::ShowErrors();
        keptName = name;
    }
    return true;
}

void CDisk::SaveSettings(qm::CINIFile& userSettings) {
    if (remember)
        userSettings.SetString(kSection, std::to_string(slot), HasDisk() ? fileName : keptName);
}
