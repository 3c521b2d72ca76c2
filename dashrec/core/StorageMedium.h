#pragma once
// A backup medium (the SD card while the eMMC records, or a USB stick): mount,
// measure and format it for copies. SdCard and UsbMemory are the two instances.

#include <mutex>
#include <string>
#include <vector>

namespace vk {

class BackupMedium {
public:
    struct Description {
        const std::string& device;
        const std::string& partition;
        const std::string& mountPoint;
        const char* tag;
        // The SD card's mount point is made on every mount, the stick's only when missing.
        bool alwaysMakeMountPoint;
        bool logsMount;
    };

    const std::string RESULT = "/tmp/format.txt";

    void Mount();
    void Unmount();
    void MakeDirectories();
    void Sync();
    bool Format();
    int FreeSpace();
    int TotalSpace();
    bool IsFat();
    int IsIn();
    int MarginSpace() const { return 100; }

protected:
    BackupMedium(const Description& description, std::recursive_mutex& lock);
    virtual ~BackupMedium() = default;

    bool _formatted = false;
    std::vector<char> _result;
    int _resultSize = 0;

private:
    // Runs a command with its output captured in RESULT; true when it exited with 0.
    bool RunCaptured(const char* command);
    // Reads RESULT into _result; false when it cannot be opened.
    bool ReadResult(bool grow);
    bool LayOut();
    bool MakeFileSystem();

    Description _medium;
    std::recursive_mutex& _lock;
};

} // namespace vk
