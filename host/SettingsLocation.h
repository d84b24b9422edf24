// Where the window program keeps its settings files and its data disk.
//
// Portable: when the machine configuration file lies beside the program, everything stays
// there, as in the build folder. Otherwise (an installed program, whose folder the user
// cannot write) the settings files live in $XDG_CONFIG_HOME/tarquil/ (~/.config/tarquil/)
// and the data disk in $XDG_DATA_HOME/tarquil/ (~/.local/share/tarquil/); at the first start
// they are made from the defaults the installation put into share/tarquil/.
#pragma once

#include <functional>
#include <string>

struct SSettingsLocation {
    // The folder of Tarquil1.ini and Tarquil2.ini, with its trailing separator.
    std::string settingsDirectory;
    // The folder of the user's data disk, with its trailing separator; the settings folder
    // when portable.
    std::string dataDirectory;
    bool portable = false;
};

// Reads an environment variable: null when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// The rule above, for a program in `programDirectory` (with its separator). Relative XDG
// values are ignored, as the XDG rules ask.
SSettingsLocation FindSettingsLocation(const std::string& programDirectory,
                                       const EnvironmentLookup& environment);

// The installed defaults, relative to the program's folder (bin/ -> share/tarquil/).
std::string InstalledDefaultsDirectory(const std::string& programDirectory,
                                       const std::string& relativeDataDirectory);

// First start of a non-portable location: creates the folders and, when the settings folder
// has no machine configuration yet, copies the defaults from `defaultsDirectory`: both
// settings files (the user settings with the folders of the installed disks and the data
// disk filled in) and the data disk. Files that exist are the user's and stay as they are.
// False with a reason when something could not be made (the machine start then reports the
// missing file as usual).
bool PrepareSettingsLocation(const SSettingsLocation& location,
                             const std::string& defaultsDirectory, std::string& error);
