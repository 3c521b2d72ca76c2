#pragma once
// The file a fuzz target hands its input over in: one per process, removed at
// exit. A file that cannot be written aborts the run.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0)
        std::abort();
}

inline const std::string& InputFile()
{
    static const std::string path = [] {
        char name[] = "/tmp/fuzz-input.XXXXXX";
        int fd = mkstemp(name);
        if (fd < 0)
            std::abort();
        close(fd);
        std::atexit([] { std::remove(InputFile().c_str()); });
        return std::string(name);
    }();
    return path;
}

// The input, as the file at InputFile().
inline const std::string& WriteInputFile(const uint8_t* data, size_t size)
{
    WriteFile(InputFile(), data, size);
    return InputFile();
}

} // namespace fuzz
