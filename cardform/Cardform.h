#pragma once
// The card layout: one FAT32 volume whose every recording file exists from the
// start, so that the recorder only renames files and writes into their clusters.
// The same model lays a card out (cardform), checks it (cardaudit) and accepts it
// at every card insertion (dashrec); the three agree only when they are given the
// same device size, heights, frame rates and options.
//
// Only the C library is used. No lock: each user makes its own object and
// uses it from one thread.

#include <cstdint>
#include <string>
#include <vector>

class Cardform {
public:
    static constexpr int SECTOR_SIZE = 512;
    static constexpr int SECTORS_PER_CLUSTER = 128;
    static constexpr int CLUSTER_SIZE = SECTOR_SIZE * SECTORS_PER_CLUSTER;
    static constexpr int RESERVED_SECTORS = 128;
    static constexpr int LOG_FILE_CLUSTERS = 64;
    static constexpr int LOG_FILES_CLUSTERS = 2 * LOG_FILE_CLUSTERS;
    static constexpr int KEPT_BACK_CLUSTERS = 1922;
    static constexpr int ENTRY_SIZE = 32;
    static constexpr int FILE_ENTRY_SIZE = 3 * ENTRY_SIZE;
    static constexpr uint32_t MIN_BLOCKS = 966656;
    static constexpr uint64_t MAX_BLOCKS = 2147483648ULL;
    static constexpr uint32_t FAT_END_OF_CHAIN = 0x0FFFFFF8;
    static constexpr uint32_t DISK_SIGNATURE = 0xDEADFACE;
    static constexpr uint32_t DISK_SIGNATURE_KEPT = 0xDEADFAC2;

    int32_t FIRST_SECTOR = 2048;
    bool mMstarPark = false;
    bool mEmmc = false;
    int32_t mFd = -1;
    uint32_t mBlocks = 0;
    uint32_t mPtTotalSectors = 0;
    int32_t mSectorsPerFat = 0;
    int32_t mDataTotalClusters = 0;
    std::string mDeviceName;
    uint8_t mRdMasterBootRecord[SECTOR_SIZE] = {};
    uint8_t mRdFat32BootSector[SECTOR_SIZE] = {};
    uint8_t mRdSystemInformationSector[SECTOR_SIZE] = {};
    uint8_t mWrMasterBootRecord[SECTOR_SIZE] = {};
    uint8_t mWrFat32BootSector[SECTOR_SIZE] = {};
    uint8_t mWrSystemInformationSector[SECTOR_SIZE] = {};
    uint32_t mSerialNumber = 0;

    int32_t mRootDirectoryStartSector = 0;
    int32_t mLogDirectoryStartSector = 0;
    int32_t mLogFilesStartSector = 0;
    int32_t mNormalDirectoryStartSector = 0;
    int32_t mEventDirectoryStartSector = 0;
    int32_t mManualDirectoryStartSector = 0;
    int32_t mParkingDirectoryStartSector = 0;
    int32_t mParkingNormalDirectoryStartSector = 0;
    int32_t mParkingEventDirectoryStartSector = 0;

    int32_t mRootDirectoryStartCluster = 2;
    int32_t mLogDirectoryStartCluster = 0;
    int32_t mLogFilesStartCluster = 0;
    int32_t mNormalDirectoryStartCluster = 0;
    int32_t mEventDirectoryStartCluster = 0;
    int32_t mManualDirectoryStartCluster = 0;
    int32_t mParkingDirectoryStartCluster = 0;
    int32_t mParkingNormalDirectoryStartCluster = 0;
    int32_t mParkingEventDirectoryStartCluster = 0;

    int32_t mRootDirectoryClusters = 1;
    int32_t mLogDirectoryClusters = 1;
    int32_t mNormalDirectoryClusters = 0;
    int32_t mEventDirectoryClusters = 0;
    int32_t mManualDirectoryClusters = 0;
    int32_t mParkingDirectoryClusters = 0;
    int32_t mParkingNormalDirectoryClusters = 0;
    int32_t mParkingEventDirectoryClusters = 0;

    int32_t mNormalFiles = 0;
    int32_t mEventFiles = 0;
    int32_t mManualFiles = 0;
    int32_t mParkingNormalFiles = 0;
    int32_t mParkingEventFiles = 0;

    int32_t mNormalRecords = 0;
    int32_t mEventRecords = 0;
    int32_t mManualRecords = 0;
    int32_t mParkingNormalRecords = 0;
    int32_t mParkingEventRecords = 0;

    int32_t mNormalFrontFileClusters = 0;
    int32_t mNormalRearFileClusters = 0;
    int32_t mEventFrontFileClusters = 0;
    int32_t mEventRearFileClusters = 0;
    int32_t mManualFrontFileClusters = 0;
    int32_t mManualRearFileClusters = 0;
    int32_t mParkingFrontFileClusters = 0;
    int32_t mParkingRearFileClusters = 0;

    uint32_t mCurrentFatOffset = 2;
    std::vector<uint32_t> mMemFat;
    std::vector<uint8_t> mMemRootDirectory;
    std::vector<uint8_t> mMemLogDirectory;
    std::vector<uint8_t> mMemNormalDirectory;
    std::vector<uint8_t> mMemEventDirectory;
    std::vector<uint8_t> mMemManualDirectory;
    std::vector<uint8_t> mMemParkingDirectory;
    std::vector<uint8_t> mMemParkingNormalDirectory;
    std::vector<uint8_t> mMemParkingEventDirectory;

