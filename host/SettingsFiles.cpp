#include "host/SettingsFiles.h"

#include "support/ErrorStack.h"
#include "support/INIError.h"
#include "support/INIFile.h"
#include "support/TextFunctions.h"

namespace {

const char* const kTag = ".\\main";

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Loads one settings file; false with the message of the given lines on the error stack.
bool LoadSettingsFile(const std::string& directory, const char* fileName, const char* what,
                      int32_t unreadableLine, int32_t unparsableLine, qm::CINIFile& document) {
    try {
        if (document.Load(directory + fileName))
            return true;
        qm::SetError(std::string("Unable to load ") + what + " from file " + Quoted(fileName), kTag,
                     unreadableLine);
    } catch (const qm::CINIError& error) {
        qm::SetError(std::string("Error parsing ") + what + " from " + Quoted(fileName) + " " +
                         qm::DescribeINIError(error),
                     kTag, unparsableLine);
    }
    return false;
}

} // namespace

std::string DefaultSettingsDirectory() {
    return qm::ProgramDirectory();
}

bool ReadSettingsFiles(const std::string& directory, qm::CINIFile& machineConfig,
                       qm::CINIFile& userSettings) {
    return LoadSettingsFile(directory, kMachineConfigFileName, "configuration", 164, 169,
                            machineConfig) &&
           LoadSettingsFile(directory, kUserSettingsFileName, "configuration", 176, 181,
                            userSettings);
}

void PutUserSettingsHeader(qm::CINIFile& userSettings) {
    userSettings.AddComment("", std::string(" ") + kUserSettingsFileName);
    userSettings.AddEmptyLine("");
    userSettings.AddComment("", " This file contains settings which are managed by Tarquil.");
    userSettings.AddComment("", " You can change it with dialog windows in the program.");
}

bool WriteUserSettings(const std::string& directory, const qm::CINIFile& userSettings) {
    const std::string message =
        std::string("Unable to save configuration to file ") + Quoted(kUserSettingsFileName);
    std::string text;
    try {
        userSettings.Serialize(text);
    } catch (const qm::CINIError& error) {
        qm::SetError(message + " " + qm::DescribeINIError(error), kTag, 304);
        return false;
    }
    // Written beside the old file and renamed over it, so that a full disk or a crash in
    // the middle never costs the user the settings they had.
    if (!qm::ReplaceWholeFile(directory + kUserSettingsFileName, text)) {
        qm::SetError(message, kTag, 299);
        return false;
    }
    return true;
}
