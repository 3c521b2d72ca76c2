#include "dashrec/dvr/FileLists.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/UsbMemory.h"
#include "dashrec/menus/CopyFile.h"
#include "dashrec/menus/CopyList.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>

namespace vk {

namespace {

const char* const CARD = "/mnt/extsd/";
constexpr int FILE_STAT_ATTEMPTS = 3;
constexpr int MIB_SHIFT = 20;

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

bool Contains(const std::string& name, const std::string& part)
{
    return name.find(part) != std::string::npos;
}

bool SameMoment(const std::string& a, const std::string& b)
{
    return a.compare(0, Playfile::MOMENT_LENGTH, b, 0, Playfile::MOMENT_LENGTH) == 0;
}

// Newest moment first; of one moment the front file before the rear.
bool Descending(const std::shared_ptr<RecordingFile>& a, const std::shared_ptr<RecordingFile>& b)
{
    int moment = a->name->compare(0, Playfile::MOMENT_LENGTH, *b->name, 0, Playfile::MOMENT_LENGTH);
    if (moment != 0)
        return moment > 0;
    return a->name->compare(Playfile::MOMENT_LENGTH, std::string::npos, *b->name, Playfile::MOMENT_LENGTH,
                            std::string::npos) < 0;
}

int SizeInMib(const std::string& path)
{
    return static_cast<int>(GetFileSize(path) >> MIB_SHIFT);
}

// Free room on the copy target in MiB.
int CopyTargetRoom()
{
    if (Singleton<CopyList>::Inst()->GetListMedia() == LISTMEDIA::USB) {
        UsbMemory* usb = Singleton<UsbMemory>::Inst();
        return usb->FreeSpace() - usb->MarginSpace();
    }
    SdCard* sd = Singleton<SdCard>::Inst();
    return sd->FreeSpace() - sd->MarginSpace();
}

} // namespace

long long GetFileSize(const std::string& path)
{
    for (int attempt = 0; attempt < FILE_STAT_ATTEMPTS; attempt++) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && st.st_size != 0)
            return st.st_size;
    }
    return 0;
}

// ---- Playfile

Playfile::list_s& Playfile::Current()
{
    VK_ASSERT(_order < ORDER::ORDER_MAX && _order >= ORDER::DESCENDING);
    return _lists[_order];
}

void Playfile::Open(const std::string& folder, const std::string& prefix)
{
    Clear();
    list_s& list = _lists[DESCENDING];
    list.path = CARD + folder + "/";
    Log()->Print("[Playfile]Path:%s\n", list.path.c_str());
    DIR* dir = opendir(list.path.c_str());
    if (dir == nullptr) {
        Log()->Print("[Playfile]%s can't be opened\n", list.path.c_str());
        return;
    }
    int frontSize = -1;
    int rearSize = -1;
    for (dirent* entry = readdir(dir); entry != nullptr; entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (!Contains(name, FileLists::EXT_NAME) || name.compare(0, prefix.size(), prefix) != 0 ||
            name.size() != VIDEO_FILE_LENGTH)
            continue;
        bool front = Contains(name, FileLists::FRONT_POSTFIX);
        if (!front && !Contains(name, FileLists::REAR_POSTFIX))
            continue;
        // Pre-allocated files are of one size per camera: one measurement serves.
        int& size = front ? frontSize : rearSize;
        if (size < 0)
            size = SizeInMib(list.path + name);
        auto file = std::make_shared<RecordingFile>();
        file->size = size;
        file->name = std::make_shared<std::string>(name);
        list.files.push_back(file);
    }
    closedir(dir);
    std::sort(list.files.begin(), list.files.end(), Descending);
}

void Playfile::Clear()
{
    for (list_s& list : _lists) {
        list.path.clear();
        list.files.clear();
        list.focus = 0;
        list.pageStartIndex = 0;
    }
}

// The start index is unsigned: "inside" is its upper bound alone.
void Playfile::AssertStartInside(const list_s& list)
{
    if (list.pageStartIndex >= list.files.size())
        VK_ASSERT_REPORT("list.pageStartIndex >= 0 && list.pageStartIndex < list.files.size()");
}