    int32_t mNormalPercent = 60;
    int32_t mEventPercent = 15;
    int32_t mManualPercent = 5;
    int32_t mParkingNormalPercent = 18;
    int32_t mParkingEventPercent = 2;

    Cardform() = default;
    Cardform(const Cardform&) = delete;
    Cardform& operator=(const Cardform&) = delete;
    ~Cardform();

    // Model and sizing.
    void SetEmmc();
    void SetMstarPark();
    // 0 when the device can be measured and the heights and rates are known; -1 else.
    int Init2(const char* device, int frontHeight, int rearHeight, int fps, int parkingFps);
    int Init(const char* device, int normalFront, int normalRear, int eventFront, int eventRear,
             int parkingFront, int parkingRear);
    int GetFileSize(int height, int fps);
    void SetStoragePercent(bool parking);
    int UpdateInfo();
    int OpenDevice();
    void CloseDevice();
    int GetBlocks();
    void CalcFat();
    int GetMBR();
    int ChkMBR();
    int ChkPT();
    uint8_t GetFileSystem() const;

    // Writer.
    int MakeDisk();
    void MakeMBR();
    void MakeFATBS();
    void MakeSIS();
    int WriteAll();
    int WriteDirectories();
    void AllocMem();
    void FreeMem();
    void MakeMemDirectories();
    void MakeRootDirectory();
    void MakeLogDirectory();
    void MakeParkingDirectory();
    void MakeRecordDirectory(uint8_t* image, int firstCluster, const char* frontLong, const char* frontShort,
                             const char* rearLong, const char* rearShort, int records, int frontClusters,
                             int rearClusters, int parentCluster);
    void AddFatElement(uint32_t* fat, int count);
    int WriteSectors(const uint8_t* buffer, uint32_t startSector, uint32_t sectors);
    int ZeroBlocks(uint32_t startSector, uint32_t sectors);
    int ForceFlush();

    // Directory entries: 32 bytes each; the ...Long variants act on the short
    // entry behind the two long-name entries of a recording file.
    static void SetDirFileName(uint8_t* entry, const char* name);
    static void SetDirFileAttribute(uint8_t* entry, uint8_t attribute);
    static void SetDirFileSize(uint8_t* entry, uint32_t size);
    static void SetDirFirstCluster(uint8_t* entry, uint32_t cluster);
    static void SetDirFileNameLong(uint8_t* entry, const char* shortName, const char* longName);
    static void SetDirFileAttributeLong(uint8_t* entry, uint8_t attribute);
    static void SetDirFileSizeLong(uint8_t* entry, uint32_t size);
    static void SetDirFirstClusterLong(uint8_t* entry, uint32_t cluster);
    static void GetDirFileName(const uint8_t* entry, char* name);
    static uint8_t GetDirFileAttribute(const uint8_t* entry);
    static uint32_t GetDirFileSize(const uint8_t* entry);
    static uint32_t GetDirFirstCluster(const uint8_t* entry);
    static void GetDirFileNameLong(const uint8_t* entry, char* shortName, char* longName);
    static uint8_t GetDirFileAttributeLong(const uint8_t* entry);
    static uint32_t GetDirFileSizeLong(const uint8_t* entry);
    static uint32_t GetDirFirstClusterLong(const uint8_t* entry);
    static uint8_t FileNameChecksum(const uint8_t* shortName);
    static void UTF8CharCopy(uint8_t* units, const char* bytes, int count);
    static void CharUTF8Copy(char* bytes, const uint8_t* units, int count);

    // Verifier.
    bool VerifyDisk();
    int GetFATBS();
    bool VerifyMBR();
    bool VerifyFATBS();
    bool VerifyDirectories();
    bool VerifyFAT();
    bool VerifyLogDirectory(const uint8_t* image);
    bool VerifyParkingDirectory(const uint8_t* image);
    bool VerifyRecordDirectory(const uint8_t* image, const char* dottedPrefix, const char* prefix, int records,
                               int frontClusters, int rearClusters);
    bool ReadSectors(uint8_t* buffer, uint32_t startSector, uint32_t sectors);

private:
    // A directory image and where it lies on the card.
    struct Area {
        std::vector<uint8_t>* image;
        int32_t startSector;
        int32_t clusters;
    };
    // Names of a record directory's files, as formats of the record number.
    struct RecordNames {
        const char* frontLong;
        const char* frontShort;
        const char* rearLong;
        const char* rearShort;
        const char* dottedPrefix;
        const char* prefix;
    };
    struct RecordFolder {
        std::vector<uint8_t>* image;
        int32_t firstCluster;
        int32_t parentCluster;
        const RecordNames* names;
        int32_t records;
        int32_t frontClusters;
        int32_t rearClusters;
        const char* announceFormat;
    };

    bool HasParking() const { return mParkingNormalPercent >= 1; }
    bool HasParkingFolder() const { return HasParking() && !mMstarPark; }
    int32_t ClusterSector(int32_t cluster) const;
    void PrintAreas();
    // The directories in the order they are written and read back.
    std::vector<Area> Directories();
    // The record directories in the order their files are laid out.
    std::vector<RecordFolder> RecordFolders();
    // Chains `count` clusters from the next free one; gives the first.
    uint32_t TakeClusters(int count);
    int SeekSector(uint32_t sector);
    int WriteVolumeSector(int volumeSector, const uint8_t* sector, const char* failure);
    int32_t FreeClusters() const;
    bool RunVerifySteps();
};
