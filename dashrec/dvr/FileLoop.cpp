#include "dashrec/dvr/FileLoop.h"

#include "dashrec/core/FatAttributes.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

const char RULE[] = "[FileLoop]==================================================\n";

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

bool Exists(const char* path)
{
    struct stat st;
    return stat(path, &st) == 0;
}

// The newest name of a list with its stamp, read from the 13 characters before ".MP4".
void PrintNewest(const char* name)
{
    size_t length = std::strlen(name);
    int yy = 0, mo = 0, dd = 0, hh = 0, mi = 0, ss = 0;
    if (length >= 17)
        std::sscanf(name + length - 17, "%2d%2d%2d-%2d%2d%2d", &yy, &mo, &dd, &hh, &mi, &ss);
    std::printf("%s, %d/%02d/%02d-%02d%02d%02d\n", name, 2000 + yy, mo, dd, hh, mi, ss);
}

} // namespace

void FileLoop::Init()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _updateFileTime = false;
    for (int i = 0; i < INIT_ALLOC; ++i)
        _shared.push_back(std::make_shared<RecordFile>());
    for (int i = 0; i < MAX_FOLDER; ++i)
        _folders[i].name = _paths[i];
}

void FileLoop::Mount()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    // A second mount (card re-inserted) must not add the files again.
    for (Folder& folder : _folders)
        for (FileList& list : folder.lists)
            ReturnToPool(list);
    for (Folder& folder : _folders)
        ScanFolder(folder);
    for (Folder& folder : _folders)
        SortFolder(folder);
    for (Folder& folder : _folders)
        Log()->Print("%s - F list size:%u, R list size:%u\n", folder.name.c_str(),
                     static_cast<unsigned>(folder.lists[FRONT].size()),
                     static_cast<unsigned>(folder.lists[REAR].size()));
    Log()->Print("[FileLoop]Mount files for loop encoding\n");
}

void FileLoop::ScanFolder(Folder& folder)
{
    const char* path = folder.name.c_str();
    if (!Exists(path)) {
        std::printf("[FileLoop]%s doesn't exist\n", path);
        return;
    }
    DIR* dir = opendir(path);
    if (dir == nullptr) {
        // Only this folder is lost; the others still record.
        std::printf("[FileLoop]%s can't be opened\n", path);
        return;
    }
    while (dirent* entry = readdir(dir)) {
        if (std::strlen(entry->d_name) <= 2) {
            std::printf("[FileLoop]%s excluded\n", entry->d_name);
            continue;
        }
        FileList* list = std::strstr(entry->d_name, "F.") ? &folder.lists[FRONT]
            : std::strstr(entry->d_name, "R.")            ? &folder.lists[REAR]
                                                          : nullptr;
        if (list == nullptr)
            continue;
        std::shared_ptr<RecordFile> record = TakeFromPool();
        if (std::snprintf(record->name, NAME_LENGTH, "%s/%s", path, entry->d_name) >= NAME_LENGTH)
            VK_ASSERT_REPORT("strlen(name) < NAME_LENGTH");
        list->push_back(record);
    }
    closedir(dir);
}

void FileLoop::SortFolder(Folder& folder)
{
    for (FileList& list : folder.lists) {
        if (list.empty()) {
            std::printf("EMPTY:%s\n", folder.name.c_str());
            continue;
        }
        list.sort([](const std::shared_ptr<RecordFile>& a, const std::shared_ptr<RecordFile>& b) {
            return std::strcmp(a->name, b->name) < 0;
        });
        PrintNewest(list.back()->name);
    }
}

std::shared_ptr<FileLoop::RecordFile> FileLoop::TakeFromPool()
{
    if (_shared.empty())
        return std::make_shared<RecordFile>();
    std::shared_ptr<RecordFile> record = _shared.front();
    _shared.pop_front();
    return record;
}

void FileLoop::ReturnToPool(FileList& list)
{
    for (std::shared_ptr<RecordFile>& record : list) {
        record->Clear();
        _shared.push_back(record);
    }
    list.clear();
}

void FileLoop::Unmount()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    for (Folder& folder : _folders)
        for (FileList& list : folder.lists)
            ReturnToPool(list);
    Log()->Print("[FileLoop]Unmount files for loop encoding\n");
}