void Playfile::AssertPaged(const list_s& list)
{
    VK_ASSERT(list.files.size() != 0);
    AssertStartInside(list);
    VK_ASSERT(list.pageStartIndex % FILES_IN_PAGE == 0);
}

int Playfile::CurrentPage()
{
    list_s& list = Current();
    VK_ASSERT(list.files.size() != 0);
    AssertStartInside(list);
    return static_cast<int>(list.pageStartIndex / FILES_IN_PAGE + 1);
}

int Playfile::LastPage()
{
    list_s& list = Current();
    VK_ASSERT(list.files.size() != 0);
    return static_cast<int>((list.files.size() - 1) / FILES_IN_PAGE + 1);
}

void Playfile::GetPage(int& current, int& last)
{
    AssertPaged(Current());
    current = CurrentPage();
    last = LastPage();
}

void Playfile::GoToNextPage(int pages)
{
    list_s& list = Current();
    AssertPaged(list);
    list.pageStartIndex += FILES_IN_PAGE * pages;
    if (list.pageStartIndex >= list.files.size())
        list.pageStartIndex = 0;
    list.focus = 0;
}

void Playfile::GoToPrevPage(int pages)
{
    list_s& list = Current();
    AssertPaged(list);
    long start = static_cast<long>(list.pageStartIndex) - static_cast<long>(FILES_IN_PAGE) * pages;
    list.pageStartIndex = start < 0 ? FILES_IN_PAGE * (LastPage() - 1) : static_cast<unsigned>(start);
    list.focus = 0;
}

unsigned Playfile::IndexOf(const list_s& list, int button)
{
    VK_ASSERT(button >= 0 && button < static_cast<int>(FILES_IN_PAGE));
    return list.pageStartIndex + static_cast<unsigned>(button);
}

bool Playfile::GetFileName(int button, char* dest, bool& check)
{
    list_s& list = Current();
    unsigned index = IndexOf(list, button);
    VK_ASSERT(dest != nullptr);
    if (index >= list.files.size()) {
        dest[0] = '\0';
        return false;
    }
    const RecordingFile& file = *list.files[index];
    std::strcpy(dest, file.name->c_str());
    VK_ASSERT(strlen(dest) == VIDEO_FILE_LENGTH);
    check = file.check;
    return true;
}

bool Playfile::GetFileName(int button, char* dest)
{
    bool check = false;
    return GetFileName(button, dest, check);
}

int Playfile::PartnerOf(const list_s& list, unsigned index)
{
    const std::string& name = *list.files[index]->name;
    bool front = FileLists::IsFrontFile(name.c_str());
    VK_ASSERT(front || FileLists::IsRearFile(name.c_str()));
    long partner = front ? static_cast<long>(index) + 1 : static_cast<long>(index) - 1;
    if (partner < 0 || partner >= static_cast<long>(list.files.size()))
        return -1;
    return SameMoment(*list.files[partner]->name, name) ? static_cast<int>(partner) : -1;
}

bool Playfile::GetPairFileName(int button, char* dest)
{
    list_s& list = Current();
    unsigned index = IndexOf(list, button);
    VK_ASSERT(dest != nullptr);
    int partner = index < list.files.size() ? PartnerOf(list, index) : -1;
    if (partner < 0) {
        dest[0] = '\0';
        return false;
    }
    std::strcpy(dest, list.files[partner]->name->c_str());
    return true;
}

int Playfile::GetFocus()
{
    list_s& list = Current();
    int focus = static_cast<int>(list.focus);
    VK_ASSERT(focus >= 0 && focus < FILES_IN_PAGE);
    return focus;
}

void Playfile::SetFocus(int buttonId)
{
    VK_ASSERT(buttonId >= 0 && buttonId < FILES_IN_PAGE);
    Current().focus = static_cast<unsigned>(buttonId);
}

