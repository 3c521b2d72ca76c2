#pragma once
// The storage devices of the board: which one records, and whether a card or
// stick is present.

#include "dashrec/core/Singleton.h"

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

    bool IsSdCardInserted();
};

} // namespace vk
