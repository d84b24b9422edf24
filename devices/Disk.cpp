#include "devices/Disk.h"

#include "core/Kernel.h"
#include "core/Machine.h"
#include "support/ErrorStack.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* const kTag = ".\\disks";

// The data size is a 32-bit number, so a larger image cannot be addressed as a whole.
constexpr off_t kLargestImage = off_t{1} << 32;

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// The images that slots of this process hold, by file identity, with the number of slots
// holding each: a lock that fails on an image no slot here holds is another program's.
std::map<std::pair<uint64_t, uint64_t>, int>& ImagesHeldHere() {
    static std::map<std::pair<uint64_t, uint64_t>, int> held;
    return held;
}

std::pair<uint64_t, uint64_t> Identity(const struct stat& info) {
    return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

// The user may not write the file (permissions, a read-only file system): it can still be
// read.
bool RefusesWriting(int error) {
    return error == EACCES || error == EPERM || error == EROFS;
}

// Moves all `count` bytes through `step` (read or write at the file position); false when
// the host stops short.
template <typename Step>
bool TransferAll(Step step, uint32_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = step(done, count - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

CDisk::CDisk(bool readOnly, bool remember, uint32_t slot)
    : readOnly(readOnly), remember(remember), slot(slot) {}

CDisk::~CDisk() {
    Eject();
}

bool CDisk::Insert(const std::string& name) {
    if (HasDisk()) {
        if (name == fileName)
            return true;
        Eject();
    }
    keptName.clear();
    bool forReading = false;
    const int fd = OpenImage(name, forReading);
    uint32_t size = 0;
    struct stat info {};
    if (fd >= 0 && CheckImage(fd, size) && fstat(fd, &info) == 0) {
        file = fd;
        fileName = name;
        dataSize = size;
        imageReadOnly = forReading;
        identity = Identity(info);
        ++ImagesHeldHere()[identity];
        PostDiskEvent(true);
        return true;
    }
    if (fd >= 0)
        close(fd);
    qm::PushError("Cannot insert disk " + Quoted(name) + " into slot " + std::to_string(slot), kTag,
                  320);
    return false;
}

namespace {

int OpenFile(const std::string& name, bool forReading) {
    // Non-blocking, so that a named pipe cannot stall the machine at the open.
    const int flags = (forReading ? O_RDONLY : O_RDWR) | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd;
    do {
        fd = open(name.c_str(), flags);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

int CDisk::OpenImage(const std::string& name, bool& forReading) const {
    const std::string message = "Cannot open file " + Quoted(name);
    // A name with a zero byte inside would silently open a shorter name.
    if (name.find('\0') != std::string::npos) {
        qm::SetSystemErrorCode(EINVAL, message, kTag, 283);
        return -1;
    }
    forReading = readOnly;
    int fd = OpenFile(name, forReading);
    if (fd < 0 && !forReading && RefusesWriting(errno)) {
        forReading = true;
        fd = OpenFile(name, forReading);
    }
    if (fd < 0) {
        qm::SetSystemError(message, kTag, 283);
        return -1;
    }
    struct stat info {};
    int error = 0;
    bool heldElsewhere = false;
    if (fstat(fd, &info) != 0) {
        error = errno;
    } else if (S_ISDIR(info.st_mode)) {
        error = EISDIR;
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
    } else if (flock(fd, (forReading ? LOCK_SH : LOCK_EX) | LOCK_NB) != 0) {
        // A writable image belongs to one slot alone; read-only ones may share it.
        error = errno;
        heldElsewhere = error == EWOULDBLOCK && ImagesHeldHere().count(Identity(info)) == 0;
    } else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = errno;
    }
    if (error != 0) {
        close(fd);
        if (heldElsewhere) {
            qm::SetSystemErrorCode(error, "The image is in use by another Tarquil", kTag, 283);
            qm::PushError(message, kTag, 283);
        } else {
            qm::SetSystemErrorCode(error, message, kTag, 283);
        }
        return -1;
    }
    return fd;
}

bool CDisk::CheckImage(int fd, uint32_t& size) const {
    char header[kHeaderSize] = {};
    const bool headerRead = TransferAll(
        [&](size_t done, size_t left) {
            return pread(fd, header + done, left, static_cast<off_t>(done));
        },
        kMagicLength);
    struct stat info {};
    // A 15-byte image has a magic but not even the reserved byte, so no data area.
    if (!headerRead || fstat(fd, &info) != 0 || info.st_size < off_t{kHeaderSize} ||
        info.st_size > kLargestImage) {
        qm::SetError("Cannot read file header", kTag, 292);
        return false;
    }
    // Compared as a zero-terminated text: a zero byte inside the magic shortens it.
    if (std::strcmp(header, kMagic) != 0) {
        qm::SetError("Invalid file header", kTag, 298);
        return false;
    }
    if (lseek(fd, kHeaderSize, SEEK_SET) < 0) {
        qm::SetError("Cannot read file header", kTag, 292);
        return false;
    }
    size = static_cast<uint32_t>(info.st_size - kHeaderSize);
    return true;
}

void CDisk::Eject() {
    keptName.clear();
    if (!HasDisk())
        return;
    if (--ImagesHeldHere()[identity] == 0)
        ImagesHeldHere().erase(identity);
    // What the program wrote reaches the file at once; at the eject (and so at every
    // machine stop) it is also put on the disk, so that a power failure after the stop
    // cannot take it.
    if (unsynced)
        fdatasync(file);
    unsynced = false;
    close(file);
    file = -1;
    fileName.clear();
    imageReadOnly = false;
    dataSize = 0;
    PostDiskEvent(false);
}

void CDisk::PostDiskEvent(bool inserted) const {
    if (!machine || !machine->kernel)
        return;
    if (inserted)
        machine->kernel->PostDiskInsertedEvent(slot);
    else
        machine->kernel->PostDiskEjectedEvent(slot);
}

bool CDisk::GetSize(uint32_t& size) const {
    if (!HasDisk())
        return false;
    size = dataSize;
    return true;
}

bool CDisk::Seek(uint32_t position) {
    if (!HasDisk() || position >= dataSize)
        return false;
    return lseek(file, off_t{kHeaderSize} + position, SEEK_SET) >= 0;
}

bool CDisk::Tell(uint32_t& position) const {
    if (!HasDisk())
        return false;
    const off_t offset = lseek(file, 0, SEEK_CUR);
    if (offset < off_t{kHeaderSize})
        return false;
    position = static_cast<uint32_t>(offset - kHeaderSize);
    return true;
}

bool CDisk::Read(void* buffer, uint32_t count) {
    uint32_t position;
    if (!Tell(position) || uint64_t{position} + count > dataSize)
        return false;
    auto* bytes = static_cast<char*>(buffer);
    return TransferAll([&](size_t done, size_t left) { return read(file, bytes + done, left); },
                       count);
}

bool CDisk::Write(const void* buffer, uint32_t count) {
    uint32_t position;
    if (IsReadOnly() || !Tell(position) || uint64_t{position} + count > dataSize)
        return false;
    const auto* bytes = static_cast<const char*>(buffer);
    unsynced = true;
    return TransferAll([&](size_t done, size_t left) { return write(file, bytes + done, left); },
                       count);
}
