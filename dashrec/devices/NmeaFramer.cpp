#include "dashrec/devices/NmeaFramer.h"

#include "dashrec/core/SDDebug.h"

#include <algorithm>

namespace vk {

NmeaFramer::NmeaFramer(int capacity)
    : _capacity(capacity)
    // One byte beyond the buffer is a guard that a stray write would change.
    , _input(capacity + 1, 0)
{
    _input[capacity] = static_cast<char>(GUARD);
}

void NmeaFramer::Restart()
{
    std::fill(_input.begin(), _input.begin() + _capacity, 0);
    _position = 0;
}

bool NmeaFramer::Push(char c)
{
    if (static_cast<unsigned char>(_input[_capacity]) != GUARD)
        VK_ASSERT_REPORT("input[MAX_GPS_RAW] == 0xC8");
    if (c == '$')
        Restart();
    if (!(_position < _capacity))
        VK_ASSERT_REPORT("i < MAX_GPS_RAW");
    _input[_position++] = c;
    bool complete = false;
    if (c == '\n') {
        _input[_position] = '\0';
        _length = _position;
        complete = _input[0] == '$';
        _position = 0;
    } else if (_position == _capacity - 1) {
        _position = 0;
    }
    return complete;
}

} // namespace vk
