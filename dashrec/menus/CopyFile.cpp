#include "dashrec/menus/CopyFile.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"
#include "dashrec/menus/CopyList.h"

#include <cstdio>
#include <sys/stat.h>

namespace vk {

namespace {

// Recording kinds a copy knows, with the folder that holds them on either medium.
struct Folder {
    RECTYPE::RECORD type;
    const char* prefix;
    const char* name;
};

const Folder FOLDERS[] = {
    { RECTYPE::NORMAL, "NORM", "NORMAL" },
    { RECTYPE::EVENT, "EVEN", "EVENT" },
    { RECTYPE::MANUAL, "MANU", "MANUAL" },
    { RECTYPE::PARKING, "PARK", "PARKING" },
};

const char* FolderName(RECTYPE::RECORD type)
{
    for (const Folder& folder : FOLDERS)
        if (folder.type == type)
            return folder.name;
    VK_ASSERT_REPORT("0 && \"Invalid RECTYPE\"");
}

const int SIZE_TRIES = 3;

int TwoDigits(const std::string& text, size_t at)
{
    return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

} // namespace

void CopyFile::SetRecordType()
{
    VK_ASSERT(name != nullptr);
    VK_ASSERT(name->size() == VIDEO_FILE_LENGTH);
    for (const Folder& folder : FOLDERS)
        if (name->compare(0, 4, folder.prefix) == 0)
            type = folder.type;
}

void CopyFile::MakeFullName()
{
    SetRecordType();
    fullname = std::string("/mnt/extsd/") + FolderName(type) + "/" + *name;
}

void CopyFile::GetSize()
{
    MakeFullName();
    if (size != 0)
        return;
    VK_ASSERT(fullname.size() != 0);
    for (int attempt = 0; attempt < SIZE_TRIES; ++attempt) {
        struct stat info {};
        if (stat(fullname.c_str(), &info) == 0) {
            size = static_cast<int>(info.st_size >> 20);
            return;
        }
        Singleton<SDDebug>::Inst()->Print("[CopyFile]%s GetSize() error\n", name->c_str());
    }
}

void CopyFile::GetTime()
{
    VK_ASSERT(name != nullptr);
    VK_ASSERT(name->size() == VIDEO_FILE_LENGTH);
    struct tm local {};
    local.tm_year = 2000 + TwoDigits(*name, 4) - 1900;
    local.tm_mon = TwoDigits(*name, 6) - 1;
    local.tm_mday = TwoDigits(*name, 8);
    local.tm_hour = TwoDigits(*name, 11);
    local.tm_min = TwoDigits(*name, 13);
    local.tm_sec = TwoDigits(*name, 15);
    // Whether summer time applied is the calendar's to say, not the name's.
    local.tm_isdst = -1;
    stamp = mktime(&local);
}

std::string CopyFile::Destination()
{
    Storage* storage = Singleton<Storage>::Inst();
    const std::string& mount = Singleton<CopyList>::Inst()->GetListMedia() == LISTMEDIA::USB
        ? storage->USB_MOUNT_POSITION
        : storage->SD_MOUNT_POSITION;
    VK_ASSERT(name != nullptr);
    char dest[128];
    if (std::snprintf(dest, sizeof(dest), "%s/%s/%s", mount.c_str(), FolderName(type), name->c_str())
        >= static_cast<int>(sizeof(dest)))
        VK_ASSERT_REPORT("strlen(dest) < sizeof(dest)");
    return dest;
}

} // namespace vk
