// The GPS module's firmware update against a simulated module on the far end
// of a pty bound over its serial line: the loader handshake, both packages
// over XMODEM-1K checked block by block (number, complement, CRC), the
// configuration, modules that chatter, cancel or never acknowledge, and the
// LEDs that show the result; and a package sent to lrzsz's rx, a real receiver.

#include "dashrec/modes/GpsUpdate.h"
#include "host/board/PtyLine.h"
#include "host/board/Sysfs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <thread>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// CRC-16/XMODEM, bit by bit, as the receiver checks it.
unsigned short Crc(const std::string& data)
{
    unsigned int crc = 0;
    for (unsigned char c : data) {
        for (int bit = 7; bit >= 0; bit--) {
            bool top = crc & 0x8000;
            crc = (crc << 1 | ((c >> bit) & 1)) & 0xFFFF;
            if (top)
                crc ^= 0x1021;
        }
    }
    for (int bit = 0; bit < 16; bit++)
        crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) & 0xFFFF : (crc << 1) & 0xFFFF;
    return static_cast<unsigned short>(crc);
}

// How the module takes the boot loader package.
enum class Behaviour {
    Normal,
    NakEverything,
    ChatterWithoutC, // its application goes on talking, never asking for the package
    NeverAcknowledgeEnd,
    Cancel, // cancels at the second block
    RestartMidTransfer, // asks for a start again at the second block
};

// The module: answers as its application, its loader and its firmware loader would.
class Module {
public:
    Behaviour behaviour = Behaviour::Normal;
    std::string bootloader;
    std::string firmware;
    std::vector<int> blockNumbers;
    int blocksSeen = 0;
    int endsSeen = 0;
    std::atomic<bool> configured{false};
    std::atomic<bool> chattering{false};

    bool Bind() { return _line.Bind("/dev/ttyS4"); }
    void Start() { _thread = std::thread([this] { Run(); }); }
    void Stop()
    {
        _stop = true;
        if (_thread.joinable())
            _thread.join();
    }

private:
    void Run()
    {
        if (!Expect("$PDTINFO\r\n"))
            return;
        Send("$PDTINFO,SIMULATED,1.0*00\r\n");
        if (!Expect("$RESET,hf0,hff\n") || !Expect("M!T"))
            return;
        Send("\r\nY"); // "YC" split over two reads
        std::this_thread::sleep_for(50ms);
        Send("C");
        if (behaviour == Behaviour::ChatterWithoutC) {
            Chatter();
            return;
        }
        if (!Receive(bootloader))
            return;
        Send("boot>");
        if (!Expect("2\r"))
            return;
        Send("begin to update flash from uart\r\n");
        if (!Receive(firmware) || !Expect("5\r\n"))
            return;
        Send("$GNRMC,120000.00,A,3730.0000,N,12700.0000,E,0.0,0.0,101226,,,A*00\r\n");
        if (!Expect("$CFGSYS,H101\n"))
            return;
        Send("$OK\r\n");
        if (!Expect("$CFGSAVE\n"))
            return;
        Send("$OK\r\n");
        configured = true;
    }

    void Send(const std::string& text) { _line.Write(text.data(), text.size()); }

    // Sentences twice a second for 30 s, none with a 'C' in it, and never a request.
    void Chatter()
    {
        chattering = true;
        auto end = std::chrono::steady_clock::now() + 30s;
        while (!_stop && std::chrono::steady_clock::now() < end) {
            Send("$GNGSA,A,1,,,,,,,,,,,,,99.0,99.0,99.0*00\r\n");
            std::this_thread::sleep_for(500ms);
        }
        chattering = false;
    }

    // Reads more of the line; false once stopped or after 20 s of silence.
    bool Fill()
    {
        for (int quiet = 0; quiet < 200 && !_stop; quiet++) {
            char bytes[4096];
            ssize_t n = _line.Read(bytes, sizeof(bytes), 100);
            if (n > 0) {
                _pending.append(bytes, static_cast<size_t>(n));
                return true;
            }
        }
        return false;
    }

    bool Expect(const std::string& text)
    {
        for (;;) {
            size_t at = _pending.find(text);
            if (at != std::string::npos) {
                _pending.erase(0, at + text.size());
                return true;
            }
            if (!Fill())
                return false;
        }
    }

