#pragma once
// What the kernel reports about the built-in eMMC: product name, size and the
// device's own estimate of how much of its life is used. Read once per object;
// every user builds its own, reads what it needs and drops it.

#include <string>

namespace vk {

class EmmcInfo {
public:
    static const std::string _path;
    static const unsigned LIVE_90 = 10;
    static const unsigned LIFE_MAX = 10;

    EmmcInfo();
    virtual ~EmmcInfo() = default;

    const char* Size() const { return _size.c_str(); }
    const char* LifeTime() const { return _life_time.c_str(); }
    unsigned LifeTimeDecimal() const { return _life; }
    // 90 % of the device's life used or more.
    bool IsLifeTimeOver() const { return _life > LIVE_90 - 1; }
    void Print() const;

private:
    void ReadName();
    void ReadSize();
    void ReadLifeTime();

    unsigned _life = 0;
    std::string _name;
    std::string _size;
    std::string _life_time;
};

} // namespace vk
