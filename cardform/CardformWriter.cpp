// The layout writer: MBR, boot sector and backup, FSInfo, both FATs with one
// contiguous chain per file, and the directories with every pre-allocated,
// hidden recording file. Only metadata is written; the files' clusters are
// left as they are.

#include "cardform/BlockDevice.h"
#include "cardform/Cardform.h"
#include "cardform/CardformCommon.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Fixed time stamps and attributes of each kind of directory entry.
struct EntryStamp {
    uint8_t attribute;
    uint8_t tenths;
    uint16_t time;
    uint16_t date;
};
constexpr EntryStamp ROOT_FOLDER = {0x10, 100, 0x1340, 0x4F39};
constexpr EntryStamp DOT_FOLDER = {0x10, 0, 0x5263, 0x4F3A};
constexpr EntryStamp LOG_FILE = {0x20, 100, 0x444D, 0x4F39};
constexpr EntryStamp PARKING_FOLDER = {0x10, 100, 0x444D, 0x4F39};
constexpr EntryStamp RECORDING_FILE = {0x22, 100, 0x4304, 0x4F39};

constexpr char NAME_SYSTEM[] = "SYSTEM     ";
constexpr char NAME_PARKING[] = "PARKING    ";
constexpr char NAME_NORMAL[] = "NORMAL     ";
constexpr char NAME_EVENT[] = "EVENT      ";
constexpr char NAME_MANUAL[] = "MANUAL     ";
constexpr char NAME_DOT[] = ".          ";
constexpr char NAME_DOT_DOT[] = "..         ";
constexpr char NAME_LOG_COUNTERS[] = "HISTORY DM0";
constexpr char NAME_LOG_RING[] = "HISTORY DM1";
constexpr uint32_t LOG_FILE_SIZE = Cardform::LOG_FILE_CLUSTERS * Cardform::CLUSTER_SIZE;

constexpr int BACKUP_BOOT_SECTOR = 6;
constexpr int FSINFO_SECTOR = 1;
constexpr uint32_t FSINFO_NO_HINT = 0xFFFFFFFF;
constexpr uint32_t BOOT_HIDDEN_SECTORS = 2048;
constexpr uint32_t VOLUME_SERIAL = 0xEEEEEEEE;

// Prints the message at offset 119 (with its terminating 0), waits for a key and reboots.
constexpr uint8_t BOOT_CODE[] = {0x0E, 0x1F, 0xBE, 0x77, 0x7C, 0xAC, 0x22, 0xC0, 0x74, 0x0B,
                                 0x56, 0xB4, 0x0E, 0xBB, 0x07, 0x00, 0xCD, 0x10, 0x5E, 0xEB,
                                 0xF0, 0x32, 0xE4, 0xCD, 0x16, 0xCD, 0x19, 0xEB, 0xFE};
constexpr char BOOT_MESSAGE[] =
    "This is not a bootable disk.  Please insert a bootable floppy and\r\npress any key to try again ... \r\n";
static_assert(sizeof(BOOT_CODE) == 29 && sizeof(BOOT_MESSAGE) == 101, "boot sector layout");

void FillEntry(uint8_t* entry, const char* name, const EntryStamp& stamp, uint32_t cluster, uint32_t size)
{
    Cardform::SetDirFileName(entry, name);
    Cardform::SetDirFileAttribute(entry, stamp.attribute);
    entry[12] = 0;
    entry[13] = stamp.tenths;
    PutLe16(entry + 14, stamp.time);
    PutLe16(entry + 16, stamp.date);
    PutLe16(entry + 18, stamp.date);
    PutLe16(entry + 22, stamp.time);
    PutLe16(entry + 24, stamp.date);
    Cardform::SetDirFirstCluster(entry, cluster);
    Cardform::SetDirFileSize(entry, size);
}

void FillDotEntries(uint8_t* directory, uint32_t ownCluster, uint32_t parentCluster)
{
    FillEntry(directory, NAME_DOT, DOT_FOLDER, ownCluster, 0);
    FillEntry(directory + Cardform::ENTRY_SIZE, NAME_DOT_DOT, DOT_FOLDER, parentCluster, 0);
}

} // namespace