    // The receiving side of XMODEM-1K with CRC: asks with 'C', again after
    // each second of silence, until a block comes; skips what the sender
    // poked before it (asking again on those bytes would answer the block).
    bool Receive(std::string& file)
    {
        Send("C");
        while (_pending.find('\x02') == std::string::npos) {
            char bytes[4096];
            ssize_t n = _line.Read(bytes, sizeof(bytes), 1000);
            if (n > 0)
                _pending.append(bytes, static_cast<size_t>(n));
            else
                Send("C");
            if (_stop)
                return false;
        }
        _pending.erase(0, _pending.find('\x02'));
        for (;;) {
            while (_pending.empty())
                if (!Fill())
                    return false;
            unsigned char first = static_cast<unsigned char>(_pending[0]);
            if (first == 0x04) {
                _pending.erase(0, 1);
                endsSeen++;
                if (behaviour == Behaviour::NeverAcknowledgeEnd)
                    continue;
                Send("\x06");
                return true;
            }
            if (first != 0x02) {
                _pending.erase(0, 1);
                continue;
            }
            while (_pending.size() < 1029)
                if (!Fill())
                    return false;
            std::string block = _pending.substr(0, 1029);
            _pending.erase(0, 1029);
            blocksSeen++;
            if (blocksSeen == 2 && behaviour == Behaviour::Cancel) {
                Send("\x18\x18");
                return false;
            }
            if (blocksSeen == 2 && behaviour == Behaviour::RestartMidTransfer) {
                Send("C");
                return false;
            }
            std::string data = block.substr(3, 1024);
            unsigned short crc = static_cast<unsigned short>(static_cast<unsigned char>(block[1027]) << 8 |
                                                             static_cast<unsigned char>(block[1028]));
            bool sound = static_cast<unsigned char>(block[1] ^ block[2]) == 0xFF && crc == Crc(data);
            if (behaviour == Behaviour::NakEverything || !sound) {
                Send("\x15");
                continue;
            }
            blockNumbers.push_back(static_cast<unsigned char>(block[1]));
            file += data;
            Send("\x06");
        }
    }

    board::PtyLine _line;
    std::thread _thread;
    std::atomic<bool> _stop{false};
    std::string _pending;
};

std::string Package(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; i++)
        bytes[i] = static_cast<char>((i * 131 + seed) >> 3);
    std::ofstream(seed == 1 ? "/app/gpsupdate_bl.pkg" : "/app/gpsupdate_fw.pkg", std::ios::binary) << bytes;
    return bytes;
}

std::string Contents(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Both LEDs lit while the update runs; then blue (success) or red (failure).
std::string Result()
{
    for (int i = 0; i < 600; i++) {
        std::string blue = board::ReadNode(board::GpioValuePath(196));
        std::string red = board::ReadNode(board::GpioValuePath(197));
        if (blue != red)
            return blue == "1" ? "success" : "failure";
        std::this_thread::sleep_for(100ms);
    }
    return "still running";
}

class GpsFirmwareUpdate : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(board::LayOutSysfs());
        ASSERT_TRUE(module.Bind());
        vk::Singleton<vk::GpsUpdate>::Inst()->Init();
    }
    void TearDown() override { module.Stop(); }

    // Runs the update against the module; its result and what it printed.
    std::string Run(std::string& printed)
    {
        module.Start();
        testing::internal::CaptureStdout();
        vk::Singleton<vk::GpsUpdate>::Inst()->Start();
        std::string result = Result();
        printed = testing::internal::GetCapturedStdout();
        return result;
    }

    Module module;
};

} // namespace

