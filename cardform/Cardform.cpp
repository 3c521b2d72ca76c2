// The layout model: file sizes from height and frame rate, the shares of the
// record types, and the volume geometry with the place of every area.

#include "cardform/Cardform.h"

#include "cardform/BlockDevice.h"
#include "cardform/CardformCommon.h"

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int MIB = 1024 * 1024;

// File sizes in MiB by video height (rows) and frame rate (columns).
constexpr int FPS_COLUMNS[] = {6, 7, 16, 22, 25, 27, 30};
struct FileSizeRow {
    int height;
    int mib[7];
};
constexpr FileSizeRow FILE_SIZES[] = {
    {1440, {22, 23, 44, 58, 66, 70, 78}},
    {1296, {19, 20, 39, 51, 57, 61, 68}},
    {1080, {15, 16, 30, 39, 44, 47, 51}},
    {720, {11, 11, 16, 20, 23, 24, 26}},
};

// Shares of normal, event, manual, parking-normal and parking-event in percent.
struct ShareRow {
    int normal, event, manual, parkingNormal, parkingEvent;
};
constexpr ShareRow SHARES_PARKING = {60, 15, 5, 18, 2};
constexpr ShareRow SHARES_NO_PARKING = {80, 15, 5, 0, 0};
constexpr ShareRow SHARES_MSTAR_SMALL_PARKING = {55, 13, 2, 30, 0};
constexpr ShareRow SHARES_MSTAR_SMALL_NO_PARKING = {85, 13, 2, 0, 0};
constexpr ShareRow SHARES_MSTAR_LARGE_PARKING = {60, 8, 2, 30, 0};
constexpr ShareRow SHARES_MSTAR_LARGE_NO_PARKING = {90, 8, 2, 0, 0};
constexpr uint32_t MSTAR_SMALL_CARD_BLOCKS = 209715200; // 100 GiB

int FpsColumn(int fps)
{
    if (fps == 29)
        fps = 30; // 29 and 30 frames per second share their size
    for (int column = 0; column < 7; ++column)
        if (FPS_COLUMNS[column] == fps)
            return column;
    return -1;
}

// A parking or event file of the alternative parking layout keeps half of
// what lies above 6 MiB.
int ShrinkForMstar(int size)
{
    if (size <= 0)
        return 0;
    return ((size / MIB - 6) * 30 / 60 + 6) * MIB;
}

int ToClusters(int size)
{
    return size / Cardform::CLUSTER_SIZE + (size % Cardform::CLUSTER_SIZE != 0 ? 1 : 0);
}

// Shares `clusters` out as records of a front and a rear file; gives the
// clusters the records take.
int64_t CountFiles(int64_t clusters, int front, int rear, int32_t* files, int32_t* records)
{
    const int perRecord = front + rear;
    const int64_t count = perRecord != 0 ? clusters / perRecord : 0;
    *records = static_cast<int32_t>(count);
    *files = static_cast<int32_t>(rear > 0 ? count * 2 : count);
    return count * perRecord;
}

int32_t DirectoryClusters(int files)
{
    return (Cardform::FILE_ENTRY_SIZE * files + 256 + Cardform::CLUSTER_SIZE - 1) / Cardform::CLUSTER_SIZE;
}

} // namespace

Cardform::~Cardform()
{
    CloseDevice();
}

void Cardform::SetEmmc()
{
    mEmmc = true;
    FIRST_SECTOR = 0;
}

void Cardform::SetMstarPark()
{
    mMstarPark = true;
}

