// libFuzzer target: arbitrary bytes from the MCU on its serial line (a pty
// bound at /dev/ttyS1, inside the sandbox), through the receiver's framing
// and every frame's handling.

#include "dashrec/devices/Micom.h"
#include "host/board/PtyLine.h"
#include "host/board/Sysfs.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using vk::Micom;

board::PtyLine& Line()
{
    static board::PtyLine* line = [] {
        auto* made = new board::PtyLine;
        if (!board::LayOutSysfs() || !made->Bind("/dev/ttyS1"))
            std::abort();
        Micom* micom = vk::Singleton<Micom>::Inst();
        micom->Init();
        micom->Start();
        // The receiver ends before the singletons are destroyed.
        std::atexit([] { vk::Singleton<Micom>::Inst()->Finalize(); });
        return made;
    }();
    return *line;
}

std::vector<uint8_t> TemperatureFrame(uint16_t ad)
{
    std::vector<uint8_t> frame = { 'H', 'L', Micom::MICOM_CMD_TEMPERATURE, uint8_t(ad >> 8), uint8_t(ad & 0xFF), 0 };
    frame[5] = Micom::MakeCheckSum(frame.data(), frame.size());
    return frame;
}

// What the program sent meanwhile is read away, so that its writes never block.
void Drain(board::PtyLine& line)
{
    uint8_t sink[256];
    while (line.Read(sink, sizeof(sink), 0) > 0) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static uint16_t mark = 0;
    board::PtyLine& line = Line();
    Micom* micom = vk::Singleton<Micom>::Inst();
    // Five bytes that cannot start a frame end any frame the input left open;
    // the receiver handles bytes in order, so once the marking frame is seen
    // every byte before it was handled.
    std::vector<uint8_t> bytes(data, data + size);
    bytes.insert(bytes.end(), 5, 0);
    mark = static_cast<uint16_t>(mark + 1);
    std::vector<uint8_t> frame = TemperatureFrame(mark);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    if (line.Write(bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (micom->GetTemperatureADValue() != mark) {
        if (std::chrono::steady_clock::now() > until)
            std::abort();
        Drain(line);
        std::this_thread::yield();
    }
    Drain(line);
    // The conversions of whatever the MCU reported stay numbers.
    if (micom->GetVoltage() != micom->GetVoltage() || micom->GetTemperature() != micom->GetTemperature())
        std::abort();
    return 0;
}
