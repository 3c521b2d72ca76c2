#include "dashrec/modes/GpsUpdate.h"

#include "dashrec/core/SDDebug.h"
#include "dashrec/devices/Gpio.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <termios.h>
#include <unistd.h>

namespace vk {

namespace {

const char* const GPIO_DIR = "/sys/class/gpio";
constexpr int GPIO_RED = 197;
constexpr int GPIO_BLUE = 196;
const char* const BOOTLOADER = "/app/gpsupdate_bl.pkg";
const char* const FIRMWARE = "/app/gpsupdate_fw.pkg";
constexpr int WAIT_SECONDS = 10;
constexpr int REPLY_SIZE = 1024;

constexpr unsigned char STX = 0x02;
constexpr unsigned char EOT = 0x04;
constexpr unsigned char ACK = 0x06;
constexpr unsigned char NAK = 0x15;
constexpr unsigned char CAN = 0x18;
constexpr unsigned char START = 'C';
constexpr unsigned char FILLER = 0x1A;
constexpr int DATA_SIZE = 1024;
constexpr int BLOCK_SIZE = DATA_SIZE + 5;
constexpr int MAX_RESENDS = 11;

void SleepMs(int ms)
{
    usleep(static_cast<useconds_t>(ms) * 1000);
}

void PrintTimeout()
{
    std::printf("\ntimeout!!!\n");
}

// Printable bytes as they are, the others as "\XX".
void Echo(const char* bytes, int count)
{
    for (int i = 0; i < count; i++) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (std::isprint(c) || std::isspace(c))
            std::putchar(c);
        else
            std::printf("\\%02X", c);
    }
}

void BuildBlock(unsigned char* block, int number, const char* data)
{
    block[0] = STX;
    block[1] = static_cast<unsigned char>(number);
    block[2] = static_cast<unsigned char>(~number);
    std::memcpy(block + 3, data, DATA_SIZE);
    unsigned short crc = GpsUpdate::get_crc16(data, DATA_SIZE);
    block[DATA_SIZE + 3] = static_cast<unsigned char>(crc >> 8);
    block[DATA_SIZE + 4] = static_cast<unsigned char>(crc);
}

} // namespace

// A wait of 10 s counted in whole seconds: it ends once the seconds exceed
// the start's plus 10.
class GpsUpdate::Deadline {
public:
    Deadline() : _end(Seconds() + WAIT_SECONDS) {}
    bool Passed() const { return Seconds() > _end; }

private:
    static long Seconds()
    {
        using namespace std::chrono;
        return static_cast<long>(duration_cast<seconds>(steady_clock::now().time_since_epoch()).count());
    }
    long _end;
};

GpsUpdate::~GpsUpdate()
{
    if (_t.joinable())
        _t.join();
}

void GpsUpdate::Init()
{
    _pLedRed = std::make_shared<GPIO_OUT>(GPIO_RED, GPIO_DIR);
    _pLedBlue = std::make_shared<GPIO_OUT>(GPIO_BLUE, GPIO_DIR);
    _pLedRed->SetOn();
    _pLedBlue->SetOn();
}

void GpsUpdate::ShowResult(bool success)
{
    if (success) {
        _pLedBlue->SetOn();
        _pLedRed->SetOff();
    } else {
        _pLedBlue->SetOff();
        _pLedRed->SetOn();
    }
}

