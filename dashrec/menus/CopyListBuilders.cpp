#include "dashrec/menus/CopyList.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/UsbMemory.h"
#include "dashrec/dvr/FileLists.h"

#include <cstring>
#include <functional>

namespace vk {

namespace {

const char* const FOLDERS[] = { "NORMAL", "EVENT", "MANUAL", "PARKING" };
const int SECONDS_PER_MINUTE = 60;
// Taking the whole room of the target is refused for the capacity and selected lists.
const int LEAST_LEFT = 1;

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

std::shared_ptr<CopyFile> Entry(const char* name)
{
    auto entry = std::make_shared<CopyFile>();
    entry->name = std::make_shared<std::string>(name);
    entry->GetSize();
    return entry;
}

} // namespace

bool CopyList::TimeCompare(const std::shared_ptr<CopyFile>& a, const std::shared_ptr<CopyFile>& b)
{
    return a->stamp > b->stamp;
}

int CopyList::Room()
{
    BackupMedium* target = _media == LISTMEDIA::USB ? static_cast<BackupMedium*>(Singleton<UsbMemory>::Inst())
                                                    : Singleton<SdCard>::Inst();
    return target->FreeSpace() - target->MarginSpace();
}

int CopyList::MakeList()
{
    // One row per list kind, in the order of the kinds' values.
    static const struct {
        const char* log;
        std::function<int(CopyList&)> build;
    } KINDS[] = {
        { "LISTTYPE::PLAYBACK_FILE_LIST\n", [](CopyList& l) { return l.MakePlaybackFileList(); } },
        { "LISTTYPE::LAST_5_MINUTES_LIST\n", [](CopyList& l) { return l.MakeRecentFilesList(5); } },
        { "LISTTYPE::LAST_15_MINUTES_LIST\n", [](CopyList& l) { return l.MakeRecentFilesList(15); } },
        { "LISTTYPE::LAST_30_MINUTES_LIST\n", [](CopyList& l) { return l.MakeRecentFilesList(30); } },
        { "LISTTYPE::SD_CAPACITY_LIST\n", [](CopyList& l) { return l.MakeCapacityList(); } },
        { "LISTTYPE::NORMAL_RECORD_LIST\n", [](CopyList& l) { return l.MakeFolderRecordList("NORMAL"); } },
        { "LISTTYPE::PARKING_RECORD_LIST\n", [](CopyList& l) { return l.MakeFolderRecordList("PARKING"); } },
        { "LISTTYPE::EVENT_RECORD_LIST\n", [](CopyList& l) { return l.MakeFolderRecordList("EVENT"); } },
        { "LISTTYPE::MANUAL_RECORD_LIST\n", [](CopyList& l) { return l.MakeFolderRecordList("MANUAL"); } },
        { "LISTTYPE::SELECTED_FILES_LIST\n", [](CopyList& l) { return l.MakeSelectedFilesList(); } },
    };
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _list.clear();
    if (_type < 0 || static_cast<size_t>(_type) >= sizeof(KINDS) / sizeof(KINDS[0]))
        VK_ASSERT_REPORT("0 && \"invalid copy list\"");
    Log()->Print("%s", KINDS[_type].log);
    return KINDS[_type].build(*this);
}

int CopyList::MakePlaybackFileList()
{
    FileLists* lists = Singleton<FileLists>::Inst();
    char name[64] = {};
    lists->GetTitle(name);
    VK_ASSERT(strlen(name) == CopyFile::VIDEO_FILE_LENGTH);
    std::shared_ptr<CopyFile> playing = Entry(name);
    int room = Room() - playing->size;
    if (room < 0) {
        Log()->Print("[CopyList]MakePlaybackFileList - not enough space 1\n");
        return 0;
    }
    char pair[64] = {};
    if (lists->GetPairFile(pair)) {
        VK_ASSERT(strlen(pair) == CopyFile::VIDEO_FILE_LENGTH);
        std::shared_ptr<CopyFile> twin = Entry(pair);
        if (room - twin->size < 0) {
            Log()->Print("[CopyList]MakePlaybackFileList - not enough space 2\n");
            return 0;
        }
        _list.push_back(twin);
    }
    _list.push_front(playing);
    return 1;
}

void CopyList::GetAllFiles(Files& files)
{
    FileLists* lists = Singleton<FileLists>::Inst();
    for (const char* folder : FOLDERS)
        lists->GetList(folder).GetFiles(files);
    Log()->Print("[CopyList]all file:%lu\n", static_cast<unsigned long>(files.size()));
    for (const std::shared_ptr<CopyFile>& file : files) {
        file->GetSize();
        file->GetTime();
    }
    files.sort(TimeCompare);
}

int CopyList::MakeRecentFilesList(int minutes)
{
    Files all;
    GetAllFiles(all);
    if (all.empty())
        return 1;
    time_t limit = all.front()->stamp - SECONDS_PER_MINUTE * minutes;
    int room = Room();
    for (const std::shared_ptr<CopyFile>& file : all) {
        if (file->stamp <= limit)
            break;
        _list.push_back(file);
        room -= file->size;
    }
    if (room < 0) {
        Log()->Print("[CopyList]MakeRecentFilesList(%d min) - not enough space\n", minutes);
        return 0;
    }
    Log()->Print("[CopyList]MakeRecentFilesList(%d min) - %lu selected\n", minutes,
        static_cast<unsigned long>(_list.size()));
    return 1;
}

int CopyList::MakeCapacityList()
{
    Files all;
    GetAllFiles(all);
    int room = Room();
    for (const std::shared_ptr<CopyFile>& file : all) {
        if (room - file->size < LEAST_LEFT) {
            Log()->Print("[CopyList]MakeCapacityList - not enough space\n");
            break;
        }
        room -= file->size;
        _list.push_back(file);
    }
    Log()->Print("[CopyList]MakeCapacityList - %lu selected\n", static_cast<unsigned long>(_list.size()));
    return 1;
}

int CopyList::MakeFolderRecordList(const char* folder)
{
    Files files;
    Singleton<FileLists>::Inst()->GetList(folder).GetFiles(files);
    size_t offered = GetFolderList(files, folder);
    return offered != 0 && _list.empty() ? 0 : 1;
}

size_t CopyList::GetFolderList(Files& files, const char* folder)
{
    VK_ASSERT(folder != nullptr);
    int room = Room();
    for (const std::shared_ptr<CopyFile>& file : files) {
        file->GetSize();
        if (room - file->size <= 0) {
            Log()->Print("[CopyList]%s - not enough space\n", folder);
            break;
        }
        room -= file->size;
        _list.push_back(file);
    }
    Log()->Print("[CopyList]%s - %lu selected\n", folder, static_cast<unsigned long>(_list.size()));
    return files.size();
}

int CopyList::MakeSelectedFilesList()
{
    Files marked;
    FileLists* lists = Singleton<FileLists>::Inst();
    for (const char* folder : FOLDERS)
        lists->GetList(folder).GetSelectedFiles(marked);
    int room = Room();
    for (const std::shared_ptr<CopyFile>& file : marked) {
        file->GetSize();
        if (room - file->size < LEAST_LEFT)
            break;
        room -= file->size;
        _list.push_back(file);
    }
    if (!marked.empty() && _list.empty()) {
        Log()->Print("[CopyList]SelectedFilesList - not enough space\n");
        return 0;
    }
    Log()->Print("[CopyList]SelectedFilesList - %lu selected\n", static_cast<unsigned long>(_list.size()));
    return 1;
}

} // namespace vk
