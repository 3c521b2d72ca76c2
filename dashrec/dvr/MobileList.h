#pragma once
// The phone app's view of the card's record folders: per folder the front
// and rear recordings in use (newest first) and the hidden files free for
// the loop recorder (smallest first). A deleted recording becomes a free file.

#include "dashrec/core/Singleton.h"

#include <map>
#include <string>
#include <vector>

namespace vk {

class MobileList : public Singleton<MobileList> {
public:
    struct file_t {
        file_t(std::string n, unsigned s) : name(std::move(n)), size(s) {}
        std::string name;
        unsigned size;
    };
    enum FILE_TYPE { FRONT = 0, FRONT_NOT_USED, REAR, REAR_NOT_USED, MAX_FILE_TYPE };
    enum FOLDER_TYPE { FOLDER_NORMAL = 0, FOLDER_EVENT, FOLDER_MANUAL, FOLDER_PARKING, MAX_FOLDER };

    void Read();
    void Clear();
    void GetList(const std::string& cam, const std::string& recType, std::string& out);
    // False when the name is no listed recording or the card refused the change.
    bool DeleteFile(const std::string& filename);

private:
    friend class Singleton<MobileList>;
    MobileList() = default;

    using List = std::vector<file_t>;
    void ReadFolder(const std::string& folder, FOLDER_TYPE type);
    void Sort(FOLDER_TYPE folder);

    bool _read = false;
    List _folders[MAX_FOLDER][MAX_FILE_TYPE];
    const std::map<std::string, FILE_TYPE> _fileType{{"F", FRONT}, {"R", REAR}};
    const std::map<std::string, FOLDER_TYPE> _folderType{
        {"NORMAL", FOLDER_NORMAL}, {"EVENT", FOLDER_EVENT}, {"MANUAL", FOLDER_MANUAL}, {"PARKING", FOLDER_PARKING}};
    const std::map<std::string, std::string> _folderToPrefix{
        {"NORMAL", "NORM"}, {"EVENT", "EVEN"}, {"MANUAL", "MANU"}, {"PARKING", "PARK"}};
};

} // namespace vk
