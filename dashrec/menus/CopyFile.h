#pragma once
// One recording of a backup's copy list: the bare name shared with the file
// lists, its folder's kind, its size and recording time once measured.

#include "dashrec/dvr/EngineCallbacks.h"

#include <ctime>
#include <memory>
#include <string>

namespace vk {

class CopyFile {
public:
    // MiB, 0 until measured.
    int size = 0;
    time_t stamp = 0;
    RECTYPE::RECORD type = RECTYPE::MAX_TYPE;
    std::shared_ptr<std::string> name;
    std::string fullname;
};

} // namespace vk