bool FileLoop::ChangeFile(FileList& list, const char* name)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (std::strlen(name) >= static_cast<size_t>(NAME_LENGTH))
        VK_ASSERT_REPORT("strlen(name) < NAME_LENGTH");
    for (;;) {
        if (list.empty()) {
            Log()->Print("FileLoop:%s loop fail, list size:%u\n", name, static_cast<unsigned>(list.size()));
            return false;
        }
        Claim claim = RenameHead(list, name);
        if (claim == Claim::FAILED)
            return false;
        if (claim == Claim::DONE)
            return Unhide(name);
        // The head was deleted behind the pool's back: forget it and take the next.
        list.front()->Clear();
        _shared.push_back(list.front());
        list.pop_front();
    }
}

FileLoop::Claim FileLoop::RenameHead(FileList& list, const char* name)
{
    std::shared_ptr<RecordFile> head = list.front();
    if (Exists(name)) {
        Log()->Print("%s", RULE);
        Log()->Print("[FileLoop]rename error. new file name exist, from %s to %s\n", head->name, name);
        Log()->Print("%s", RULE);
        return Claim::FAILED;
    }
    if (std::rename(head->name, name) != 0) {
        if (errno == ENOENT && !Exists(head->name)) {
            Log()->Print("[FileLoop]%s vanished, dropped\n", head->name);
            return Claim::VANISHED;
        }
        Log()->Print("[FileLoop]ChangeFile Error\n");
        return Claim::FAILED;
    }
    Log()->Print("[FileLoop]rename, from %s to %s\n", head->name, name);
    std::snprintf(head->name, NAME_LENGTH, "%s", name);
    list.pop_front();
    list.push_back(head);
    return Claim::DONE;
}

bool FileLoop::Unhide(const char* name)
{
    int fd = open(name, O_RDONLY);
    if (fd < 0) {
        Log()->Print("[FileLoop]ChangeFile open() Error\n");
        return false;
    }
    uint32_t attributes = 0;
    if (FatAttributes::Get(fd, attributes) != 0) {
        fsync(fd);
        close(fd);
        Log()->Print("[FileLoop]ChangeFile ioctl() Error\n");
        return false;
    }
    if ((attributes & FatAttributes::HIDDEN) != 0 && FatAttributes::Set(fd, attributes & ~FatAttributes::HIDDEN) != 0) {
        Log()->Print("FAT_IOCTL_SET_ATTRIBUTES error:%d\n", errno);
        fsync(fd);
        close(fd);
        return false;
    }
    if (fsync(fd) != 0) {
        Log()->Print("[FileLoop]fsync() Error\n");
        fdatasync(fd);
    }
    usleep(10);
    close(fd);
    std::printf("[FileLoop]Remove Hidden attrib\n");
    return true;
}

bool FileLoop::ClaimFor(const char* operation, FOLDER folder, CAMERA camera, const char* name)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    Log()->Print("[FileLoop]%s\n", operation);
    return ChangeFile(_folders[folder].lists[camera], name);
}

bool FileLoop::SetNormalFront(const char* name)
{
    Singleton<SDDebug>::Inst()->IncreaseNormalCounter();
    return ClaimFor("SetNormalFront", NORMAL, FRONT, name);
}

bool FileLoop::SetNormalRear(const char* name)
{
    return ClaimFor("SetNormalRear", NORMAL, REAR, name);
}

bool FileLoop::SetEventFront(const char* name)
{
    return ClaimFor("SetEventFront", EVENT, FRONT, name);
}

bool FileLoop::SetEventRear(const char* name)
{
    return ClaimFor("SetEventRear", EVENT, REAR, name);
}

bool FileLoop::SetManualFront(const char* name)
{
    return ClaimFor("SetManualFront", MANUAL, FRONT, name);
}

bool FileLoop::SetManualRear(const char* name)
{
    return ClaimFor("SetManualRear", MANUAL, REAR, name);
}

bool FileLoop::SetParkingFront(const char* name)
{
    Singleton<Pref>::Inst()->IncreaseMotionRecording();
    return ClaimFor("SetParkingFront", PARKING, FRONT, name);
}

bool FileLoop::SetParkingRear(const char* name)
{
    return ClaimFor("SetParkingRear", PARKING, REAR, name);
}

bool FileLoop::SetParkingEventFront(const char* name)
{
    return ClaimFor("SetParkingEventFront", EVENT, FRONT, name);
}

bool FileLoop::SetParkingEventRear(const char* name)
{
    return ClaimFor("SetParkingEventRear", EVENT, REAR, name);
}

} // namespace vk
