#pragma once
// The sandbox's media for tests: images on loop devices through host/card/card.sh.

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace media {

inline std::string Source(const std::string& path)
{
    return std::string(std::getenv("DASHREC_SOURCE_DIR")) + "/" + path;
}

inline std::string Built(const std::string& path)
{
    return std::string(std::getenv("DASHREC_BINARY_DIR")) + "/" + path;
}

inline int Run(const std::string& command)
{
    return std::system(command.c_str());
}

inline int Card(const std::string& arguments)
{
    return Run(Source("host/card/card.sh") + " " + arguments);
}

// A blank sparse image of `mib` MiB inserted as the SD card, USB stick or eMMC.
inline bool Insert(const std::string& medium, const std::string& image, int mib)
{
    return Card("make " + image + " " + std::to_string(mib)) == 0 && Card("attach " + medium + " " + image) == 0;
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace media