int Cardform::MakeDisk()
{
    if (UpdateInfo() != 0) {
        puts("Write FAIL");
        return -1;
    }
    MakeMBR();
    MakeFATBS();
    return WriteAll();
}

void Cardform::MakeMBR()
{
    memset(mWrMasterBootRecord, 0, sizeof(mWrMasterBootRecord));
    // A card keeps the signature 0xDEADFAC2 it was given; any other gets the usual one.
    const uint32_t signature = mSerialNumber == DISK_SIGNATURE_KEPT ? DISK_SIGNATURE_KEPT : DISK_SIGNATURE;
    PutLe32(mWrMasterBootRecord + MBR_DISK_SIGNATURE_OFFSET, signature);
    uint8_t* partition = mWrMasterBootRecord + MBR_PARTITION_OFFSET;
    partition[4] = PARTITION_TYPE_FAT32_LBA;
    PutLe32(partition + 8, static_cast<uint32_t>(FIRST_SECTOR));
    PutLe32(partition + 12, mPtTotalSectors);
    PutLe16(mWrMasterBootRecord + MBR_SIGNATURE_OFFSET, 0xAA55);
}

void Cardform::MakeFATBS()
{
    uint8_t* boot = mWrFat32BootSector;
    memset(boot, 0, SECTOR_SIZE);
    const uint8_t jump[] = {0xEB, 0x58, 0x90};
    memcpy(boot, jump, sizeof(jump));
    memcpy(boot + 3, "mkdosfs", 8);
    PutLe16(boot + 11, SECTOR_SIZE);
    boot[13] = SECTORS_PER_CLUSTER;
    PutLe16(boot + 14, RESERVED_SECTORS);
    boot[16] = 2;
    boot[21] = 0xF8;
    PutLe32(boot + 28, BOOT_HIDDEN_SECTORS);
    PutLe32(boot + BOOT_TOTAL_SECTORS_OFFSET, mPtTotalSectors);
    PutLe32(boot + BOOT_SECTORS_PER_FAT_OFFSET, static_cast<uint32_t>(mSectorsPerFat));
    PutLe32(boot + 44, static_cast<uint32_t>(mRootDirectoryStartCluster));
    PutLe16(boot + 48, FSINFO_SECTOR);
    PutLe16(boot + 50, BACKUP_BOOT_SECTOR);
    boot[64] = 0x80;
    boot[66] = 0x29;
    PutLe32(boot + 67, VOLUME_SERIAL);
    memcpy(boot + 71, "DVR        ", 11);
    memcpy(boot + 82, "FAT32   ", 8);
    memcpy(boot + 90, BOOT_CODE, sizeof(BOOT_CODE));
    memcpy(boot + 119, BOOT_MESSAGE, sizeof(BOOT_MESSAGE));
    PutLe16(boot + MBR_SIGNATURE_OFFSET, 0xAA55);
}

void Cardform::MakeSIS()
{
    uint8_t* info = mWrSystemInformationSector;
    memset(info, 0, SECTOR_SIZE);
    memcpy(info, "RRaA", 4);
    memcpy(info + 484, "rrAa", 4);
    PutLe32(info + 488, static_cast<uint32_t>(FreeClusters()));
    PutLe32(info + 492, FSINFO_NO_HINT);
    PutLe16(info + MBR_SIGNATURE_OFFSET, 0xAA55);
}

int32_t Cardform::FreeClusters() const
{
    return mDataTotalClusters - static_cast<int32_t>(mCurrentFatOffset - 2);
}