int Cardform::Init2(const char* device, int frontHeight, int rearHeight, int fps, int parkingFps)
{
    const int normalFront = GetFileSize(frontHeight, fps);
    // The rear camera records at 30 frames per second whatever the front does.
    const int normalRear = GetFileSize(rearHeight, 30);
    int parkingFront = 0;
    int parkingRear = 0;
    if (parkingFps >= 1) {
        parkingFront = GetFileSize(frontHeight, parkingFps);
        parkingRear = mMstarPark ? GetFileSize(rearHeight, parkingFps) : normalRear;
    }
    const bool sizesKnown = normalFront >= 0 && normalRear >= 0 && parkingFront >= 0 && parkingRear >= 0;
    int eventFront = normalFront;
    int eventRear = normalRear;
    if (mMstarPark) {
        parkingFront = ShrinkForMstar(parkingFront);
        parkingRear = ShrinkForMstar(parkingRear);
        eventFront = ShrinkForMstar(eventFront);
        eventRear = ShrinkForMstar(eventRear);
    }

    mDeviceName = device;
    SetStoragePercent(parkingFps >= 1);
    const int deviceResult = UpdateInfo();

    PrintLine('=', 64);
    printf("          frontFileSize = %dMb, rearFileSize = %dMb\n", normalFront / MIB, normalRear / MIB);
    printf("      frontParkFileSize = %dMb, rearParkFileSize = %dMb\n", parkingFront / MIB, parkingRear / MIB);
    printf("     frontEventFileSize = %dMb, rearEventFileSize = %dMb\n", eventFront / MIB, eventRear / MIB);
    PrintLine('=', 64);

    Init(device, normalFront, normalRear, eventFront, eventRear, parkingFront, parkingRear);
    return sizesKnown && deviceResult == 0 ? 0 : -1;
}

int Cardform::Init(const char* device, int normalFront, int normalRear, int eventFront, int eventRear,
                   int parkingFront, int parkingRear)
{
    mDeviceName = device;
    mNormalFrontFileClusters = ToClusters(normalFront);
    mNormalRearFileClusters = ToClusters(normalRear);
    mEventFrontFileClusters = ToClusters(eventFront);
    mEventRearFileClusters = ToClusters(eventRear);
    mManualFrontFileClusters = mEventFrontFileClusters;
    mManualRearFileClusters = mEventRearFileClusters;
    mParkingFrontFileClusters = ToClusters(parkingFront);
    mParkingRearFileClusters = ToClusters(parkingRear);
    printf("NF_Clusters:%d, NR_Clusters:%d, EF_Clusters:%d, ER_Clusters:%d, PF_Clusters:%d, PR_Clusters=%d\n",
           mNormalFrontFileClusters, mNormalRearFileClusters, mEventFrontFileClusters, mEventRearFileClusters,
           mParkingFrontFileClusters, mParkingRearFileClusters);
    return 0;
}

int Cardform::GetFileSize(int height, int fps)
{
    if (height == 0)
        return 0;
    const int column = FpsColumn(fps);
    if (column >= 0)
        for (const FileSizeRow& row : FILE_SIZES)
            if (row.height == height)
                return row.mib[column] * MIB;
    PrintLine('E', 64);
    printf("              Error GetFileSize()..height=%d, fps=%d\n", height, fps);
    PrintLine('E', 64);
    return -1;
}

void Cardform::SetStoragePercent(bool parking)
{
    ShareRow shares = parking ? SHARES_PARKING : SHARES_NO_PARKING;
    if (mMstarPark) {
        if (OpenDevice() != 0)
            return;
        GetBlocks();
        CloseDevice();
        if (mBlocks <= MSTAR_SMALL_CARD_BLOCKS)
            shares = parking ? SHARES_MSTAR_SMALL_PARKING : SHARES_MSTAR_SMALL_NO_PARKING;
        else
            shares = parking ? SHARES_MSTAR_LARGE_PARKING : SHARES_MSTAR_LARGE_NO_PARKING;
    }
    mNormalPercent = shares.normal;
    mEventPercent = shares.event;
    mManualPercent = shares.manual;
    mParkingNormalPercent = shares.parkingNormal;
    mParkingEventPercent = shares.parkingEvent;
}

// -1 only when the device cannot be opened or measured. A card without a
// valid MBR is a blank card to be laid out: its MBR lines are printed and the
// writer gives it a fresh disk signature.
int Cardform::UpdateInfo()
{
    if (OpenDevice() != 0)
        return -1;
    const int result = GetBlocks();
    if (result == 0 && !mEmmc)
        GetMBR();
    CloseDevice();
    return result;
}

