#include "support/Error.h"

#include "support/ErrorLog.h"
#include "support/TextFunctions.h"

#include <cstdio>
#include <ctime>
#include <pwd.h>
#include <unistd.h>

namespace qm {
namespace {

// Every report gets the next number of the process, starting at 1.
uint32_t NextReportNumber() {
    static uint32_t counter = 0;
    return ++counter;
}

std::string CurrentUtcTime() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4u-%.2u-%.2u %.2u:%.2u:%.2u",
                  static_cast<unsigned>(utc.tm_year + 1900), static_cast<unsigned>(utc.tm_mon + 1),
                  static_cast<unsigned>(utc.tm_mday), static_cast<unsigned>(utc.tm_hour),
                  static_cast<unsigned>(utc.tm_min), static_cast<unsigned>(utc.tm_sec));
    return buffer;
}

bool ComputerName(std::string& name) {
    char buffer[256] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0')
        return false;
    name = buffer;
    return true;
}

bool UserName(std::string& name) {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr ||
        found->pw_name == nullptr || found->pw_name[0] == '\0')
        return false;
    name = found->pw_name;
    return true;
}

} // namespace

CError::CError(std::string message, std::string sourceFile, int32_t line)
    : message(std::move(message)), sourceFile(std::move(sourceFile)), line(line) {}

void CError::Report(CErrorLog& log) const {
    log.WriteLine("");
    log.WriteLine("Środowisko");
    log.WriteLine("  Czas       : " + CurrentUtcTime());
    std::string name;
    if (ComputerName(name))
        log.WriteLine("  Komputer   : " + name);
    if (UserName(name))
        log.WriteLine("  Użytkownik : " + name);
    log.WriteLine("  Plik       : " + ProgramPath());
    if (!sourceFile.empty() || line >= 0) {
        log.WriteLine("Źródło");
        if (!sourceFile.empty())
            log.WriteLine("  Plik       : " + sourceFile);
        if (line >= 0)
            log.WriteLine("  Wiersz     : " + IntToStr(line));
    }
    log.WriteLine("Błąd");
    log.WriteLine("  Numer      : " + UIntToStr(NextReportNumber()));
    log.WriteLine("  Komunikat  : " + message);
}

} // namespace qm