// The package sent to lrzsz's rx, a real XMODEM-1K receiver, on the far end of a pty that socat makes.
TEST(GpsUpdateXmodem, ARealReceiverTakesThePackageWhole)
{
    std::string package = Package(5000, 1);
    ASSERT_EQ(std::system("cd /tmp && socat PTY,link=/tmp/gpsline,raw,echo=0 "
                          "EXEC:'rx -c -b received.pkg' 2> /tmp/rx.log &"),
        0);
    for (int i = 0; i < 100 && access("/tmp/gpsline", F_OK) != 0; i++)
        std::this_thread::sleep_for(50ms);
    int fd = open("/tmp/gpsline", O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    vk::GpsUpdate* update = vk::Singleton<vk::GpsUpdate>::Inst();
    ASSERT_EQ(update->set_baudrate(fd, B115200), 0);
    EXPECT_EQ(update->xmodem_send(fd, "/app/gpsupdate_bl.pkg"), 0);
    close(fd);
    std::string received;
    for (int i = 0; i < 100 && Contents("/tmp/rx.log").find("Transfer complete") == std::string::npos; i++)
        std::this_thread::sleep_for(50ms);
    received = Contents("/tmp/received.pkg");
    ASSERT_EQ(received.size(), 5u * 1024) << Contents("/tmp/rx.log");
    EXPECT_EQ(received.substr(0, 5000), package);
    EXPECT_EQ(received.substr(5000), std::string(120, '\x1A'));
}

TEST(GpsUpdateCrc, IsCrc16Xmodem)
{
    EXPECT_EQ(vk::GpsUpdate::get_crc16("123456789", 9), 0x31C3);
    EXPECT_EQ(vk::GpsUpdate::get_crc16("", 0), 0);
    std::string block(1024, '\x1A');
    EXPECT_EQ(vk::GpsUpdate::get_crc16(block.data(), 1024), Crc(block));
}

TEST_F(GpsFirmwareUpdate, BothPackagesArriveWholeAndTheModuleIsConfigured)
{
    std::string bootloader = Package(3000, 1);     // the last block filled up
    std::string firmware = Package(257 * 1024, 2); // whole blocks only, past block 255
    std::string out;
    EXPECT_EQ(Run(out), "success") << out;
    EXPECT_TRUE(module.configured);
    ASSERT_EQ(module.bootloader.size(), 3u * 1024);
    EXPECT_EQ(module.bootloader.substr(0, 3000), bootloader);
    EXPECT_EQ(module.bootloader.substr(3000), std::string(72, '\x1A'));
    EXPECT_EQ(module.firmware, firmware) << "no filler after whole blocks";
    ASSERT_EQ(module.blockNumbers.size(), 3u + 257u);
    EXPECT_EQ(module.blockNumbers[3 + 254], 255);
    EXPECT_EQ(module.blockNumbers[3 + 255], 0) << "the 256th block carries number 0";
    EXPECT_EQ(module.blockNumbers[3 + 256], 1);
}

TEST_F(GpsFirmwareUpdate, AMissingPackageFailsTheUpdate)
{
    std::string out;
    EXPECT_EQ(Run(out), "failure");
    EXPECT_NE(out.find("can't open this file or not exist!"), std::string::npos) << out;
}

// A module that talks on without asking for the package: the update gives up
// 10 s after it began to wait, while the module is still talking.
TEST_F(GpsFirmwareUpdate, AChatteringModuleCannotPushTheWaitForItsRequestBack)
{
    Package(2048, 1);
    Package(2048, 2);
    module.behaviour = Behaviour::ChatterWithoutC;
    std::string out;
    EXPECT_EQ(Run(out), "failure");
    EXPECT_TRUE(module.chattering) << "gave up while the module talked on";
    EXPECT_NE(out.find("[GpsUpdate]/app/gpsupdate_bl.pkg: no start request"), std::string::npos) << out;
    EXPECT_EQ(module.blocksSeen, 0);
}

struct Refusal {
    const char* name;
    Behaviour behaviour;
    const char* printed;
    const char* logged;
    int blocksSeen;
};

void PrintTo(const Refusal& refusal, std::ostream* out)
{
    *out << refusal.name;
}

class GpsFirmwareRefusal : public GpsFirmwareUpdate, public testing::WithParamInterface<Refusal> {};

TEST_P(GpsFirmwareRefusal, EndsTheUpdateWithFailureAndALogLine)
{
    const Refusal& refusal = GetParam();
    Package(3000, 1);
    Package(2048, 2);
    module.behaviour = refusal.behaviour;
    std::string out;
    EXPECT_EQ(Run(out), "failure");
    module.Stop(); // the module may still be waiting on the line; its tallies are read once its thread is gone
    EXPECT_EQ(module.blocksSeen, refusal.blocksSeen);
    EXPECT_NE(out.find(refusal.printed), std::string::npos) << out;
    EXPECT_NE(out.find(std::string("[GpsUpdate]/app/gpsupdate_bl.pkg: ") + refusal.logged), std::string::npos) << out;
    EXPECT_NE(out.find("xmodem error!"), std::string::npos) << "failed at once, not at the next wait";
    EXPECT_TRUE(module.firmware.empty()) << "the firmware never follows a failed boot loader";
    EXPECT_FALSE(module.configured);
}

INSTANTIATE_TEST_SUITE_P(Module, GpsFirmwareRefusal,
    testing::Values(
        // 11 resends of the first block, then no more.
        Refusal { "RefusesABlockTwelveTimes", Behaviour::NakEverything, "Retry too many times,Quit!",
            "refused too many times", 12 },
        Refusal { "NeverAcknowledgesTheEnd", Behaviour::NeverAcknowledgeEnd, "\ntimeout!!!\n", "end not acknowledged", 3 },
        Refusal { "Cancels", Behaviour::Cancel, "ACK Error!\n0x18", "cancelled by the module", 2 },
        Refusal { "AsksForAStartMidTransfer", Behaviour::RestartMidTransfer, "ACK Error!\n0x43",
            "start request in mid-transfer", 2 }),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });
