// A plain-text log that error objects can write their reports to. Each line opens the file,
// appends and closes it again, so nothing stays open between reports; a line that cannot
// be written is dropped without notice.
#pragma once

#include <string>

namespace qm {

class CErrorLog {
public:
    explicit CErrorLog(std::string fileName = {});
    ~CErrorLog();
    CErrorLog(const CErrorLog&) = delete;
    CErrorLog& operator=(const CErrorLog&) = delete;

    // Keeps the file open until Close, so that a burst of lines costs one open.
    bool Open();
    void Close();
    bool IsOpen() const { return isOpen; }

    // Appends text + CR LF.
    void WriteLine(const std::string& text);

    const std::string& GetFileName() const { return fileName; }
    void SetFileName(const std::string& name);

private:
    std::string fileName;
    int handle = -1;
    bool isOpen = false;
};

} // namespace qm
