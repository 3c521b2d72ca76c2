#pragma once
// The card log ring "SYSTEM/HISTORY.DM1": 64 blocks of 64 KiB, each rewritten
// whole in place. The file is pre-allocated by the card layout and is never
// created, grown or truncated here; the newest block is found at start by its
// generation count.

#include "dashrec/core/CardRing.h"
#include "dashrec/core/Singleton.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

namespace vk {

class CLogger : public Singleton<CLogger> {
public:
    static constexpr int BLOCK_COUNT = CardRing::SLOTS;
    static constexpr int BLOCK_SIZE = CardRing::SLOT_SIZE;
    static constexpr int32_t SYNC = CardRing::SYNC;
    // New data a block takes; a 2 KiB line always fits whole behind it.
    static constexpr int DATA_LIMIT = 65024;

    struct Logger {
        static constexpr int DATA_SIZE = BLOCK_SIZE - 24;

        int32_t sync = SYNC;
        int32_t index = -1;
        int32_t offset = -1;
        int32_t version = 1;
        int64_t count = -1;
        char data[DATA_SIZE] = {};

        void Reset(int n);
        void SetIndex(int n) { index = n; }
        bool IsValid() const { return sync == SYNC; }
    };
    static_assert(sizeof(Logger) == BLOCK_SIZE, "one block image is one block of the file");

    const std::string HISTORY_NAME = "HISTORY.DM1";
    const std::string DIR_SYSTEM = "SYSTEM/";

    void Init();
    void Start();
    // After a card change: forgets the old card's blocks and finds the place on the new one.
    void Restart();
    void Write(const char* data, size_t length);
    void WriteCurrent();
    void PauseWrite();
    void ResumeWrite();
    void Finalize();

    std::string Path() const;
    // The current block (null before a log file was found); for the tests' eyes.
    std::shared_ptr<const Logger> Current() const { return _current; }

private:
    void PutOff(int index);
    bool WriteBlock(int fd, const Logger& block);

    bool _writeFile = true;
    std::list<int> _toBeWritten;
    std::shared_ptr<Logger> _current;
    std::array<std::shared_ptr<Logger>, BLOCK_COUNT> _loggers;
};

} // namespace vk
