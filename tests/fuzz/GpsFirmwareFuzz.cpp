// libFuzzer target: a GPS firmware package sent over XMODEM-1K to a module
// that answers as the input says. The first byte counts the module's answers
// (at most 15) that follow it; the rest is the package. After its answers
// the module cancels, so that no run waits out the transfer's time limit.

#include "InputFile.h"

#include "dashrec/modes/GpsUpdate.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint8_t CANCEL = 0x18;
constexpr size_t MAX_ANSWERS = 15;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t answers = std::min<size_t>(data[0] % (MAX_ANSWERS + 1), size - 1);
    std::vector<uint8_t> module(data + 1, data + 1 + answers);
    const std::string& path = fuzz::WriteInputFile(data + 1 + answers, size - 1 - answers);
    int line[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, line) != 0)
        std::abort();
    module.insert(module.end(), 8, CANCEL);
    if (write(line[1], module.data(), module.size()) != static_cast<ssize_t>(module.size()))
        std::abort();
    vk::Singleton<vk::GpsUpdate>::Inst()->xmodem_send(line[0], path.c_str());
    close(line[0]);
    close(line[1]);
    return 0;
}
