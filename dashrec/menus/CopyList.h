#pragma once
// What a backup copies: the kind of list to build, the target medium, the
// list built last, and the copy of one recording to the target.

#include "dashrec/core/Singleton.h"
#include "dashrec/menus/CopyFile.h"

#include <list>
#include <memory>
#include <string>

namespace vk {

namespace LISTTYPE {
enum VALUE {
    PLAYBACK_FILE_LIST = 0,
    LAST_5_MINUTES_LIST = 1,
    LAST_15_MINUTES_LIST = 2,
    LAST_30_MINUTES_LIST = 3,
    SD_CAPACITY_LIST = 4,
    NORMAL_RECORD_LIST = 5,
    PARKING_RECORD_LIST = 6,
    EVENT_RECORD_LIST = 7,
    MANUAL_RECORD_LIST = 8,
    SELECTED_FILES_LIST = 9,
};
} // namespace LISTTYPE

namespace LISTMEDIA {
enum VALUE { SDCARD = 0, USB = 1 };
} // namespace LISTMEDIA

class CopyList : public Singleton<CopyList> {
public:
    static const int CMD_SIZE = 512;

    ~CopyList() override = default;

    void SetListType(LISTTYPE::VALUE type);
    LISTTYPE::VALUE GetListType();
    void SetListMedia(LISTMEDIA::VALUE media);
    LISTMEDIA::VALUE GetListMedia();
    // Builds the list of the kind set last: 1 built, 0 the target has no room.
    int MakeList();
    // The list built last; callers keep a copy while they iterate.
    std::list<std::shared_ptr<CopyFile>> GetList();
    // Copies one recording to the target; true when the copy printed nothing.
    bool Copy(std::shared_ptr<CopyFile> pfile);

    // True when a's recording is later than b's.
    static bool TimeCompare(const std::shared_ptr<CopyFile>& a, const std::shared_ptr<CopyFile>& b);

private:
    friend class Singleton<CopyList>;
    CopyList() = default;

    using Files = std::list<std::shared_ptr<CopyFile>>;

    int MakePlaybackFileList();
    int MakeRecentFilesList(int minutes);
    int MakeCapacityList();
    int MakeFolderRecordList(const char* folder);
    int MakeSelectedFilesList();
    // Every recording of the four folders, measured, newest first.
    void GetAllFiles(Files& files);
    // Takes the folder's files in order while they fit; how many were offered.
    size_t GetFolderList(Files& files, const char* folder);
    // The target's free space less its margin, in MiB.
    int Room();
    bool CheckCopyResult(bool exited);

    char _cmd[CMD_SIZE] = {};
    LISTTYPE::VALUE _type = LISTTYPE::PLAYBACK_FILE_LIST;
    LISTMEDIA::VALUE _media = LISTMEDIA::SDCARD;
    std::list<std::shared_ptr<CopyFile>> _list;
    const std::string _log = "/tmp/copylog.txt";
};

} // namespace vk
