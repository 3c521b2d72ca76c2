// The layout verifier: compares a card with the layout computed for it. It
// accepts a card in use: a recording the recorder renamed and unhid passes as
// well as an untouched pre-allocated file. Nothing on the card is changed.

#include "cardform/BlockDevice.h"
#include "cardform/Cardform.h"
#include "cardform/CardformCommon.h"

#include <cstring>
#include <map>
#include <unistd.h>

namespace {

constexpr uint8_t ATTRIBUTE_RECORDING = 0x20;
constexpr uint8_t ATTRIBUTE_FREE_FILE = 0x22;
constexpr uint8_t ATTRIBUTE_FOLDER = 0x10;
constexpr uint8_t ATTRIBUTE_LOG_FILE = 0x20;
constexpr uint32_t LOG_FILE_SIZE = Cardform::LOG_FILE_CLUSTERS * Cardform::CLUSTER_SIZE;
constexpr size_t MIN_LONG_NAME = 20;

bool StartsWith(const char* text, const char* prefix)
{
    return strncmp(text, prefix, strlen(prefix)) == 0;
}

bool EndsWith(const char* text, const char* suffix)
{
    const size_t length = strlen(text);
    const size_t suffixLength = strlen(suffix);
    return length >= suffixLength && strcmp(text + length - suffixLength, suffix) == 0;
}

bool VerifyFolderEntry(const uint8_t* entry, const char* expectedName)
{
    const uint8_t attribute = Cardform::GetDirFileAttribute(entry);
    if (attribute != ATTRIBUTE_FOLDER) {
        printf("VerifyParkingDirectory error. %s_attr=0x%02x\n", expectedName, attribute);
        return false;
    }
    char name[12];
    Cardform::GetDirFileName(entry, name);
    if (strcmp(name, expectedName) != 0) {
        printf("VerifyParkingDirectory error. %s_dirname=%s\n", expectedName, name);
        return false;
    }
    return true;
}

bool VerifyLogFile(const uint8_t* entry, const char* name)
{
    const uint32_t size = Cardform::GetDirFileSize(entry);
    if (size != LOG_FILE_SIZE) {
        printf("VerifyLogDirectory error. %s_fileSize=%d\n", name, static_cast<int>(size));
        return false;
    }
    const uint8_t attribute = Cardform::GetDirFileAttribute(entry);
    if (attribute != ATTRIBUTE_LOG_FILE) {
        printf("VerifyLogDirectory error. %s_attr=0x%02x\n", name, attribute);
        return false;
    }
    return true;
}

} // namespace

bool Cardform::VerifyDisk()
{
    if (OpenDevice() != 0)
        return false;
    const bool verified = RunVerifySteps();
    CloseDevice();
    FreeMem();
    return verified;
}

bool Cardform::RunVerifySteps()
{
    if (GetBlocks() != 0)
        return false;
    AllocMem();
    if (!mEmmc && GetMBR() != 0)
        return false;
    if (GetFATBS() != 0)
        return false;
    MakeMemDirectories();
    if (!mEmmc && !VerifyMBR())
        return false;
    return VerifyFATBS() && VerifyDirectories() && VerifyFAT();
}

int Cardform::GetFATBS()
{
    const off_t offset = static_cast<off_t>(FIRST_SECTOR) * SECTOR_SIZE;
    if (lseek(mFd, offset, SEEK_SET) != offset) {
        puts("GetFATBS()...Error: lseek()");
        return -1;
    }
    const ssize_t readed = BlockDeviceRead(mFd, mRdFat32BootSector, SECTOR_SIZE);
    if (readed != SECTOR_SIZE) {
        printf("GetFATBS()...Error: read(). readed=%d, expected=%d\n", static_cast<int>(readed), SECTOR_SIZE);
        return -1;
    }
    return 0;
}

bool Cardform::VerifyMBR()
{
    if (mSerialNumber != DISK_SIGNATURE && mSerialNumber != DISK_SIGNATURE_KEPT) {
        printf("VerifyMBR()...Error: Disk serial number %u.\n", mSerialNumber);
        return false;
    }
    return true;
}

bool Cardform::VerifyFATBS()
{
    const uint32_t totalSectors = GetLe32(mRdFat32BootSector + BOOT_TOTAL_SECTORS_OFFSET);
    if (totalSectors != mPtTotalSectors) {
        printf("VerifyFATBS()...Error: total sector. readed = %u, expected = %u\n", totalSectors, mPtTotalSectors);
        return false;
    }
    const uint32_t sectorsPerFat = GetLe32(mRdFat32BootSector + BOOT_SECTORS_PER_FAT_OFFSET);
    if (sectorsPerFat != static_cast<uint32_t>(mSectorsPerFat)) {
        printf("VerifyFATBS()...Error: sector per fat. readed = %u, expected = %u\n", sectorsPerFat,
               static_cast<uint32_t>(mSectorsPerFat));
        return false;
    }
    return true;
}

bool Cardform::VerifyDirectories()
{
    // The card's copy of each directory, by the image it is compared with.
    std::map<const std::vector<uint8_t>*, std::vector<uint8_t>> card;
    for (const Area& area : Directories()) {
        std::vector<uint8_t>& copy = card[area.image];
        copy.resize(area.image->size());
        if (!ReadSectors(copy.data(), static_cast<uint32_t>(area.startSector),
                         static_cast<uint32_t>(area.clusters * SECTORS_PER_CLUSTER)))
            return false;
    }
    if (!VerifyLogDirectory(card[&mMemLogDirectory].data()))
        return false;
    if (HasParkingFolder() && !VerifyParkingDirectory(card[&mMemParkingDirectory].data()))
        return false;
    for (const RecordFolder& folder : RecordFolders()) {
        printf(folder.announceFormat, folder.records, folder.frontClusters * CLUSTER_SIZE,
               folder.rearClusters * CLUSTER_SIZE);
        if (!VerifyRecordDirectory(card[folder.image].data(), folder.names->dottedPrefix, folder.names->prefix,
                                   folder.records, folder.frontClusters, folder.rearClusters))
            return false;
    }
    return true;
}