int Cardform::WriteAll()
{
    if (OpenDevice() != 0) {
        puts("Write FAIL");
        return -1;
    }
    if (!mEmmc) {
        if (BlockDeviceWrite(mFd, mWrMasterBootRecord, SECTOR_SIZE) != SECTOR_SIZE) {
            puts("MBR write error...");
            CloseDevice();
            return -1;
        }
        puts("MBR write OK...");
        if (ZeroBlocks(1, static_cast<uint32_t>(FIRST_SECTOR - 1)) != 0) {
            CloseDevice();
            return -1;
        }
    }
    int result = WriteVolumeSector(0, mWrFat32BootSector, "FATBS1 write error...");
    if (result == 0)
        result = WriteVolumeSector(BACKUP_BOOT_SECTOR, mWrFat32BootSector, "FATBS2 write error...");
    if (result == 0)
        result = WriteDirectories();
    if (result == 0) {
        MakeSIS();
        result = WriteVolumeSector(FSINFO_SECTOR, mWrSystemInformationSector, "SIS write error...");
    }
    if (result == 0)
        printf("Free Clusters = %d\n", FreeClusters());
    CloseDevice();
    // A card whose buffers could not be written out is not laid out.
    if (result != 0 || ForceFlush() != 0) {
        puts("Write FAIL");
        return -1;
    }
    puts("Write OK");
    return 0;
}

int Cardform::SeekSector(uint32_t sector)
{
    const off_t offset = static_cast<off_t>(sector) * SECTOR_SIZE;
    if (lseek(mFd, offset, SEEK_SET) != offset) {
        printf("lseek error...offset=%lld\n", static_cast<long long>(offset));
        return -1;
    }
    return 0;
}

int Cardform::WriteVolumeSector(int volumeSector, const uint8_t* sector, const char* failure)
{
    if (SeekSector(static_cast<uint32_t>(FIRST_SECTOR + volumeSector)) != 0)
        return -1;
    if (BlockDeviceWrite(mFd, sector, SECTOR_SIZE) != SECTOR_SIZE) {
        puts(failure);
        return -1;
    }
    return 0;
}

int Cardform::WriteDirectories()
{
    AllocMem();
    MakeMemDirectories();
    int result = 0;
    for (const Area& area : Directories()) {
        result = WriteSectors(area.image->data(), static_cast<uint32_t>(area.startSector),
                              static_cast<uint32_t>(area.clusters * SECTORS_PER_CLUSTER));
        if (result != 0)
            break;
    }
    const auto* fat = reinterpret_cast<const uint8_t*>(mMemFat.data());
    for (int copy = 0; copy < 2 && result == 0; ++copy)
        result = WriteSectors(fat, static_cast<uint32_t>(FIRST_SECTOR + RESERVED_SECTORS + copy * mSectorsPerFat),
                              static_cast<uint32_t>(mSectorsPerFat));
    FreeMem();
    return result;
}

std::vector<Cardform::Area> Cardform::Directories()
{
    std::vector<Area> areas = {
        {&mMemRootDirectory, mRootDirectoryStartSector, mRootDirectoryClusters},
        {&mMemLogDirectory, mLogDirectoryStartSector, mLogDirectoryClusters},
    };
    if (HasParkingFolder())
        areas.push_back({&mMemParkingDirectory, mParkingDirectoryStartSector, mParkingDirectoryClusters});
    areas.push_back({&mMemNormalDirectory, mNormalDirectoryStartSector, mNormalDirectoryClusters});
    areas.push_back({&mMemEventDirectory, mEventDirectoryStartSector, mEventDirectoryClusters});
    areas.push_back({&mMemManualDirectory, mManualDirectoryStartSector, mManualDirectoryClusters});
    if (HasParking())
        areas.push_back(
            {&mMemParkingNormalDirectory, mParkingNormalDirectoryStartSector, mParkingNormalDirectoryClusters});
    if (HasParkingFolder())
        areas.push_back(
            {&mMemParkingEventDirectory, mParkingEventDirectoryStartSector, mParkingEventDirectoryClusters});
    return areas;
}

