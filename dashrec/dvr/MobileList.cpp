#include "dashrec/dvr/MobileList.h"

#include "dashrec/core/FatAttributes.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"
#include "dashrec/dvr/FileLists.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

const char* const CARD = "/mnt/extsd/";
constexpr size_t VIDEO_FILE_LENGTH = 22;
constexpr size_t PREFIX_LENGTH = 4;
constexpr size_t NUMBER_AT = 11;
const char* const BANNER = "+++++++++++++++++++++++++++++++++";

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

bool Contains(const std::string& name, const char* part)
{
    return name.find(part) != std::string::npos;
}

// The list a card file belongs to, or MAX_FILE_TYPE for none.
MobileList::FILE_TYPE TypeOf(const std::string& name)
{
    if (Contains(name, ".MP4"))
        return Contains(name, "F.MP4") ? MobileList::FRONT : Contains(name, "R.MP4") ? MobileList::REAR
                                                                                        : MobileList::MAX_FILE_TYPE;
    if (Contains(name, ".TMP"))
        return Contains(name, "F.TMP")   ? MobileList::FRONT_NOT_USED
               : Contains(name, "R.TMP") ? MobileList::REAR_NOT_USED
                                         : MobileList::MAX_FILE_TYPE;
    return MobileList::MAX_FILE_TYPE;
}

bool IsFront(MobileList::FILE_TYPE type)
{
    return type == MobileList::FRONT || type == MobileList::FRONT_NOT_USED;
}

// Hidden, so that the card's free files stay out of sight.
void Hide(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        Log()->Print("[MobileList]can't open %s\n", path.c_str());
        return;
    }
    uint32_t attributes = 0;
    if (FatAttributes::Get(fd, attributes) == 0 && (attributes & FatAttributes::HIDDEN) == 0 &&
        FatAttributes::Set(fd, attributes | FatAttributes::HIDDEN) != 0)
        Log()->Print("FAT_IOCTL_SET_ATTRIBUTES error:%d\n", errno);
    close(fd);
}

} // namespace

void MobileList::Read()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _read = false;
    if (!Singleton<Storage>::Inst()->DoesDeviceExist()) {
        std::printf("[MobileList]SD Card is not mounted\n");
        return;
    }
    for (const auto& folder : _folderType)
        ReadFolder(folder.first, folder.second);
    _read = true;
}

void MobileList::ReadFolder(const std::string& folder, FOLDER_TYPE type)
{
    std::string path = CARD + folder;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) {
        Log()->Print("[MobileList::Read]can't open %s\n", path.c_str());
        return;
    }
    for (List& list : _folders[type])
        list.clear();
    std::printf("%s\n[MobileList::Read]Read %s\n%s\n", BANNER, path.c_str(), BANNER);
    unsigned frontSize = 0;
    unsigned rearSize = 0;
    for (dirent* entry = readdir(dir); entry != nullptr; entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (name.size() != VIDEO_FILE_LENGTH) {
            std::printf("%s length mismatched\n", name.c_str());
            continue;
        }
        char fullpath[128];
        VK_ASSERT(std::snprintf(fullpath, sizeof(fullpath), "%s/%s", path.c_str(), name.c_str()) <
                  static_cast<int>(sizeof(fullpath)));
        FILE_TYPE fileType = TypeOf(name);
        if (fileType == MAX_FILE_TYPE)
            continue;
        unsigned& size = IsFront(fileType) ? frontSize : rearSize;
        if (size == 0)
            size = static_cast<unsigned>(GetFileSize(fullpath));
        _folders[type][fileType].emplace_back(name, size);
    }
    closedir(dir);
    Sort(type);
    std::printf("[MobileList::Read]folder.size() = %u\n", static_cast<unsigned>(MAX_FILE_TYPE));
    const char* labels[MAX_FILE_TYPE] = {"frontlist", "fronttmplist", "rearlist", "reartmplist"};
    for (int t = 0; t < MAX_FILE_TYPE; t++)
        std::printf("[MobileList::Read]%s.size() = %u\n", labels[t], static_cast<unsigned>(_folders[type][t].size()));
}

void MobileList::Sort(FOLDER_TYPE folder)
{
    auto descending = [](const file_t& a, const file_t& b) { return a.name > b.name; };
    auto ascending = [](const file_t& a, const file_t& b) { return a.name < b.name; };
    List* lists = _folders[folder];
    std::sort(lists[FRONT].begin(), lists[FRONT].end(), descending);
    std::sort(lists[REAR].begin(), lists[REAR].end(), descending);
    std::sort(lists[FRONT_NOT_USED].begin(), lists[FRONT_NOT_USED].end(), ascending);
    std::sort(lists[REAR_NOT_USED].begin(), lists[REAR_NOT_USED].end(), ascending);
}

void MobileList::Clear()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    std::printf("%s\n++++++ MobileList::Clear() ++++++\n%s\n", BANNER, BANNER);
    _read = false;
    for (auto& folder : _folders) {
        for (List& list : folder)
            list.clear();
    }
}

void MobileList::GetList(const std::string& cam, const std::string& recType, std::string& out)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    VK_ASSERT(cam == "F" || cam == "R");
    auto folder = _folderType.find(recType);
    VK_ASSERT(folder != _folderType.end());
    if (!_read)
        Read();
    out.clear();
    for (const file_t& file : _folders[folder->second][_fileType.at(cam)])
        out += file.name + "," + std::to_string(file.size) + ",";
    if (!out.empty())
        out.pop_back();
}

bool MobileList::DeleteFile(const std::string& filename)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    auto folder = std::find_if(_folderToPrefix.begin(), _folderToPrefix.end(),
                               [&](const auto& entry) { return filename.compare(0, PREFIX_LENGTH, entry.second) == 0; });
    FILE_TYPE camera = TypeOf(filename);
    if (filename.size() != VIDEO_FILE_LENGTH || folder == _folderToPrefix.end() ||
        (camera != FRONT && camera != REAR)) {
        std::printf("%s not correct name\n", filename.c_str());
        return false;
    }
    List* lists = _folders[_folderType.at(folder->first)];
    List& used = lists[camera];
    List& free = lists[camera == FRONT ? FRONT_NOT_USED : REAR_NOT_USED];
    auto victim = std::find_if(used.begin(), used.end(), [&](const file_t& f) { return f.name == filename; });
    if (victim == used.end())
        return false;
    int number = free.empty() ? static_cast<int>(used.size()) - 1
                              : std::atoi(free.front().name.substr(NUMBER_AT, 6).c_str()) - 1;
    // Below 000000 there is no free name: the recording stays.
    if (number < 0)
        return false;
    char tempname[32];
    VK_ASSERT(std::snprintf(tempname, sizeof(tempname), ".%s90925-%06d%s%s", folder->second.c_str(), number,
                            camera == FRONT ? "F" : "R", ".TMP") < static_cast<int>(sizeof(tempname)));
    std::string directory = CARD + folder->first + "/";
    // rename would silently replace a free file that the lists do not know of.
    struct stat taken;
    if (lstat((directory + tempname).c_str(), &taken) == 0) {
        Log()->Print("[MobileList]rename %s: %s exists\n", filename.c_str(), tempname);
        return false;
    }
    if (std::rename((directory + filename).c_str(), (directory + tempname).c_str()) != 0) {
        Log()->Print("[MobileList]rename %s: %s\n", filename.c_str(), std::strerror(errno));
        return false;
    }
    Hide(directory + tempname);
    free.insert(free.begin(), file_t(tempname, victim->size));
    used.erase(victim);
    Sort(_folderType.at(folder->first));
    return true;
}

} // namespace vk
