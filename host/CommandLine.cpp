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