std::vector<Cardform::RecordFolder> Cardform::RecordFolders()
{
    static const RecordNames NORMAL = {".NORM90925-%06dF.TMP", "N%06dFTMP", ".NORM90925-%06dR.TMP", "N%06dRTMP",
                                       ".NORM", "NORM"};
    static const RecordNames EVENT = {".EVEN90925-%06dF.TMP", "E%06dFTMP", ".EVEN90925-%06dR.TMP", "E%06dRTMP",
                                      ".EVEN", "EVEN"};
    static const RecordNames MANUAL = {".MANU90925-%06dF.TMP", "M%06dFTMP", ".MANU90925-%06dR.TMP", "M%06dRTMP",
                                       ".MANU", "MANU"};
    static const RecordNames PARKING_NORMAL = {".PNOR90925-%06dF.TMP", "P%06dFTMP", ".PNOR90925-%06dR.TMP",
                                               "P%06dRTMP", ".PNOR", "PNOR"};
    static const RecordNames PARKING_EVENT = {".PEVE90925-%06dF.TMP", "P%06dFTMP", ".PEVE90925-%06dR.TMP",
                                              "P%06dRTMP", ".PEVE", "PEVE"};
    static const RecordNames PARKING = {".PARK90925-%06dF.TMP", "P%06dFTMP", ".PARK90925-%06dR.TMP", "P%06dRTMP",
                                        ".PARK", "PARK"};

    std::vector<RecordFolder> folders = {
        {&mMemNormalDirectory, mNormalDirectoryStartCluster, 0, &NORMAL, mNormalRecords, mNormalFrontFileClusters,
         mNormalRearFileClusters, "VerifyNormal. records=%d, front_file_size=%d, rear_file_size=%d\n"},
        {&mMemEventDirectory, mEventDirectoryStartCluster, 0, &EVENT, mEventRecords, mEventFrontFileClusters,
         mEventRearFileClusters, "VerifyEvent. records=%d, front_file_size=%d, rear_file_size=%d\n"},
        {&mMemManualDirectory, mManualDirectoryStartCluster, 0, &MANUAL, mManualRecords, mManualFrontFileClusters,
         mManualRearFileClusters, "VerifyManual. records=%d, front_file_size=%d, rear_file_size=%d\n"},
    };
    if (HasParking() && mMstarPark) {
        folders.push_back({&mMemParkingNormalDirectory, mParkingNormalDirectoryStartCluster, 0, &PARKING,
                           mParkingNormalRecords, mParkingFrontFileClusters, mParkingRearFileClusters,
                           "VerifyParking. records=%d, front_file_size=%d, rear_file_size=%d\n"});
    } else if (HasParking()) {
        folders.push_back({&mMemParkingNormalDirectory, mParkingNormalDirectoryStartCluster,
                           mParkingDirectoryStartCluster, &PARKING_NORMAL, mParkingNormalRecords,
                           mParkingFrontFileClusters, mParkingRearFileClusters,
                           "VerifyParkingNormal. records=%d, front_file_size=%d, rear_file_size=%d\n"});
        folders.push_back({&mMemParkingEventDirectory, mParkingEventDirectoryStartCluster,
                           mParkingDirectoryStartCluster, &PARKING_EVENT, mParkingEventRecords,
                           mParkingFrontFileClusters, mParkingRearFileClusters,
                           "VerifyParkingEvent. records=%d, front_file_size=%d, rear_file_size=%d\n"});
    }
    return folders;
}

void Cardform::AllocMem()
{
    mMemFat.assign(static_cast<size_t>(mSectorsPerFat) * SECTOR_SIZE / 4, 0);
    mMemFat[0] = FAT_END_OF_CHAIN;
    mMemFat[1] = 0xFFFFFFFF;
    mCurrentFatOffset = 2;
    for (const Area& area : Directories())
        area.image->assign(static_cast<size_t>(area.clusters) * CLUSTER_SIZE, 0);
}

void Cardform::FreeMem()
{
    std::vector<uint32_t>().swap(mMemFat);
    for (std::vector<uint8_t>* image :
         {&mMemRootDirectory, &mMemLogDirectory, &mMemNormalDirectory, &mMemEventDirectory, &mMemManualDirectory,
          &mMemParkingDirectory, &mMemParkingNormalDirectory, &mMemParkingEventDirectory})
        std::vector<uint8_t>().swap(*image);
}

