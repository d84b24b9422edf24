// The two settings files beside the program: the machine configuration, which the user
// edits by hand and the program only reads, and the user settings, which the program
// rebuilds from scratch at every machine stop.
#pragma once

#include <string>

namespace qm {
class CINIFile;
}

inline constexpr const char* kMachineConfigFileName = "Tarquil1.ini";
inline constexpr const char* kUserSettingsFileName = "Tarquil2.ini";

// Where the window program looks for its settings files: the directory of the program file
// (never the current directory), with its trailing separator.
std::string DefaultSettingsDirectory();

// Reads and parses the machine configuration and then the user settings from `directory`
// (which ends with a separator). False with the reason on the error stack; the user
// settings are not read when the machine configuration failed.
bool ReadSettingsFiles(const std::string& directory, qm::CINIFile& machineConfig,
                       qm::CINIFile& userSettings);

// The comment lines that open every user settings file.
void PutUserSettingsHeader(qm::CINIFile& userSettings);

// Serialises the document and replaces the user settings file with it. A failure leaves
// the previous file whole and its reason on the error stack (not shown).
bool WriteUserSettings(const std::string& directory, const qm::CINIFile& userSettings);
