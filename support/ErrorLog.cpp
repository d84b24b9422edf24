#include "support/ErrorLog.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qm {
namespace {

int OpenForAppending(const std::string& fileName) {
    if (fileName.empty())
        return -1;
    return open(fileName.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
}

void WriteAll(int handle, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = write(handle, text.data() + done, text.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        done += static_cast<size_t>(count);
    }
}

} // namespace

CErrorLog::CErrorLog(std::string fileName) : fileName(std::move(fileName)) {}

CErrorLog::~CErrorLog() {
    Close();
}

bool CErrorLog::Open() {
    if (isOpen)
        return true;
    handle = OpenForAppending(fileName);
    isOpen = handle >= 0;
    return isOpen;
}

void CErrorLog::Close() {
    if (isOpen)
        close(handle);
    handle = -1;
    isOpen = false;
}

void CErrorLog::SetFileName(const std::string& name) {
    Close();
    fileName = name;
}

void CErrorLog::WriteLine(const std::string& text) {
    const std::string line = text + "\r\n";
    if (isOpen) {
        WriteAll(handle, line);
        return;
    }
    const int once = OpenForAppending(fileName);
    if (once < 0)
        return;
    WriteAll(once, line);
    close(once);
}

} // namespace qm
