#pragma once
// The index of the recordings per folder that playback and backup use: five
// to a page, newest first, the front and rear file of one moment side by
// side. It is rebuilt lazily: users mark it stale and the next user re-reads it.

#include "dashrec/core/Singleton.h"

#include <array>
#include <atomic>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vk {

class CopyFile;

class RecordingFile {
public:
    // MiB.
    int size = 0;
    // Marked for copying.
    bool check = false;
    std::shared_ptr<std::string> name;
};

class Playfile {
public:
    enum ORDER { DESCENDING = 0, ASCENDING = 1, ORDER_MAX = 2 };
    struct list_s {
        std::string path;
        std::vector<std::shared_ptr<RecordingFile>> files;
        unsigned focus = 0;
        unsigned pageStartIndex = 0;
    };
    using CopyFiles = std::list<std::shared_ptr<CopyFile>>;

    static constexpr int FILES_IN_PAGE = 5;
    static constexpr size_t VIDEO_FILE_LENGTH = 22;
    // Prefix and time stamp: the part the two cameras' files of one moment share.
    static constexpr size_t MOMENT_LENGTH = 17;

    virtual ~Playfile() = default;

    void Open(const std::string& folder, const std::string& prefix);
    void Clear();

    int CurrentPage();
    int LastPage();
    void GetPage(int& current, int& last);
    void GoToNextPage(int pages);
    void GoToPrevPage(int pages);

    bool GetFileName(int button, char* dest, bool& check);
    bool GetFileName(int button, char* dest);
    bool GetPairFileName(int button, char* dest);
    int GetFocus();
    void SetFocus(int buttonId);
    size_t GetListSize() const { return _lists[DESCENDING].files.size(); }
    void SelectOrder(ORDER order);

    void GetFiles(CopyFiles& files);
    void GetSelectedFiles(CopyFiles& files);
    void ClearSelect();
    int GetSelectedFilesNumber();
    // The change in the number of selected files (-2..2).
    int ChangeSelect(int button);

private:
    list_s& Current();
    void AssertStartInside(const list_s& list);
    void AssertPaged(const list_s& list);
    // The index of the entry at a button of the current page.
    unsigned IndexOf(const list_s& list, int button);
    // The index of the other camera's file of the same moment, or -1.
    int PartnerOf(const list_s& list, unsigned index);
    void AppendCopies(CopyFiles& files, bool selectedOnly);
    // Toggles the mark and books the file's size on the room left; +1 or -1.
    static int ToggleSelect(RecordingFile& file, int& free);

    ORDER _order = DESCENDING;
    list_s _lists[ORDER_MAX];
};

// Bytes of a file, 0 when it cannot be measured or reads empty.
long long GetFileSize(const std::string& path);

class FileLists : public Singleton<FileLists> {
public:
    static constexpr size_t VIDEO_FILE_LENGTH = Playfile::VIDEO_FILE_LENGTH;
    enum FRONT_REAR { FILE_FRONT = 0, FILE_REAR = 1 };
    struct PLAYFILE {
        FRONT_REAR current = FILE_FRONT;
        std::string path;
        std::array<std::string, 2> files;
    };

    static const std::string EXT_NAME;
    static const std::string FRONT_POSTFIX;
    static const std::string REAR_POSTFIX;

    ~FileLists() override = default;

    // Re-reads the folders when the index is marked stale.
    void Open();
    void Close();
    void SetReload() { _reload = true; }
    bool NeedReload() const { return _reload; }

    Playfile& GetList(const std::string& folder);
    size_t GetSize(const std::string& folder);

    static bool IsFrontFile(const char* name);
    static bool IsRearFile(const char* name);

    // The file at a button of the folder's current page becomes the one to play.
    void SetPlayFile(const std::string& folder, int button);
    void GetPlayFile(char* fullname);
    void GetTitle(char* name);
    bool GetPairFile(char* dest);
    bool IsPlayFileFront() const { return _playfile.current == FILE_FRONT; }
    void SwapFrontRearFile();
    bool DoesFrontFileExist();
    bool DoesRearFileExist();
    bool DoesPairFileExist();

private:
    friend class Singleton<FileLists>;
    FileLists();

    // Cleared by the list loader's thread once the lists are read; asked and set by the windows'.
    std::atomic<bool> _reload{true};
    PLAYFILE _playfile;
    const std::array<std::string, 4> _dirs{"NORMAL", "EVENT", "MANUAL", "PARKING"};
    const std::map<std::string, std::string> _prefix{
        {"NORMAL", "NORM"}, {"EVENT", "EVEN"}, {"MANUAL", "MANU"}, {"PARKING", "PARK"}};
    std::map<std::string, Playfile> _playfiles;
};

} // namespace vk