void Playfile::SelectOrder(ORDER)
{
    std::printf("SelectOrder() does not work\n");
}

void Playfile::AppendCopies(CopyFiles& files, bool selectedOnly)
{
    list_s& list = Current();
    int measured[2] = {-1, -1};
    for (const auto& entry : list.files) {
        if (selectedOnly && !entry->check)
            continue;
        if (selectedOnly)
            entry->check = false;
        bool front = Contains(*entry->name, FileLists::FRONT_POSTFIX);
        if (!front && !Contains(*entry->name, FileLists::REAR_POSTFIX))
            continue;
        auto copy = std::make_shared<CopyFile>();
        copy->name = entry->name;
        copy->size = entry->size;
        if (copy->size == 0) {
            int& size = measured[front ? 0 : 1];
            if (size < 0)
                size = SizeInMib(list.path + *entry->name);
            copy->size = size;
        }
        files.push_back(copy);
    }
}

void Playfile::GetFiles(CopyFiles& files)
{
    AppendCopies(files, false);
}

void Playfile::GetSelectedFiles(CopyFiles& files)
{
    AppendCopies(files, true);
}

void Playfile::ClearSelect()
{
    for (const auto& entry : Current().files)
        entry->check = false;
}

int Playfile::GetSelectedFilesNumber()
{
    const auto& files = Current().files;
    return static_cast<int>(std::count_if(files.begin(), files.end(), [](const auto& f) { return f->check; }));
}

int Playfile::ChangeSelect(int button)
{
    list_s& list = Current();
    int free = CopyTargetRoom();
    for (const auto& entry : list.files)
        free -= entry->check ? entry->size : 0;

    AssertPaged(list);
    unsigned index = IndexOf(list, button);
    VK_ASSERT(index < list.files.size());
    RecordingFile& file = *list.files[index];
    int result = 0;
    if (!file.check && free - file.size < 0) {
        Log()->Print("[Playfile]free:%d, %s filesize:%d, not enought space\n", free, file.name->c_str(), file.size);
    } else {
        result = ToggleSelect(file, free);
        int partner = PartnerOf(list, index);
        if (partner >= 0) {
            RecordingFile& pair = *list.files[partner];
            if (!pair.check && free - pair.size < 0) {
                file.check = false;
                result = 0;
            } else {
                result += ToggleSelect(pair, free);
            }
        }
    }
    Log()->Print("[Playfile]freespace:%d, result:%d\n", free, result);
    return result;
}

int Playfile::ToggleSelect(RecordingFile& file, int& free)
{
    file.check = !file.check;
    if (file.check) {
        free -= file.size;
        Log()->Print("[Playfile]%s selected\n", file.name->c_str());
        return 1;
    }
    free += file.size;
    Log()->Print("[Playfile]%s unselected \n", file.name->c_str());
    return -1;
}

// ---- FileLists

const std::string FileLists::EXT_NAME = ".MP4";
const std::string FileLists::FRONT_POSTFIX = "F.MP4";
const std::string FileLists::REAR_POSTFIX = "R.MP4";

FileLists::FileLists()
{
    for (const std::string& dir : _dirs)
        _playfiles.emplace(dir, Playfile());
}

void FileLists::Open()
{
    VK_ASSERT(_playfiles.size() != 0);
    if (!_reload)
        return;
    for (const std::string& dir : _dirs) {
        auto it = _playfiles.find(dir);
        VK_ASSERT(it != _playfiles.end());
        auto prefix = _prefix.find(dir);
        VK_ASSERT(prefix != _prefix.end());
        it->second.Open(dir, prefix->second);
    }
    _reload = false;
}

void FileLists::Close()
{
    for (auto& folder : _playfiles)
        folder.second.Clear();
    _reload = true;
}

Playfile& FileLists::GetList(const std::string& folder)
{
    auto it = _playfiles.find(folder);
    VK_ASSERT(it != _playfiles.end());
    return it->second;
}

size_t FileLists::GetSize(const std::string& folder)
{
    return GetList(folder).GetListSize();
}

