// A disk slot backed by a host file: holds at most one open disk image and moves bytes
// between the image's data area and the machine.
//
// An image is a file that starts with the 15-byte magic "Tarquil Disk 10" and one reserved
// byte; everything behind those 16 bytes is the data area, whose size is fixed while the
// image stays in the slot. The data area has one current position, shared by Seek, Tell,
// Read and Write.
#pragma once

#include "core/DiskSlot.h"

#include <cstdint>
#include <string>
#include <utility>

class CDisk : public CDiskSlot {
public:
    CDisk(bool readOnly, bool remember, uint32_t slot);
    ~CDisk() override;

    // Takes the slot's first image from the remembered name and the -disk / -disksempty
    // options. False only for a malformed -disk option (reasons on the error stack).
    bool Init(const qm::CINIFile& machineConfig, const qm::CINIFile& userSettings,
              const std::string& commandLine) override;
    // A remembering slot writes the name of its image (empty when it holds none).
    void SaveSettings(qm::CINIFile& userSettings) override;

    // Opens the image; on failure the slot is empty and the reasons are on the error stack.
    // A file the user may not write goes into a writable slot read-only.
    bool Insert(const std::string& fileName) override;
    // Also forgets a name kept from a failed start: the user emptied the slot.
    void Eject() override;

    bool GetSize(uint32_t& size) const override;
    bool Seek(uint32_t position) override;
    bool Tell(uint32_t& position) const override;
    bool Read(void* buffer, uint32_t count) override;
    bool Write(const void* buffer, uint32_t count) override;

    bool HasDisk() const override { return file >= 0; }
    // The slot's own flag, or the image was opened for reading only.
    bool IsReadOnly() const override { return readOnly || imageReadOnly; }
    bool IsRemembering() const override { return remember; }
    uint32_t GetSlot() const override { return slot; }
    const std::string& GetFileName() const override { return fileName; }

    // The image's magic and the size of its header.
    static constexpr const char* kMagic = "Tarquil Disk 10";
    static constexpr uint32_t kMagicLength = 15;
    static constexpr uint32_t kHeaderSize = 16;

private:
    // Opens and locks the file, for reading only when the slot is read-only or the file
    // refuses writing (`forReading` tells which it was); -1 with the reasons on the error
    // stack.
    int OpenImage(const std::string& name, bool& forReading) const;
    // Checks the header and the size; false with the reason on the error stack.
    bool CheckImage(int fd, uint32_t& size) const;
    void PostDiskEvent(bool inserted) const;

    const bool readOnly;
    const bool remember;
    const uint32_t slot;
    int file = -1; // the open image's descriptor; -1 while the slot is empty
    std::string fileName;
    bool imageReadOnly = false; // the image is open for reading only, whatever the slot is
    // The image name the slot was to start with but could not open this time (held by
    // another machine, on a drive not mounted yet): a remembering slot keeps it for the
    // next start until the user puts something else into the slot or empties it.
    std::string keptName;
    // The open image's file identity (device, inode), to tell whether another slot of this
    // program holds an image that refuses a lock.
    std::pair<uint64_t, uint64_t> identity{};
    uint32_t dataSize = 0;
    bool unsynced = false; // written since the image was last flushed to the disk
};
