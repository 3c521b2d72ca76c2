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
    static const size_t VIDEO_FILE_LENGTH = 22;

    // The kind of recording, from the name's prefix.
    void SetRecordType();
    // The recording's path on the recording medium.
    void MakeFullName();
    // Measures the file once; a file that cannot be measured stays 0.
    void GetSize();
    // The local time that the name gives.
    void GetTime();
    // Where the copy goes on the target medium.
    std::string Destination();

    // MiB, 0 until measured.
    int size = 0;
    time_t stamp = 0;
    RECTYPE::RECORD type = RECTYPE::MAX_TYPE;
    std::shared_ptr<std::string> name;
    std::string fullname;
};

} // namespace vk
