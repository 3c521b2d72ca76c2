#pragma once
// The storage devices of the board: which one records (the SD card or the
// internal eMMC), whether a card or stick is present, whether the recording
// medium carries the pre-allocated layout, and whether the card is worn out.

#include "dashrec/core/Singleton.h"

#include <cstdint>
#include <string>

namespace vk {

class Storage : public Singleton<Storage> {
public:
    const std::string SD_MOUNT_POSITION = "/tmp/sd";
    const std::string USB_MOUNT_POSITION = "/tmp/usb";
    const std::string mmcblk0 = "/dev/mmcblk0";
    const std::string mmcblk0p1 = "/dev/mmcblk0p1";
    const std::string mmcblk1 = "/dev/mmcblk1";
    const std::string mmcblk1p1 = "/dev/mmcblk1p1";
    const std::string sda = "/dev/sda";
    const std::string sda1 = "/dev/sda1";

    const std::string& SdDevice() const { return mmcblk1; }
    const std::string& EmmcDevice() const { return mmcblk0; }
    const std::string& UsbDevice() const { return sda; }
    const std::string& SdPartition() const { return mmcblk1p1; }
    const std::string& EmmcPartiion() const { return mmcblk0p1; }
    const std::string& UsbPartition() const { return sda1; }
    const std::string& CurrentDevice();
    const std::string& CurrentPartition();

    bool DoesDeviceExist();
    bool IsSdCardInserted();
    bool IsUsbMemoryInserted();
    bool IsSdCardDetected();
    bool CheckDevice();
    bool IsInvalidFileSystem();
    bool IsWritable();
    bool IsLifeTimeOut();

    // The SD card's wear test for a layout of `normalRecords` on `blocks`
    // sectors after `cycles` completed passes.
    static bool IsLifeTimeOut(int normalRecords, int64_t blocks, int cycles);
    // True when `path` exists and is a block device.
    static bool IsBlockDevice(const std::string& path);

private:
    bool IsInternal();

    int _normalRecords = 0;
    int64_t _blocks = 0;
    char _fileSystem = 0;
};

} // namespace vk