bool FileLists::IsFrontFile(const char* name)
{
    VK_ASSERT(strlen(name) == VIDEO_FILE_LENGTH);
    return Contains(name, FRONT_POSTFIX);
}

bool FileLists::IsRearFile(const char* name)
{
    VK_ASSERT(strlen(name) == VIDEO_FILE_LENGTH);
    return Contains(name, REAR_POSTFIX);
}

void FileLists::SetPlayFile(const std::string& folder, int button)
{
    Playfile& playfile = GetList(folder);
    _playfile.path = CARD + folder + "/";
    _playfile.files = {"", ""};

    char name[Playfile::VIDEO_FILE_LENGTH + 1];
    bool found = playfile.GetFileName(button, name);
    VK_ASSERT(found);
    if (IsFrontFile(name))
        _playfile.current = FILE_FRONT;
    else if (IsRearFile(name))
        _playfile.current = FILE_REAR;
    else
        VK_ASSERT_REPORT("IsFrontFile(name) || IsRearFile(name)");
    _playfile.files[_playfile.current] = name;

    if (playfile.GetPairFileName(button, name))
        _playfile.files[IsFrontFile(name) ? FILE_FRONT : FILE_REAR] = name;
    Log()->Print("[FileLists]First:%s\n", _playfile.files[FILE_FRONT].c_str());
    Log()->Print("[FileLists]Second:%s\n", _playfile.files[FILE_REAR].c_str());
}

void FileLists::GetPlayFile(char* fullname)
{
    VK_ASSERT(fullname != nullptr);
    int index = _playfile.current;
    VK_ASSERT(index == FILE_FRONT || index == FILE_REAR);
    std::sprintf(fullname, "%s%s", _playfile.path.c_str(), _playfile.files[index].c_str());
}

void FileLists::GetTitle(char* name)
{
    const std::string& title = _playfile.files[_playfile.current];
    if (title.size() != VIDEO_FILE_LENGTH) {
        std::printf("GetTitle - %s\n", title.c_str());
        VK_ASSERT(title.size() == VIDEO_FILE_LENGTH);
    }
    std::strcpy(name, title.c_str());
}

bool FileLists::GetPairFile(char* dest)
{
    const std::string& pair = _playfile.files[_playfile.current == FILE_FRONT ? FILE_REAR : FILE_FRONT];
    if (pair.size() != VIDEO_FILE_LENGTH) {
        dest[0] = '\0';
        return false;
    }
    std::strcpy(dest, pair.c_str());
    return true;
}

void FileLists::SwapFrontRearFile()
{
    if (!DoesFrontFileExist() || !DoesRearFileExist()) {
        std::printf("SwapFrontRearFile:%s\n", _playfile.files.at(FILE_FRONT).c_str());
        std::printf("SwapFrontRearFile:%s\n", _playfile.files.at(FILE_REAR).c_str());
        VK_ASSERT(_playfile.files.at(FILE_FRONT).size() == VIDEO_FILE_LENGTH);
        VK_ASSERT(_playfile.files.at(FILE_REAR).size() == VIDEO_FILE_LENGTH);
    }
    _playfile.current = _playfile.current == FILE_FRONT ? FILE_REAR : FILE_FRONT;
}

bool FileLists::DoesFrontFileExist()
{
    return _playfile.files[FILE_FRONT].size() == VIDEO_FILE_LENGTH;
}

bool FileLists::DoesRearFileExist()
{
    return _playfile.files[FILE_REAR].size() == VIDEO_FILE_LENGTH;
}

bool FileLists::DoesPairFileExist()
{
    const std::string& current = _playfile.files[_playfile.current];
    if (current.size() != VIDEO_FILE_LENGTH) {
        std::printf("[FileLists]DoesPairFileExist - %s\n", current.c_str());
        VK_ASSERT(current.size() == VIDEO_FILE_LENGTH);
    }
    return _playfile.current == FILE_FRONT ? DoesRearFileExist() : DoesFrontFileExist();
}

} // namespace vk
