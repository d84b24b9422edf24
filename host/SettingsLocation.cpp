#include "host/SettingsLocation.h"

#include "host/SettingsFiles.h"
#include "support/TextFunctions.h"

#include <filesystem>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const char* const kDataDiskName = "data.disk";

std::string WithSeparator(std::string directory) {
    if (directory.empty() || directory.back() != '/')
        directory += '/';
    return directory;
}

std::string WithoutSeparator(std::string directory) {
    while (directory.size() > 1 && directory.back() == '/')
        directory.pop_back();
    return directory;
}

std::string HomeDirectory(const EnvironmentLookup& environment) {
    const char* home = environment("HOME");
    if (home && *home)
        return home;
    const passwd* entry = getpwuid(getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "/";
}

// An XDG base folder: the variable when it holds an absolute path, else the home's default.
std::string BaseDirectory(const EnvironmentLookup& environment, const char* variable,
                          const char* homeRelative) {
    const char* value = environment(variable);
    if (value && value[0] == '/')
        return WithSeparator(value);
    return WithSeparator(HomeDirectory(environment)) + homeRelative;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

bool CopyIfMissing(const std::string& from, const std::string& to, std::string& error) {
    std::error_code code;
    if (fs::exists(to, code))
        return true;
    if (!fs::copy_file(from, to, code)) {
        error = "cannot copy " + from + " to " + to + ": " + code.message();
        return false;
    }
    return true;
}

} // namespace

SSettingsLocation FindSettingsLocation(const std::string& programDirectory,
                                       const EnvironmentLookup& environment) {
    SSettingsLocation location;
    std::error_code code;
    if (fs::is_regular_file(programDirectory + kMachineConfigFileName, code)) {
        location.portable = true;
        location.settingsDirectory = WithSeparator(programDirectory);
        location.dataDirectory = location.settingsDirectory;
        return location;
    }
    location.settingsDirectory =
        BaseDirectory(environment, "XDG_CONFIG_HOME", ".config/") + "tarquil/";
    location.dataDirectory =
        BaseDirectory(environment, "XDG_DATA_HOME", ".local/share/") + "tarquil/";
    return location;
}

std::string InstalledDefaultsDirectory(const std::string& programDirectory,
                                       const std::string& relativeDataDirectory) {
    return WithSeparator((fs::path(programDirectory) / relativeDataDirectory).lexically_normal());
}

bool PrepareSettingsLocation(const SSettingsLocation& location,
                             const std::string& defaultsDirectory, std::string& error) {
    if (location.portable)
        return true;
    std::error_code code;
    for (const std::string& directory : {location.settingsDirectory, location.dataDirectory}) {
        fs::create_directories(directory, code);
        if (code) {
            error = "cannot create " + directory + ": " + code.message();
            return false;
        }
    }
    // The machine configuration is what makes a settings folder: once it exists, the user
    // owns the folder, and a missing user settings file is reported as it always is.
    const std::string machineConfig = location.settingsDirectory + kMachineConfigFileName;
    if (fs::exists(machineConfig, code))
        return true;

    const std::string userSettings = location.settingsDirectory + kUserSettingsFileName;
    if (!fs::exists(userSettings, code)) {
        std::string text;
        if (!qm::ReadWholeFile(defaultsDirectory + kUserSettingsFileName, text)) {
            error = "cannot read " + defaultsDirectory + kUserSettingsFileName;
            return false;
        }
        ReplaceAll(text, "@TARQUIL_SHARE_DIR@", WithoutSeparator(defaultsDirectory));
        ReplaceAll(text, "@TARQUIL_DATA_DIR@", WithoutSeparator(location.dataDirectory));
        if (!qm::ReplaceWholeFile(userSettings, text)) {
            error = "cannot write " + userSettings;
            return false;
        }
    }
    return CopyIfMissing(defaultsDirectory + kDataDiskName, location.dataDirectory + kDataDiskName,
                         error) &&
           CopyIfMissing(defaultsDirectory + kMachineConfigFileName, machineConfig, error);
}
