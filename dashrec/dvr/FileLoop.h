#pragma once
// Loop recording over the medium's pre-allocated files. Recording never
// creates or deletes a file: each folder holds a fixed set of full-size files,
// hidden while free, and every new recording takes over the oldest file of its
// folder and camera by renaming it. Free files carry a name that sorts before
// every recording, so the head of a sorted list is a free file while one is
// left, and otherwise the oldest recording.

#include "dashrec/core/Singleton.h"

#include <list>
#include <memory>
#include <string>

namespace vk {

class FileLoop : public Singleton<FileLoop> {
public:
    static const int NAME_LENGTH = 128;
    static const int INIT_ALLOC = 1024;

    enum FOLDER { NORMAL = 0, EVENT = 1, MANUAL = 2, PARKING = 3, MAX_FOLDER = 4 };
    enum CAMERA { FRONT = 0, REAR = 1, MAX_CAMERA = 2 };

    struct RecordFile {
        RecordFile() { Clear(); }
        void Clear() { name[0] = '\0'; }
        char name[NAME_LENGTH];
    };
    using FileList = std::list<std::shared_ptr<RecordFile>>;

    struct Folder {
        std::string name;
        FileList lists[MAX_CAMERA];
    };

    void Init();
    void Mount();
    void Unmount();
    // Takes over the head of the list for `name`; false when nothing could be claimed.
    bool ChangeFile(FileList& list, const char* name);

    bool SetNormalFront(const char* name);
    bool SetNormalRear(const char* name);
    bool SetEventFront(const char* name);
    bool SetEventRear(const char* name);
    bool SetManualFront(const char* name);
    bool SetManualRear(const char* name);
    bool SetParkingFront(const char* name);
    bool SetParkingRear(const char* name);
    bool SetParkingEventFront(const char* name);
    bool SetParkingEventRear(const char* name);

    const FileList& List(FOLDER folder, CAMERA camera) const { return _folders[folder].lists[camera]; }
    size_t PoolSize() const { return _shared.size(); }

private:
    enum class Claim { DONE, FAILED, VANISHED };

    void ReturnToPool(FileList& list);
    void ScanFolder(Folder& folder);
    void SortFolder(Folder& folder);
    std::shared_ptr<RecordFile> TakeFromPool();
    Claim RenameHead(FileList& list, const char* name);
    bool Unhide(const char* name);
    bool ClaimFor(const char* operation, FOLDER folder, CAMERA camera, const char* name);

    const std::string _paths[MAX_FOLDER] = { "/mnt/extsd/NORMAL", "/mnt/extsd/EVENT", "/mnt/extsd/MANUAL",
                                             "/mnt/extsd/PARKING" };
    FileList _shared;
    bool _updateFileTime = false;
    Folder _folders[MAX_FOLDER];
};

} // namespace vk
