#pragma once
// What a backup copies: the kind of list to build and the target medium.

#include "dashrec/core/Singleton.h"

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
    ~CopyList() override = default;

    void SetListType(LISTTYPE::VALUE type);
    LISTTYPE::VALUE GetListType();
    void SetListMedia(LISTMEDIA::VALUE media);
    LISTMEDIA::VALUE GetListMedia();

private:
    friend class Singleton<CopyList>;
    CopyList() = default;

    LISTTYPE::VALUE _type = LISTTYPE::PLAYBACK_FILE_LIST;
    LISTMEDIA::VALUE _media = LISTMEDIA::SDCARD;
};

} // namespace vk
