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
    bool Insert(const std::string& fileName) override;
    void Eject() override;

    bool GetSize(uint32_t& size) const override;
    bool Seek(uint32_t position) override;
    bool Tell(uint32_t& position) const override;
    bool Read(void* buffer, uint32_t count) override;
    bool Write(const void* buffer, uint32_t count) override;

    bool HasDisk() const override { return file >= 0; }
    bool IsReadOnly() const override { return readOnly; }
    bool IsRemembering() const override { return remember; }
    uint32_t GetSlot() const override { return slot; }
    const std::string& GetFileName() const override { return fileName; }

    // The image's magic and the size of its header.
    static constexpr const char* kMagic = "Tarquil Disk 10";
    static constexpr uint32_t kMagicLength = 15;
    static constexpr uint32_t kHeaderSize = 16;

private:
    // Opens and locks the file; -1 with the reasons on the error stack.
    int OpenImage(const std::string& name) const;
    // Checks the header and the size; false with the reason on the error stack.
    bool CheckImage(int fd, uint32_t& size) const;
    void PostDiskEvent(bool inserted) const;

    const bool readOnly;
    const bool remember;
    const uint32_t slot;
    int file = -1; // the open image's descriptor; -1 while the slot is empty
    std::string fileName;
    uint32_t dataSize = 0;
    bool unsynced = false; // written since the image was last flushed to the disk
};
