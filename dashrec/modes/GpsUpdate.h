#pragma once
// The GPS module's firmware update: the module is put into its loader over
// its serial line, gets a boot loader and then a firmware package by
// XMODEM-1K (CRC-16), and is configured once it reports fixes again. The
// blue LED lit means success, the red one failure; both lit: under way.

#include "dashrec/core/Singleton.h"

#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace vk {

class GPIO_OUT;

class GpsUpdate : public Singleton<GpsUpdate> {
public:
    const std::string UART = "/dev/ttyS4";

    ~GpsUpdate() override;

    void Init();
    void Start();
    bool Update();
    // 0 when the file went through, -1 otherwise.
    int xmodem_send(int fd, const char* path);
    static unsigned short get_crc16(const char* data, unsigned short len);
    int select_read(int fd, int n);
    int deal_read(int fd, void* buf, unsigned int len);
    int set_baudrate(int fd, int speed);

private:
    friend class Singleton<GpsUpdate>;
    class Deadline;

    GpsUpdate() = default;

    void ShowResult(bool success);
    bool WaitFor(const char* text, const char* poke, int readDelayMs);
    bool WaitForLoader();
    bool Configure(const char* sentence);
    void Write(const char* text);
    void WriteRepeated(const char* text, int times, int pauseMs);
    int ReadReply(char* buffer);
    int WaitForByte(int fd, unsigned char& byte, int delayUs, const Deadline& deadline);
    int SendBlocks(int fd, FILE* file, const char* path);
    int EndTransmission(int fd, FILE* file, const char* path);
    // Ends a failed transfer: the file closed, the reason in the card log; -1.
    static int Abandon(FILE* file, const char* path, const char* reason);

    std::thread _t;
    int _fd = -1;
    int _use_select = 1;
    std::shared_ptr<GPIO_OUT> _pLedRed;
    std::shared_ptr<GPIO_OUT> _pLedBlue;
};

} // namespace vk