void GpsUpdate::Start()
{
    _fd = open(UART.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (_fd < 0) {
        Singleton<SDDebug>::Inst()->Print("[GpsUpdate]%s can't be opened\n", UART.c_str());
        ShowResult(false);
        return;
    }
    std::printf("[GpsUpdate]file descriptor=%d\n", _fd);
    termios tio {};
    tio.c_iflag = IGNPAR;
    tio.c_cflag = B115200 | CS8 | CLOCAL | CREAD;
    tio.c_lflag = ~static_cast<tcflag_t>(ISIG | ICANON | ECHO | ECHOE);
    if (tcsetattr(_fd, TCSANOW, &tio) != 0) {
        Singleton<SDDebug>::Inst()->Print("[GpsUpdate]tcsetattr() error\n");
        close(_fd);
        ShowResult(false);
        return;
    }
    _t = std::thread([this] { ShowResult(Update()); });
}

void GpsUpdate::Write(const char* text)
{
    if (write(_fd, text, std::strlen(text)) < 0)
        std::printf("[GpsUpdate]write: %s\n", std::strerror(errno));
}

void GpsUpdate::WriteRepeated(const char* text, int times, int pauseMs)
{
    for (int i = 0; i < times; i++) {
        Write(text);
        SleepMs(pauseMs);
    }
}

// One reply, NUL bytes made 0x01 so that it reads as text; its length.
int GpsUpdate::ReadReply(char* buffer)
{
    int count = deal_read(_fd, buffer, REPLY_SIZE - 1);
    if (count < 0)
        count = 0;
    for (int i = 0; i < count; i++) {
        if (buffer[i] == '\0')
            buffer[i] = 0x01;
    }
    buffer[count] = '\0';
    return count;
}

// Reads until `text` comes, writing `poke` first on every pass; the tail of
// each read is kept so that a text split between reads is found.
bool GpsUpdate::WaitFor(const char* text, const char* poke, int readDelayMs)
{
    const size_t keep = std::strlen(text) - 1;
    char seen[2 * REPLY_SIZE] = "";
    for (Deadline deadline; !deadline.Passed();) {
        if (poke != nullptr)
            Write(poke);
        if (select_read(_fd, 100) <= 0)
            continue;
        SleepMs(readDelayMs);
        char reply[REPLY_SIZE];
        int count = ReadReply(reply);
        Echo(reply, count);
        std::strcat(seen, reply);
        if (std::strstr(seen, text) != nullptr)
            return true;
        size_t length = std::strlen(seen);
        if (length > keep)
            std::memmove(seen, seen + length - keep, keep + 1);
    }
    PrintTimeout();
    return false;
}

bool GpsUpdate::WaitForLoader()
{
    std::printf("waiting for YC, timeout is %d s\n", WAIT_SECONDS);
    if (WaitFor("YC", "M!T", 0))
        return true;
    std::printf("###read xmodem start character 'C'.");
    for (Deadline deadline; !deadline.Passed();) {
        if (select_read(_fd, 100) <= 0)
            continue;
        char reply[REPLY_SIZE];
        int count = ReadReply(reply);
        if (count > 0 && reply[count - 1] == START)
            return true;
    }
    PrintTimeout();
    return false;
}

bool GpsUpdate::Configure(const char* sentence)
{
    Write(sentence);
    SleepMs(100);
    // Waited for like every other reply: a module that never answers must not hold the update.
    return WaitFor("$OK", nullptr, 0);
}

bool GpsUpdate::Update()
{
    SleepMs(5);
    set_baudrate(_fd, B115200);
    SleepMs(200);
    tcflush(_fd, TCIFLUSH);

    Write("$PDTINFO\r\n");
    SleepMs(2000);
    int identity = 0;
    if (select_read(_fd, 1) > 0) {
        SleepMs(50);
        char reply[REPLY_SIZE];
        identity = ReadReply(reply);
        std::printf("%s", reply);
    }
    std::printf("rByte = %d...\n", identity);
    WriteRepeated("5\r\n", 3, 50);
    WriteRepeated("$RESET,hf0,hff\n", 2, 0);

    bool ok = WaitForLoader();
    if (ok) {
        _use_select = 1;
        std::printf("download bootloader...\n");
        std::printf("bootloader: %s\n", BOOTLOADER);
        ok = xmodem_send(_fd, BOOTLOADER) == 0;
        if (!ok)
            std::printf("xmodem error!\n");
    }
    ok = ok && WaitFor("boot>", nullptr, 50);
    if (ok) {
        std::printf("download bootloader success\nDownload firmware...\n");
        Write("2\r");
        ok = WaitFor("begin to update flash from uart", "2\r", 100);
    }
    if (ok) {
        ok = xmodem_send(_fd, FIRMWARE) == 0;
        std::printf(ok ? "Download firmware success\n" : "xmodem error! upgrade failed!\n");
    }
    if (ok) {
        SleepMs(200);
        WriteRepeated("5\r\n", 3, 50);
        ok = WaitFor("$GNRMC", nullptr, 50);
    }
    if (ok) {
        std::printf("\n===== THE UPGRADE IS SUCCESSFUL, reseting=====\n$CFGSYS,H101\n");
        ok = Configure("$CFGSYS,H101\n");
    }
    if (ok) {
        std::printf("$CFGSAVE\n");
        ok = Configure("$CFGSAVE\n");
    }
    close(_fd);
    _fd = -1;
    return ok;
}

unsigned short GpsUpdate::get_crc16(const char* data, unsigned short len)
{
    unsigned short crc = 0;
    for (unsigned short i = 0; i < len; i++) {
        crc ^= static_cast<unsigned short>(static_cast<unsigned char>(data[i]) << 8);
        for (int bit = 0; bit < 8; bit++)
            crc = (crc & 0x8000) ? static_cast<unsigned short>((crc << 1) ^ 0x1021) : static_cast<unsigned short>(crc << 1);
    }
    return crc;
}

int GpsUpdate::select_read(int fd, int n)
{
    if (!_use_select) {
        for (int waited = 0; waited <= n; waited++) {
            int pending = 0;
            if (ioctl(fd, FIONREAD, &pending) == 0 && pending > 0)
                return pending;
            SleepMs(1);
        }
        return 0;
    }
    int result = 0;
    for (int i = 0; i <= n; i++) {
        fd_set set;
        FD_ZERO(&set);
        FD_SET(fd, &set);
        timeval timeout {0, 100};
        result = select(fd + 1, &set, nullptr, nullptr, &timeout);
        if (result > 0 || (result < 0 && errno != EINTR))
            return result;
    }
    return result;
}

int GpsUpdate::deal_read(int fd, void* buf, unsigned int len)
{
    for (;;) {
        ssize_t count = read(fd, buf, len);
        if (count > 0)
            return static_cast<int>(count);
        if (count == 0) {
            std::printf("read serial return 0, please check serial device.");
            return -1;
        }
        if (errno != EAGAIN && errno != EINTR) {
            std::printf("read serial return -1, errno = %d, please check serial device.\n", errno);
            return -1;
        }
        std::printf("read serial return -1, errno = %d, retry.\n", errno);
    }
}

int GpsUpdate::set_baudrate(int fd, int speed)
{
    if (fcntl(fd, F_SETFL, 0) < 0) {
        std::printf("fcntl failed!\n");
        return -1;
    }
    termios options {};
    if (tcgetattr(fd, &options) != 0) {
        std::printf("setup serial error!\n");
        return -1;
    }
    cfsetispeed(&options, static_cast<speed_t>(speed));
    cfsetospeed(&options, static_cast<speed_t>(speed));
    tcsetattr(fd, TCSANOW, &options);
    if (tcgetattr(fd, &options) != 0) {
        std::printf("get options error!\n");
        return -1;
    }
    options.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB);
    options.c_cflag |= CS8;
    cfmakeraw(&options);
    if (tcsetattr(fd, TCSANOW, &options) != 0) {
        std::printf("setup serial error!\n");
        return -1;
    }
    return 0;
}

