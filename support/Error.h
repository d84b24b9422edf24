// The root of the support library's error objects. They are thrown by value, caught by
// reference, and can write a formatted report of themselves to an error log.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

class CErrorLog;

class CError {
public:
    CError(std::string message, std::string sourceFile = {}, int32_t line = -1);
    CError(const CError&) = default;
    CError& operator=(const CError&) = default;
    virtual ~CError() = default;

    const std::string& GetText() const { return message; }

    // Writes the report: environment, source (when known) and the error itself. Derived
    // classes add their own block after their base class's.
    virtual void Report(CErrorLog& log) const;

    std::string message;
    std::string sourceFile; // may be empty
    int32_t line = -1;      // -1: no line
};

} // namespace qm
