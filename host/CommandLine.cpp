#include "host/CommandLine.h"

#include "support/TextFunctions.h"

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty())
            text += ' ';
        const bool quote =
            argument.empty() || argument.find_first_of(" \t\r\n") != std::string::npos;
        text += quote ? "\"" + argument + "\"" : argument;
    }
    return text;
}

bool HasNoAskOption(const std::string& commandLine) {
    std::string token;
    size_t position = 0;
    bool found = false;
    while (qm::NextToken(commandLine, token, position)) {
        if (qm::LowerCopy(token) == "-noask")
            found = true;
    }
    return found;
}

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The slot a -disk or -boot number names, read as the scanners read it; empty when the
// machine has no such slot.
std::string MissingSlot(const std::string& option, const std::string& number, int32_t slotCount) {
    const int32_t slot = qm::StrToInt(number);
    if (slotCount < 0 || (slot >= 0 && slot < slotCount) || (option == "-boot" && slot < 0))
        return {};
    const std::string slots = slotCount == 0 ? "the machine has no disk slots"
                              : slotCount == 1
                                  ? "the machine has slot 0 only"
                                  : "the machine has slots 0 to " + std::to_string(slotCount - 1);
    return Quoted(option + " " + number) + " names no slot: " + slots;
}

} // namespace

std::vector<std::string> FindCommandLineProblems(const std::string& commandLine,
                                                 int32_t slotCount) {
    std::vector<std::string> problems;
    std::string token;
    size_t position = 0;
    while (qm::NextToken(commandLine, token, position)) {
        const std::string option = qm::LowerCopy(token);
        if (option == "-noask" || option == "-disksempty")
            continue;
        // The window program's own: the file a session is recorded into.
        if (option == "-record") {
            if (!qm::NextToken(commandLine, token, position))
                break;
            continue;
        }
        if (option != "-disk" && option != "-boot") {
            problems.push_back(Quoted(token) + " is not understood" +
                               (token.starts_with("-") ? " (see --help)" : ""));
            continue;
        }
        // A missing value is already an error box of the machine's start.
        std::string number;
        if (!qm::NextToken(commandLine, number, position))
            break;
        if (std::string missing = MissingSlot(option, number, slotCount); !missing.empty())
            problems.push_back(std::move(missing));
        std::string image;
        if (option == "-disk" && !qm::NextToken(commandLine, image, position))
            break;
    }
    return problems;
}

std::string WindowProgramUsage() {
    return "Usage: tarquil [OPTIONS] [FILE.disk]\n"
           "Runs the Tarquil machine in a window, configured by Tarquil1.ini and Tarquil2.ini\n"
           "(beside the program when Tarquil1.ini is there, else in ~/.config/tarquil/).\n"
           "A FILE.disk given by itself goes into the first free slot and the machine boots it.\n"
           "\n"
           "Options (in any letter case):\n"
           "  -disk N FILE   start with the disk image FILE in slot N (EMPTY: no disk)\n"
           "  -disksempty    start with every slot empty, the remembered disks included\n"
           "  -boot N        boot from the first disk with a boot image from slot N on\n"
           "  -noask         exit without asking\n"
           "  -record FILE   record the session into FILE (tarquil-run --replay runs it again)\n"
           "  --help         print this help and exit\n"
           "  --version      print the version and exit\n";
}

std::string GetRecordOption(const std::string& commandLine) {
    std::string token;
    size_t position = 0;
    std::string file;
    while (qm::NextToken(commandLine, token, position)) {
        if (qm::LowerCopy(token) != "-record")
            continue;
        if (!qm::NextToken(commandLine, token, position))
            break;
        file = token;
    }
    return file;
}
