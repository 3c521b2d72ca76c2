#pragma once
// Gathers the bytes of the GPS line into sentences: a "$" starts one, LF ends
// it, and a sentence that would outgrow the buffer is dropped.

#include <vector>

namespace vk {

class NmeaFramer {
public:
    explicit NmeaFramer(int capacity);

    // True when `c` completed a sentence that starts with "$"; it is then
    // Sentence() (NUL-terminated, LF included) of Length() bytes.
    bool Push(char c);
    const char* Sentence() const { return _input.data(); }
    int Length() const { return _length; }

private:
    static constexpr unsigned char GUARD = 0xC8;

    void Restart();

    const int _capacity;
    std::vector<char> _input;
    int _position = 0;
    int _length = 0;
};

} // namespace vk