// Waits until `deadline` for a reply byte and reads it after delayUs; 1, or
// 0 when none came.
int GpsUpdate::WaitForByte(int fd, unsigned char& byte, int delayUs, const Deadline& deadline)
{
    while (!deadline.Passed()) {
        if (select_read(fd, 100) <= 0)
            continue;
        usleep(static_cast<useconds_t>(delayUs));
        if (deal_read(fd, &byte, 1) == 1)
            return 1;
    }
    PrintTimeout();
    return 0;
}

int GpsUpdate::Abandon(FILE* file, const char* path, const char* reason)
{
    std::fclose(file);
    Singleton<SDDebug>::Inst()->Print("[GpsUpdate]%s: %s\n", path, reason);
    return -1;
}

int GpsUpdate::xmodem_send(int fd, const char* path)
{
    std::printf("[%s]\n", path);
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        std::printf("\n can't open this file or not exist!(errno=%d:%s) \n", errno, std::strerror(errno));
        return -1;
    }
    std::printf("Ready to send the file:%s\n", path);
    std::printf("Waiting for signal C/NAK!\n");
    // One wait for the whole request: a module chattering without 'C' cannot push it back.
    Deadline deadline;
    unsigned char byte = 0;
    while (byte != START) {
        if (!WaitForByte(fd, byte, 10000, deadline))
            return Abandon(file, path, "no start request");
        if (byte == CAN)
            return Abandon(file, path, "cancelled by the module");
    }
    std::printf("The signal NAK: %02x ok!!!\n", byte);
    std::printf("begining to Send file %s...\n", path);
    // Start requests the receiver repeated while it waited are no answer to the first block.
    tcflush(fd, TCIFLUSH);
    return SendBlocks(fd, file, path);
}