int Cardform::OpenDevice()
{
    CloseDevice();
    mFd = open(mDeviceName.c_str(), O_RDWR | O_CLOEXEC);
    if (mFd < 0) {
        printf("OpenDevice error...%s\n", mDeviceName.c_str());
        return -1;
    }
    printf("OpenDevice OK...%s\n", mDeviceName.c_str());
    return 0;
}

void Cardform::CloseDevice()
{
    if (mFd >= 0)
        close(mFd);
    mFd = -1;
}

int Cardform::GetBlocks()
{
    uint64_t sectors = 0;
    if (BlockDeviceSectors(mFd, &sectors) != 0)
        sectors = 0;
    mBlocks = static_cast<uint32_t>(sectors);
    printf("mblocks = %d(%dMiB)\n", static_cast<int>(mBlocks), static_cast<int>(sectors * SECTOR_SIZE / MIB));
    if (sectors < MIN_BLOCKS || sectors > MAX_BLOCKS)
        return -1;
    CalcFat();
    return 0;
}

void Cardform::CalcFat()
{
    const uint64_t volumeSectors = static_cast<uint64_t>(mBlocks) - static_cast<uint64_t>(FIRST_SECTOR);
    const uint64_t clusterEstimate = (volumeSectors * SECTORS_PER_CLUSTER - 16388) / 16386;
    const uint64_t fatBytes = (clusterEstimate + 2) * 4;
    uint64_t fatSectors = (fatBytes + SECTOR_SIZE - 1) / SECTOR_SIZE;
    fatSectors = (fatSectors + SECTORS_PER_CLUSTER - 1) / SECTORS_PER_CLUSTER * SECTORS_PER_CLUSTER;
    mSectorsPerFat = static_cast<int32_t>(fatSectors);
    const uint64_t dataSectors = volumeSectors - 2 * fatSectors - RESERVED_SECTORS;
    mDataTotalClusters = static_cast<int32_t>(dataSectors / SECTORS_PER_CLUSTER);
    mPtTotalSectors = static_cast<uint32_t>(RESERVED_SECTORS + 2 * fatSectors +
                                            static_cast<uint64_t>(mDataTotalClusters) * SECTORS_PER_CLUSTER);
    const int64_t available = static_cast<int64_t>(mDataTotalClusters) - KEPT_BACK_CLUSTERS;

    const int64_t eventInUse = CountFiles(available * mEventPercent / 100, mEventFrontFileClusters,
                                          mEventRearFileClusters, &mEventFiles, &mEventRecords);
    const int64_t manualInUse = CountFiles(available * mManualPercent / 100, mManualFrontFileClusters,
                                           mManualRearFileClusters, &mManualFiles, &mManualRecords);
    int64_t parkingNormalInUse = 0;
    int64_t parkingEventInUse = 0;
    mParkingNormalFiles = mParkingNormalRecords = mParkingEventFiles = mParkingEventRecords = 0;
    if (HasParking()) {
        parkingNormalInUse = CountFiles(available * mParkingNormalPercent / 100, mParkingFrontFileClusters,
                                        mParkingRearFileClusters, &mParkingNormalFiles, &mParkingNormalRecords);
        parkingEventInUse = CountFiles(available * mParkingEventPercent / 100, mParkingFrontFileClusters,
                                       mParkingRearFileClusters, &mParkingEventFiles, &mParkingEventRecords);
    }
    const int64_t rest = available - eventInUse - manualInUse - parkingNormalInUse - parkingEventInUse;
    const int64_t normalInUse =
        CountFiles(rest, mNormalFrontFileClusters, mNormalRearFileClusters, &mNormalFiles, &mNormalRecords);

    mNormalDirectoryClusters = DirectoryClusters(mNormalFiles);
    mEventDirectoryClusters = DirectoryClusters(mEventFiles);
    mManualDirectoryClusters = DirectoryClusters(mManualFiles);
    mParkingDirectoryClusters = HasParkingFolder() ? 1 : 0;
    mParkingNormalDirectoryClusters = HasParking() ? DirectoryClusters(mParkingNormalFiles) : 0;
    mParkingEventDirectoryClusters = HasParkingFolder() ? DirectoryClusters(mParkingEventFiles) : 0;

    mRootDirectoryStartCluster = 2;
    mLogDirectoryStartCluster = mRootDirectoryStartCluster + mRootDirectoryClusters;
    mLogFilesStartCluster = mLogDirectoryStartCluster + mLogDirectoryClusters;
    mParkingDirectoryStartCluster = mLogFilesStartCluster + LOG_FILES_CLUSTERS;
    mNormalDirectoryStartCluster = mParkingDirectoryStartCluster + mParkingDirectoryClusters;
    mEventDirectoryStartCluster = mNormalDirectoryStartCluster + mNormalDirectoryClusters;
    mManualDirectoryStartCluster = mEventDirectoryStartCluster + mEventDirectoryClusters;
    mParkingNormalDirectoryStartCluster = mManualDirectoryStartCluster + mManualDirectoryClusters;
    mParkingEventDirectoryStartCluster = mParkingNormalDirectoryStartCluster + mParkingNormalDirectoryClusters;

    mRootDirectoryStartSector = FIRST_SECTOR + RESERVED_SECTORS + 2 * mSectorsPerFat;
    mLogDirectoryStartSector = ClusterSector(mLogDirectoryStartCluster);
    mLogFilesStartSector = ClusterSector(mLogFilesStartCluster);
    mParkingDirectoryStartSector = ClusterSector(mParkingDirectoryStartCluster);
    mNormalDirectoryStartSector = ClusterSector(mNormalDirectoryStartCluster);
    mEventDirectoryStartSector = ClusterSector(mEventDirectoryStartCluster);
    mManualDirectoryStartSector = ClusterSector(mManualDirectoryStartCluster);
    mParkingNormalDirectoryStartSector = ClusterSector(mParkingNormalDirectoryStartCluster);
    mParkingEventDirectoryStartSector = ClusterSector(mParkingEventDirectoryStartCluster);

    printf("DataSectors = %d, DataClusters = %d, SectorsPerFat = %d\n", mDataTotalClusters * SECTORS_PER_CLUSTER,
           mDataTotalClusters, mSectorsPerFat);
    printf("AvailableDataClusters = %d, ScrapsClusters = %d\n", static_cast<int>(available),
           static_cast<int>(rest - normalInUse));
    printf("NormalPercent = %d%%, EventPercent = %d%%, ManualPercent = %d%%, ParkingNormalPercent = %d%%, "
           "ParkingEventPercent = %d%%\n",
           mNormalPercent, mEventPercent, mManualPercent, mParkingNormalPercent, mParkingEventPercent);
    printf("TotalNormalFileClusters = %d, TotalEventFileClusters = %d, TotalManualFileClusters = %d, "
           "TotalParkingNormalFileClusters = %d, TotalParkingEventFileClusters = %d\n",
           static_cast<int>(normalInUse), static_cast<int>(eventInUse), static_cast<int>(manualInUse),
           static_cast<int>(parkingNormalInUse), static_cast<int>(parkingEventInUse));
    printf("NormalFiles = %d, EventFiles = %d, ManualFiles = %d, ParkingNormalFiles = %d, ParkingEventFiles = %d\n",
           mNormalFiles, mEventFiles, mManualFiles, mParkingNormalFiles, mParkingEventFiles);
    printf("NormalRecords = %d, EventRecords = %d, ManualRecords = %d, ParkingNormalRecords = %d, "
           "ParkingEventRecords = %d\n",
           mNormalRecords, mEventRecords, mManualRecords, mParkingNormalRecords, mParkingEventRecords);
    PrintAreas();
}

