// The write counters of "SYSTEM/HISTORY.DM0": how often the card's normal and
// parking recording files have been taken over, kept in a ring of 64 records.

#include "dashrec/core/SDDebug.h"

#include <cctype>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace vk {

using Record = SDDebug::SD_WRITE_COUNT_s;

namespace {

const char* const CARD_ROOT = "/mnt/extsd/";
const size_t CHECKED_BYTES = offsetof(Record, checksum);

std::string CountersPath()
{
    return CARD_ROOT + SDDebug::DIR_SYSTEM + SDDebug::WRITE_COUNT_NAME;
}

int32_t XorOfBytes(const Record& record)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&record);
    unsigned char sum = 0;
    for (size_t k = 0; k < CHECKED_BYTES; ++k)
        sum ^= bytes[k];
    return sum;
}

} // namespace

// The counters of one recording type within a record.
struct SDDebug::CounterFields {
    int32_t Record::*total;
    int32_t Record::*current;
    int32_t Record::*loops;
    int SDDebug::*layoutTotal;
    const char* saveLine;
};

const SDDebug::CounterFields SDDebug::NORMAL_COUNTERS = { &Record::noramlTotal, &Record::normalCurrent,
    &Record::normalLoopCount, &SDDebug::_totalNormalFiles,
    "[SD counter]Normal save total:%d, current:%d, loop:%d - %s\n" };
const SDDebug::CounterFields SDDebug::PARKING_COUNTERS = { &Record::parkingTotal, &Record::parkingCurrent,
    &Record::parkingLoopCount, &SDDebug::_totalParkingFiles,
    "[SD counter]Parking save total:%d, current:%d, loop:%d, %s\n" };

void Record::Reset(int n)
{
    *this = Record();
    index = n;
    count = 0;
}

void Record::CheckSum()
{
    checksum = XorOfBytes(*this);
}

bool Record::IsValid() const
{
    return sync == CardRing::SYNC && checksum == XorOfBytes(*this) && strnlen(date, DATE_SIZE) < DATE_SIZE
        && count >= 0 && noramlTotal >= 0 && normalCurrent >= 0 && normalLoopCount >= 0 && parkingTotal >= 0
        && parkingCurrent >= 0 && parkingLoopCount >= 0;
}

void SDDebug::ScrambleRecord(Record& record)
{
    unsigned char* bytes = reinterpret_cast<unsigned char*>(&record);
    for (size_t k = 0; k < sizeof(record); ++k)
        bytes[k] ^= static_cast<unsigned char>(Encode(static_cast<unsigned char>(k)));
}

void SDDebug::StampDate(Record& record)
{
    std::tm now = GetLocaltime();
    std::snprintf(record.date, sizeof(record.date), "%02d/%02d/%02d-%02d:%02d:%02d", now.tm_year, now.tm_mon,
        now.tm_mday, now.tm_hour, now.tm_min, now.tm_sec);
}

void SDDebug::ReadCounters()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _current.reset();
    int fd = CardRing::Open(CountersPath());
    if (fd < 0)
        return;
    CardRing::Newest newest = CardRing::ScanSlots(fd, _counters, ScrambleRecord);
    close(fd);
    _current = _counters[newest.index];
    if (newest.index == 0 && newest.count == 0)
        StampDate(*_current);
    // A stamp taken before the clock was set carries the clock's base year.
    const char* date = _current->date;
    bool yearDigits = std::isdigit(date[0]) && std::isdigit(date[1]) && std::isdigit(date[2]) && std::isdigit(date[3]);
    if (yearDigits && std::atoi(std::string(date, 4).c_str()) == BASE_YEAR && GetLocaltime().tm_year > BASE_YEAR)
        StampDate(*_current);
}

void SDDebug::SetTotalFiles(unsigned long blocks, int normal, int parking)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    _mBlocks = blocks;
    _totalNormalFiles = normal;
    _totalParkingFiles = parking;
}

Record SDDebug::LoadCounter()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (!_current) {
        std::printf("[SDDebug]_current == nullptr\n");
        return Record();
    }
    for (const CounterFields* fields : { &NORMAL_COUNTERS, &PARKING_COUNTERS }) {
        Record& record = *_current;
        if (record.*fields->total == this->*fields->layoutTotal)
            continue;
        record.*fields->total = this->*fields->layoutTotal;
        // The layout shrank below the position: that pass is over.
        if (record.*fields->current > record.*fields->total) {
            record.*fields->loops += 1;
            record.*fields->current = 0;
        }
    }
    return *_current;
}

void SDDebug::SaveCounter(Record& record)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (!_current)
        return;
    VK_ASSERT(strnlen(record.date, DATE_SIZE) < DATE_SIZE);
    std::shared_ptr<Record> next = _counters[(_current->index + 1) % COUNTER_SLOTS];
    next->count = _current->count + 1;
    _current = next;
    next->noramlTotal = record.noramlTotal;
    next->normalCurrent = record.normalCurrent;
    next->normalLoopCount = record.normalLoopCount;
    next->parkingTotal = record.parkingTotal;
    next->parkingCurrent = record.parkingCurrent;
    next->parkingLoopCount = record.parkingLoopCount;
    std::memcpy(next->date, record.date, DATE_SIZE);
    next->CheckSum();

    Record stored = *next;
    ScrambleRecord(stored);
    int fd = CardRing::Open(CountersPath());
    if (fd < 0)
        return;
    CardRing::WriteSlot(fd, next->index, &stored, sizeof(stored));
    close(fd);
    std::system("sync");
}

void SDDebug::Increase(const CounterFields& fields)
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (!_writable)
        return;
    Record record = LoadCounter();
    if (record.index == -1)
        return;
    record.*fields.current += 1;
    if (record.*fields.current >= record.*fields.total) {
        record.*fields.current = 0;
        record.*fields.loops += 1;
    }
    Print(fields.saveLine, record.*fields.total, record.*fields.current, record.*fields.loops, record.date);
    SaveCounter(record);
}

void SDDebug::IncreaseNormalCounter()
{
    Increase(NORMAL_COUNTERS);
}

void SDDebug::IncreaseParkingCounter()
{
    Increase(PARKING_COUNTERS);
}

int SDDebug::GetNormalCycles() const
{
    std::shared_ptr<Record> current = _current;
    return current ? current->normalLoopCount : 0;
}

} // namespace vk