bool Cardform::VerifyLogDirectory(const uint8_t* image)
{
    if (!VerifyLogFile(image + 2 * ENTRY_SIZE, "HISTORY DM0") || !VerifyLogFile(image + 3 * ENTRY_SIZE, "HISTORY DM1"))
        return false;
    puts("VerifyLogDirectory OK.");
    return true;
}

bool Cardform::VerifyParkingDirectory(const uint8_t* image)
{
    if (!VerifyFolderEntry(image + 2 * ENTRY_SIZE, "NORMAL     ") ||
        !VerifyFolderEntry(image + 3 * ENTRY_SIZE, "EVENT      "))
        return false;
    puts("VerifyParkingDirectory OK.");
    return true;
}

bool Cardform::VerifyRecordDirectory(const uint8_t* image, const char* dottedPrefix, const char* prefix, int records,
                                     int frontClusters, int rearClusters)
{
    const int files = rearClusters > 0 ? records * 2 : records;
    const uint8_t* entry = image + 2 * ENTRY_SIZE;
    for (int i = 0; i < files; ++i, entry += FILE_ENTRY_SIZE) {
        const uint8_t attribute = GetDirFileAttributeLong(entry);
        if (attribute != ATTRIBUTE_RECORDING && attribute != ATTRIBUTE_FREE_FILE) {
            printf("VerifyRecordDirectory error. %s_%d_attr=0x%02x\n", prefix, i, attribute);
            return false;
        }
        char shortName[12];
        char longName[27];
        GetDirFileNameLong(entry, shortName, longName);
        const size_t length = strlen(longName);
        if (length < MIN_LONG_NAME) {
            printf("VerifyRecordDirectory error. %s_%d_filename=%s, len=%d\n", prefix, i, longName,
                   static_cast<int>(length));
            return false;
        }
        if (attribute == ATTRIBUTE_RECORDING && !StartsWith(longName, prefix)) {
            printf("VerifyRecordDirectory error. %s_%d_filename=%s\n", prefix, i, longName);
            return false;
        }
        const char* frontEnd = attribute == ATTRIBUTE_RECORDING ? "F.MP4" : "F.TMP";
        const char* rearEnd = attribute == ATTRIBUTE_RECORDING ? "R.MP4" : "R.TMP";
        const bool front = EndsWith(longName, frontEnd);
        const bool named = attribute == ATTRIBUTE_RECORDING || StartsWith(longName, dottedPrefix);
        if (!named || (!front && !EndsWith(longName, rearEnd))) {
            printf("VerifyRecordDirectory error. %s_%d_filename=%s\n", dottedPrefix, i, longName);
            return false;
        }
        const uint32_t size = GetDirFileSizeLong(entry);
        const uint32_t expected = static_cast<uint32_t>(front ? frontClusters : rearClusters) * CLUSTER_SIZE;
        if (size != expected) {
            printf(front ? "VerifyRecordDirectory error. %s_%dF_filesize=%d/%d\n"
                         : "VerifyRecordDirectory error. %s_%dR_filesize=%d/%d\n",
                   prefix, i, static_cast<int>(size), static_cast<int>(expected));
            return false;
        }
    }
    printf("VerifyRecordDirectory_%s nFiles = %d OK.\n", prefix, files);
    return true;
}

bool Cardform::VerifyFAT()
{
    const size_t entries = mMemFat.size();
    std::vector<uint32_t> fats[2];
    for (int copy = 0; copy < 2; ++copy) {
        fats[copy].resize(entries);
        if (!ReadSectors(reinterpret_cast<uint8_t*>(fats[copy].data()),
                         static_cast<uint32_t>(FIRST_SECTOR + RESERVED_SECTORS + copy * mSectorsPerFat),
                         static_cast<uint32_t>(mSectorsPerFat)))
            return false;
    }
    for (int copy = 0; copy < 2; ++copy) {
        for (size_t i = 0; i < entries; ++i) {
            const uint32_t expected = mMemFat[i];
            // Free entries are not compared: other software may use the free space.
            if (expected == 0)
                continue;
            const uint32_t found = GetLe32(reinterpret_cast<const uint8_t*>(&fats[copy][i]));
            if (found != expected) {
                printf(copy == 0 ? "VerifyFAT0...i=%d, wf=0x%08x, rf=0x%08x\n"
                                 : "VerifyFAT1...i=%d, wf=0x%08x, rf=0x%08x\n",
                       static_cast<int>(i), expected, found);
                return false;
            }
        }
    }
    puts("VerifyFAT OK.");
    return true;
}

bool Cardform::ReadSectors(uint8_t* buffer, uint32_t startSector, uint32_t sectors)
{
    const off_t offset = static_cast<off_t>(startSector) * SECTOR_SIZE;
    if (lseek(mFd, offset, SEEK_SET) != offset) {
        printf("ReadSectors lseek error...start sector=%u, nsectors=%u\n", startSector, sectors);
        return false;
    }
    const size_t bytes = static_cast<size_t>(sectors) * SECTOR_SIZE;
    if (BlockDeviceRead(mFd, buffer, bytes) != static_cast<ssize_t>(bytes)) {
        printf("ReadSectors read error...start sector=%u, nsectors=%u\n", startSector, sectors);
        return false;
    }
    printf("ReadSectors OK. start sector=%u, nsectors=%u\n", startSector, sectors);
    return true;
}
