// The card log's copy to a backup medium, and the check that the card's
// "SYSTEM/" folder is there to log into.

#include "dashrec/core/SDDebug.h"

#include "dashrec/core/CLogger.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/Storage.h"
#include "dashrec/core/UsbMemory.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

const char* const CARD_ROOT = "/mnt/extsd/";
const char* const HISTORY_RESULT = "/tmp/history.txt";
// A longer copy report is logged by its start only.
const size_t WHOLE_REPORT = 128;
const size_t REPORT_START = 118;

bool IsDirectory(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

// Without the log lock: the storage service logs while it holds its own lock,
// so taking the storage lock under the log lock could deadlock; the mount
// would also hold up every thread's logging. `_writable` is atomic.
void SDDebug::CheckFiles()
{
    std::string folder = CARD_ROOT + DIR_SYSTEM;
    if (!IsDirectory(folder)) {
        char cmd[128];
        VK_FORMAT_COMMAND(cmd, "mount %s %s", Singleton<Storage>::Inst()->CurrentPartition().c_str(), CARD_ROOT);
        std::system(cmd);
    }
    if (IsDirectory(folder))
        _writable = true;
}

void SDDebug::CopyHistory()
{
    CopyHistoryTo(Singleton<Storage>::Inst()->SD_MOUNT_POSITION, [] { return Singleton<SdCard>::Inst()->IsIn(); });
}

void SDDebug::CopyHistoryToUsb()
{
    CopyHistoryTo(Singleton<Storage>::Inst()->USB_MOUNT_POSITION, [] { return Singleton<UsbMemory>::Inst()->IsIn(); });
}

void SDDebug::CopyHistoryTo(const std::string& mountPoint, int (*isIn)())
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (isIn() == 0)
        return;
    CLogger* logger = Singleton<CLogger>::Inst();
    logger->WriteCurrent();
    logger->PauseWrite();
    // "> file 2>&1": a POSIX shell would run a "&>" command in the background.
    char cmd[128];
    VK_FORMAT_COMMAND(cmd, "cp -f %s%s%s %s/TMP.DM1 > %s 2>&1", CARD_ROOT, DIR_SYSTEM.c_str(),
        logger->HISTORY_NAME.c_str(), mountPoint.c_str(), HISTORY_RESULT);
    std::system(cmd);
    logger->ResumeWrite();

    FILE* file = std::fopen(HISTORY_RESULT, "r");
    if (file == nullptr) {
        Print("[SDDebug]%s open error\n", HISTORY_RESULT);
        return;
    }
    char report[WHOLE_REPORT + 1] = {};
    size_t length = std::fread(report, 1, WHOLE_REPORT + 1, file);
    std::fclose(file);
    if (length == 0)
        return;
    report[length > WHOLE_REPORT ? REPORT_START : length] = '\0';
    Print("%s", report);
}

} // namespace vk
