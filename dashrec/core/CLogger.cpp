#include "dashrec/core/CLogger.h"

#include "dashrec/core/CardRing.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace vk {

namespace {
const char* const CARD_ROOT = "/mnt/extsd/";
}

void CLogger::Logger::Reset(int n)
{
    sync = SYNC;
    index = n;
    offset = 0;
    version = 1;
    count = 0;
    std::memset(data, 0, sizeof(data));
}

std::string CLogger::Path() const
{
    return CARD_ROOT + DIR_SYSTEM + HISTORY_NAME;
}

void CLogger::Init()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _writeFile = true;
    _current.reset();
    _toBeWritten.clear();
    for (auto& block : _loggers)
        block = std::make_shared<Logger>();
}

void CLogger::Start()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (_current)
        return;
    int fd = CardRing::Open(Path());
    if (fd < 0)
        return;
    CardRing::Newest newest = CardRing::ScanSlots(fd, _loggers, [](Logger&) {});
    close(fd);
    // A ring of fresh blocks starts at block 0; otherwise behind the newest.
    int next = (newest.count == 0 && newest.index == 0) ? 0 : (newest.index + 1) % BLOCK_COUNT;
    _current = _loggers[next];
    _current->offset = 0;
    _current->count = newest.count + 1;
}

void CLogger::Restart()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    // Blocks put off for the old card belong to its ring, not to this card's.
    _toBeWritten.clear();
    _current.reset();
    Start();
}

void CLogger::Write(const char* data, size_t length)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (!_current || length > static_cast<size_t>(DATA_LIMIT))
        return;
    if (_current->offset + static_cast<int64_t>(length) > DATA_LIMIT) {
        WriteCurrent();
        std::shared_ptr<Logger> next = _loggers[(_current->index + 1) % BLOCK_COUNT];
        next->count = _current->count + 1;
        next->offset = 0;
        _current = next;
    }
    std::memcpy(_current->data + _current->offset, data, length);
    _current->offset += static_cast<int32_t>(length);
}

void CLogger::PutOff(int index)
{
    if (std::find(_toBeWritten.begin(), _toBeWritten.end(), index) == _toBeWritten.end())
        _toBeWritten.push_back(index);
}

bool CLogger::WriteBlock(int fd, const Logger& block)
{
    return CardRing::WriteSlot(fd, block.index, &block, sizeof(block));
}

void CLogger::WriteCurrent()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (!_current)
        return;
    int fd = _writeFile ? CardRing::Open(Path()) : -1;
    if (fd < 0) {
        PutOff(_current->index);
        return;
    }
    for (int index : _toBeWritten)
        WriteBlock(fd, *_loggers[index]);
    _toBeWritten.clear();
    WriteBlock(fd, *_current);
    close(fd);
}

void CLogger::PauseWrite()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _writeFile = false;
}

void CLogger::ResumeWrite()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _writeFile = true;
}

void CLogger::Finalize()
{
    WriteCurrent();
    std::system("sync");
}

} // namespace vk