// Every block of the file, each until the receiver takes it; then the end.
int GpsUpdate::SendBlocks(int fd, FILE* file, const char* path)
{
    unsigned char block[BLOCK_SIZE];
    int number = 0;
    int resends = 0;
    unsigned char reply = ACK;
    for (;;) {
        if (reply == ACK) {
            resends = 0;
            number++;
            char data[DATA_SIZE];
            size_t count = std::fread(data, 1, DATA_SIZE, file);
            if (count == 0)
                return EndTransmission(fd, file, path);
            if (count < DATA_SIZE) {
                std::printf("Start filling the last frame!\n");
                std::memset(data + count, FILLER, DATA_SIZE - count);
            }
            BuildBlock(block, number, data);
            if (write(fd, block, BLOCK_SIZE) != BLOCK_SIZE)
                std::printf("[GpsUpdate]block %d not written whole\n", number);
            std::printf(".");
            if (!WaitForByte(fd, reply, 10000, Deadline()))
                return Abandon(file, path, "no answer to a block");
            if (reply != ACK)
                std::printf("ACK Error!\n0x%02X\n", reply);
        } else if (reply == NAK) {
            if (resends++ >= MAX_RESENDS) {
                std::printf("Retry too many times,Quit!\n");
                return Abandon(file, path, "refused too many times");
            }
            ssize_t written = write(fd, block, BLOCK_SIZE);
            std::printf("Retry for ACK,%d,%d...", number, static_cast<int>(written));
            if (!WaitForByte(fd, reply, 100, Deadline()))
                return Abandon(file, path, "no answer to a block");
            std::printf(reply == ACK ? "OK\n" : "Error!\n");
        } else if (reply == CAN) {
            return Abandon(file, path, "cancelled by the module");
        } else if (reply == START) {
            // The receiver started over: what it has taken so far is not known.
            return Abandon(file, path, "start request in mid-transfer");
        } else {
            std::printf("Fatal Error! %d\n", reply);
            return Abandon(file, path, "unknown answer");
        }
    }
}

int GpsUpdate::EndTransmission(int fd, FILE* file, const char* path)
{
    std::printf("Complete ACK\n");
    // One end per answer: a receiver takes an end only when the line stays quiet
    // after it, and asks for it again with NAK.
    Deadline deadline;
    for (unsigned char reply = 0; reply != ACK;) {
        unsigned char eot = EOT;
        if (write(fd, &eot, 1) != 1 || !WaitForByte(fd, reply, 0, deadline))
            return Abandon(file, path, "end not acknowledged");
        if (reply == CAN)
            return Abandon(file, path, "cancelled by the module");
    }
    std::printf("Send file successful!!!\n");
    std::fclose(file);
    return 0;
}

} // namespace vk