void Cardform::PrintAreas()
{
    printf("NormalDirectoryClusters = %d, EventDirectoryClusters = %d\n", mNormalDirectoryClusters,
           mEventDirectoryClusters);
    printf("RootDirectoryStartCluster = %d, clusters = %d\n", mRootDirectoryStartCluster, mRootDirectoryClusters);
    printf("LogDirectoryStartCluster = %d, clusters = %d\n", mLogDirectoryStartCluster, mLogDirectoryClusters);
    printf("LogFilesStartCluster = %d, clusters = %d\n", mLogFilesStartCluster, LOG_FILES_CLUSTERS);
    printf("ParkingDirectoryStartCluster = %d, clusters = %d\n", mParkingDirectoryStartCluster,
           mParkingDirectoryClusters);
    printf("NormalDirectoryStartCluster = %d, clusters = %d\n", mNormalDirectoryStartCluster,
           mNormalDirectoryClusters);
    printf("EventDirectoryStartCluster = %d, clusters = %d\n", mEventDirectoryStartCluster, mEventDirectoryClusters);
    printf("ManualDirectoryStartCluster = %d, clusters = %d\n", mManualDirectoryStartCluster,
           mManualDirectoryClusters);
    printf("ParkingNormalDirectoryStartCluster = %d, clusters = %d\n", mParkingNormalDirectoryStartCluster,
           mParkingNormalDirectoryClusters);
    printf("ParkingEventDirectoryStartCluster = %d, clusters = %d\n", mParkingEventDirectoryStartCluster,
           mParkingEventDirectoryClusters);
    printf("\n");
    printf("RootDirectoryStartSector = %d\n", mRootDirectoryStartSector);
    printf("LogDirectoryStartSector = %d\n", mLogDirectoryStartSector);
    printf("LogFilesStartSector = %d\n", mLogFilesStartSector);
    printf("ParkingDirectoryStartSector = %d\n", mParkingDirectoryStartSector);
    printf("NormalDirectoryStartSector = %d\n", mNormalDirectoryStartSector);
    printf("EventDirectoryStartSector = %d\n", mEventDirectoryStartSector);
    printf("ManualDirectoryStartSector = %d\n", mManualDirectoryStartSector);
    printf("ParkingNormalDirectoryStartSector = %d\n", mParkingNormalDirectoryStartSector);
    printf("ParkingEventDirectoryStartSector = %d\n", mParkingEventDirectoryStartSector);
}