void Cardform::MakeMemDirectories()
{
    MakeRootDirectory();
    if (HasParkingFolder())
        MakeParkingDirectory();
    for (const RecordFolder& folder : RecordFolders())
        MakeRecordDirectory(folder.image->data(), folder.firstCluster, folder.names->frontLong,
                            folder.names->frontShort, folder.names->rearLong, folder.names->rearShort,
                            folder.records, folder.frontClusters, folder.rearClusters, folder.parentCluster);
}

uint32_t Cardform::TakeClusters(int count)
{
    const uint32_t first = mCurrentFatOffset;
    AddFatElement(mMemFat.data(), count);
    return first;
}

void Cardform::MakeRootDirectory()
{
    uint8_t* root = mMemRootDirectory.data();
    TakeClusters(mRootDirectoryClusters);
    int index = HasParkingFolder() ? 1 : 0;
    FillEntry(root + ENTRY_SIZE * index++, NAME_SYSTEM, ROOT_FOLDER, TakeClusters(mLogDirectoryClusters), 0);
    MakeLogDirectory();
    if (HasParkingFolder())
        FillEntry(root, NAME_PARKING, ROOT_FOLDER, TakeClusters(mParkingDirectoryClusters), 0);
    FillEntry(root + ENTRY_SIZE * index++, NAME_NORMAL, ROOT_FOLDER, TakeClusters(mNormalDirectoryClusters), 0);
    FillEntry(root + ENTRY_SIZE * index++, NAME_EVENT, ROOT_FOLDER, TakeClusters(mEventDirectoryClusters), 0);
    FillEntry(root + ENTRY_SIZE * index++, NAME_MANUAL, ROOT_FOLDER, TakeClusters(mManualDirectoryClusters), 0);
    if (HasParking() && mMstarPark)
        FillEntry(root + ENTRY_SIZE * index, NAME_PARKING, ROOT_FOLDER,
                  TakeClusters(mParkingNormalDirectoryClusters), 0);
}

void Cardform::MakeLogDirectory()
{
    uint8_t* directory = mMemLogDirectory.data();
    FillDotEntries(directory, static_cast<uint32_t>(mLogDirectoryStartCluster), 0);
    FillEntry(directory + 2 * ENTRY_SIZE, NAME_LOG_COUNTERS, LOG_FILE, TakeClusters(LOG_FILE_CLUSTERS),
              LOG_FILE_SIZE);
    FillEntry(directory + 3 * ENTRY_SIZE, NAME_LOG_RING, LOG_FILE, TakeClusters(LOG_FILE_CLUSTERS), LOG_FILE_SIZE);
}

void Cardform::MakeParkingDirectory()
{
    uint8_t* directory = mMemParkingDirectory.data();
    FillDotEntries(directory, static_cast<uint32_t>(mParkingDirectoryStartCluster), 0);
    FillEntry(directory + 2 * ENTRY_SIZE, NAME_NORMAL, PARKING_FOLDER,
              TakeClusters(mParkingNormalDirectoryClusters), 0);
    FillEntry(directory + 3 * ENTRY_SIZE, NAME_EVENT, PARKING_FOLDER, TakeClusters(mParkingEventDirectoryClusters),
              0);
}

