// get_file of a 100 MB recording over loopback against a raw copy of the same
// file into a socket by socat. Prints both throughputs and their ratio (goal: at
// least 0.9). Runs in the sandbox (it writes /mnt/extsd); see run.sh. Both
// read into one receive buffer touched before any timing, so that neither
// times the kernel's first touch of 100 MB.

#include "../PhoneClient.h"

#include "bmworks/BmNet.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

namespace {

const char* const NAME = "NORM240131-120000F.MP4";
const char* const PATH = "/mnt/extsd/NORMAL/NORM240131-120000F.MP4";
constexpr size_t SIZE = 100 * 1000 * 1000;
constexpr int RAW_PORT = 9000;
constexpr int ROUNDS = 3;

void MakeRecording()
{
    mkdir("/mnt/extsd", 0755);
    mkdir("/mnt/extsd/NORMAL", 0755);
    std::string chunk(1 << 20, '\0');
    std::mt19937 random(1);
    for (auto& byte : chunk)
        byte = static_cast<char>(random());
    std::ofstream file(PATH, std::ios::binary);
    for (size_t written = 0; written < SIZE; written += chunk.size())
        file.write(chunk.data(), static_cast<std::streamsize>(std::min(chunk.size(), SIZE - written)));
}

// The receive buffer, every page written once before it is used.
std::string gReceived(SIZE, '\1');

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Bytes per second of one download through the phone link.
double GetFile()
{
    PhoneClient phone;
    if (!phone.Connect())
        return 0;
    auto start = std::chrono::steady_clock::now();
    phone.Send(std::string("{get_file,") + NAME + "}");
    if (phone.Reply() != "{get_file," + std::to_string(SIZE) + "}")
        return 0;
    size_t got = phone.BytesInto(&gReceived[0], SIZE);
    double seconds = Seconds(start);
    return got == SIZE ? SIZE / seconds : 0;
}

// Bytes per second of socat copying the file into a socket, in blocks of `block` bytes.
double RawCopy(const char* block)
{
    pid_t socat = fork();
    if (socat == 0) {
        std::string listen = "TCP-LISTEN:" + std::to_string(RAW_PORT) + ",reuseaddr";
        std::string open = std::string("OPEN:") + PATH + ",rdonly";
        execlp("socat", "socat", "-u", "-b", block, open.c_str(), listen.c_str(), nullptr);
        _exit(127);
    }
    PhoneClient reader;
    double rate = 0;
    if (reader.Connect(RAW_PORT)) {
        auto start = std::chrono::steady_clock::now();
        size_t got = reader.BytesInto(&gReceived[0], SIZE);
        double seconds = Seconds(start);
        rate = got == SIZE ? SIZE / seconds : 0;
    }
    waitpid(socat, nullptr, 0);
    return rate;
}

} // namespace

int main()
{
    MakeRecording();
    BmNet net;
    net.SetTiming({0, BmNet::IDLE_LIMIT_SEC});
    net.Start(8584);
    // socat's own block size, and the 1 MiB chunks the server sends.
    double best[3] = {};
    for (int round = 0; round < ROUNDS; ++round) {
        best[0] = std::max(best[0], GetFile());
        best[1] = std::max(best[1], RawCopy("8192"));
        best[2] = std::max(best[2], RawCopy("1048576"));
    }
    net.Stop();
    double raw = std::max(best[1], best[2]);
    double ratio = raw > 0 ? best[0] / raw : 0;
    fprintf(stderr,
        "get_file %.0f MB/s; raw copy by socat %.0f MB/s (8 KiB blocks), %.0f MB/s (1 MiB blocks); "
        "ratio to the faster %.2f (best of %d, %zu bytes)\n",
        best[0] / 1e6, best[1] / 1e6, best[2] / 1e6, ratio, ROUNDS, SIZE);
    return ratio >= 0.9 ? 0 : 1;
}