int32_t Cardform::ClusterSector(int32_t cluster) const
{
    return mRootDirectoryStartSector + (cluster - mRootDirectoryStartCluster) * SECTORS_PER_CLUSTER;
}

int Cardform::GetMBR()
{
    const ssize_t readed = read(mFd, mRdMasterBootRecord, SECTOR_SIZE);
    if (readed != SECTOR_SIZE) {
        printf("read error : readed=%d\n", static_cast<int>(readed));
        return -1;
    }
    if (ChkMBR() != 0) {
        puts("ChkMBR() error ");
        return -1;
    }
    if (ChkPT() != 0) {
        puts("ChkPT() error ");
        return -1;
    }
    printf("serial number = 0x%08x\n", mSerialNumber);
    printf("FAT total sectors = %d\n", static_cast<int>(mPtTotalSectors));
    printf("sectors per FAT = %d\n", mSectorsPerFat);
    return 0;
}

int Cardform::ChkMBR()
{
    const uint16_t signature = GetLe16(mRdMasterBootRecord + MBR_SIGNATURE_OFFSET);
    if (signature != 0xAA55) {
        printf("ChkMBR() error... SIGNATURE = %04x\n", signature);
        return -1;
    }
    mSerialNumber = GetLe32(mRdMasterBootRecord + MBR_DISK_SIGNATURE_OFFSET);
    return 0;
}

int Cardform::ChkPT()
{
    const uint8_t* entry = mRdMasterBootRecord + MBR_PARTITION_OFFSET;
    if (entry[0] != 0) {
        printf("ChkPT() error... ACTIVE_PARTITION_FLAG = 0x%02x\n", entry[0]);
        return -1;
    }
    if (entry[4] != PARTITION_TYPE_FAT32_LBA) {
        printf("ChkPT() error... FILE_SYSTEM_ID = 0x%02x\n", entry[4]);
        return -1;
    }
    const int32_t firstSector = static_cast<int32_t>(GetLe32(entry + 8));
    if (firstSector != FIRST_SECTOR) {
        printf("ChkPT() error... FIRST_SECTOR = %d\n", firstSector);
        return -1;
    }
    return 0;
}

uint8_t Cardform::GetFileSystem() const
{
    return mRdMasterBootRecord[MBR_PARTITION_OFFSET + 4];
}