void Cardform::MakeRecordDirectory(uint8_t* image, int firstCluster, const char* frontLong, const char* frontShort,
                                   const char* rearLong, const char* rearShort, int records, int frontClusters,
                                   int rearClusters, int parentCluster)
{
    FillDotEntries(image, static_cast<uint32_t>(firstCluster), static_cast<uint32_t>(parentCluster));
    uint8_t* entry = image + 2 * ENTRY_SIZE;
    const auto addFile = [&](const char* longFormat, const char* shortFormat, int record, int clusters) {
        char longName[32];
        char shortName[16];
        snprintf(longName, sizeof(longName), longFormat, record);
        snprintf(shortName, sizeof(shortName), shortFormat, record);
        SetDirFileNameLong(entry, shortName, longName);
        FillEntry(entry + 2 * ENTRY_SIZE, shortName, RECORDING_FILE, TakeClusters(clusters),
                  static_cast<uint32_t>(clusters) * CLUSTER_SIZE);
        entry += FILE_ENTRY_SIZE;
    };
    for (int record = 0; record < records; ++record) {
        addFile(frontLong, frontShort, record, frontClusters);
        if (rearClusters > 0)
            addFile(rearLong, rearShort, record, rearClusters);
    }
}

void Cardform::AddFatElement(uint32_t* fat, int count)
{
    // The model never asks for more than the FAT holds; a bad size must not
    // write past the image.
    if (count <= 0 || mCurrentFatOffset + static_cast<uint64_t>(count) > mMemFat.size())
        return;
    for (int i = 0; i < count - 1; ++i)
        fat[mCurrentFatOffset + i] = mCurrentFatOffset + i + 1;
    fat[mCurrentFatOffset + count - 1] = FAT_END_OF_CHAIN;
    mCurrentFatOffset += static_cast<uint32_t>(count);
}

int Cardform::WriteSectors(const uint8_t* buffer, uint32_t startSector, uint32_t sectors)
{
    const off_t offset = static_cast<off_t>(startSector) * SECTOR_SIZE;
    if (lseek(mFd, offset, SEEK_SET) != offset) {
        printf("WriteSectors lseek error...start sector=%u, nsectors=%u\n", startSector, sectors);
        return -1;
    }
    const size_t bytes = static_cast<size_t>(sectors) * SECTOR_SIZE;
    if (BlockDeviceWrite(mFd, buffer, bytes) != static_cast<ssize_t>(bytes)) {
        printf("WriteSectors write error...start sector=%u, nsectors=%u\n", startSector, sectors);
        return -1;
    }
    printf("WriteSectors OK. start sector=%u, nsectors=%u\n", startSector, sectors);
    return 0;
}

int Cardform::ZeroBlocks(uint32_t startSector, uint32_t sectors)
{
    static const uint8_t ZEROS[256 * SECTOR_SIZE] = {};
    uint32_t done = 0;
    if (SeekSector(startSector) == 0) {
        while (done < sectors) {
            const uint32_t chunk = std::min<uint32_t>(sectors - done, sizeof(ZEROS) / SECTOR_SIZE);
            const ssize_t written = BlockDeviceWrite(mFd, ZEROS, chunk * SECTOR_SIZE);
            done += static_cast<uint32_t>(std::max<ssize_t>(written, 0) / SECTOR_SIZE);
            if (written != static_cast<ssize_t>(chunk * SECTOR_SIZE))
                break;
        }
    }
    if (done == sectors)
        return 0;
    PrintLine('=', 66);
    printf("  Cardform::ZeroBlocks() Failed...sector_num=%d\n", static_cast<int>(startSector + done));
    PrintLine('=', 66);
    return -1;
}

int Cardform::ForceFlush()
{
    const int fd = open(mDeviceName.c_str(), O_RDWR | O_CLOEXEC);
    errno = 0;
    const int result = BlockDeviceFlush(fd);
    const int error = errno;
    PrintLine('=', 73);
    if (result != 0 && error != 0) {
        printf("            Cardform::ForceFlush() Cannot flush. errno=%d\n", error);
        printf("    error=%s\n", strerror(error));
    } else if (result != 0) {
        printf("            Cardform::ForceFlush() Flush returned. result=%d\n", result);
    } else if (error != 0) {
        printf("     Cardform::ForceFlush() Flush returned. zero, but with errno=%d\n", error);
        printf("    error=%s\n", strerror(error));
    } else {
        puts("                     Cardform::ForceFlush() OK");
    }
    PrintLine('=', 73);
    if (fd >= 0)
        close(fd);
    return result == 0 && error == 0 ? 0 : -1;
}
