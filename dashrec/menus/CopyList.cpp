#include "dashrec/menus/CopyList.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Storage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vk {

namespace {

// A longer log is cut to its beginning when it is passed to the card log.
const long LOG_CUT = 502;

// Runs cp without a shell, so that no file name is ever read as command text;
// both of its output streams go into `log`. True when it ran and exited with 0.
bool RunCopy(const std::string& from, const std::string& to, const std::string& log)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const char* argv[] = { "cp", from.c_str(), to.c_str(), nullptr };
    pid_t pid = 0;
    int failed = posix_spawnp(&pid, "cp", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0)
        return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

void CopyList::SetListType(LISTTYPE::VALUE type)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _type = type;
}

LISTTYPE::VALUE CopyList::GetListType()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return _type;
}

void CopyList::SetListMedia(LISTMEDIA::VALUE media)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _media = media;
}

LISTMEDIA::VALUE CopyList::GetListMedia()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return _media;
}

std::list<std::shared_ptr<CopyFile>> CopyList::GetList()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    return _list;
}

bool CopyList::Copy(std::shared_ptr<CopyFile> pfile)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    VK_ASSERT(pfile->name->size() == CopyFile::VIDEO_FILE_LENGTH);
    VK_ASSERT(pfile->name->size() < pfile->fullname.size());
    bool exited = RunCopy(pfile->fullname, pfile->Destination(), _log);
    return CheckCopyResult(exited);
}

bool CopyList::CheckCopyResult(bool exited)
{
    FILE* file = std::fopen(_log.c_str(), "rb");
    if (file == nullptr) {
        std::printf("[CopyList]CheckCopyResult() - %s can not be opened\n", _log.c_str());
        return false;
    }
    std::fseek(file, 0, SEEK_END);
    long length = std::ftell(file);
    if (length > 0) {
        std::memset(_cmd, 0, sizeof(_cmd));
        std::rewind(file);
        // One byte of the buffer stays its terminator.
        size_t wanted = static_cast<size_t>(length < CMD_SIZE ? length : LOG_CUT);
        size_t read = std::fread(_cmd, 1, wanted, file);
        _cmd[read] = '\0';
        Singleton<SDDebug>::Inst()->Print("%s", _cmd);
    }
    std::fclose(file);
    return length == 0 && exited;
}

} // namespace vk
