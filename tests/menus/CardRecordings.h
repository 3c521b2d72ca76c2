#pragma once
// A card laid out by cardform in the sandbox, with recordings placed by
// renaming its pre-allocated files as the loop recorder does.

#include "CardHelpers.h"

#include <cstdio>
#include <dirent.h>
#include <string>
#include <vector>

namespace card {

// Inserts an 8 GiB card, lays it out and mounts it at /mnt/extsd.
inline bool LayOut()
{
    return media::Insert("sd", "/tmp/sd.img", 8192) &&
           media::Run(std::string(CARDFORM) + " /dev/mmcblk1 wqhd fhd 30 30 sd sd mstar > /tmp/cardform.txt") == 0 &&
           media::Run("mkdir -p /mnt/extsd && mount /dev/mmcblk1p1 /mnt/extsd/") == 0;
}

// The hidden free files of a folder for one camera letter.
inline std::vector<std::string> FreeFiles(const std::string& folder, char camera)
{
    std::vector<std::string> names;
    DIR* dir = opendir(("/mnt/extsd/" + folder).c_str());
    for (dirent* e = dir ? readdir(dir) : nullptr; e != nullptr; e = readdir(dir)) {
        std::string name = e->d_name;
        if (name.size() == 22 && name[0] == '.' && name[17] == camera)
            names.push_back(name);
    }
    if (dir)
        closedir(dir);
    return names;
}

// Takes over free files of the folder under the given names, front files
// from the front pool and the rest from the rear pool; false when one fails.
inline bool Place(const std::string& folder, const std::vector<std::string>& names)
{
    std::vector<std::string> front = FreeFiles(folder, 'F');
    std::vector<std::string> rear = FreeFiles(folder, 'R');
    std::string dir = "/mnt/extsd/" + folder + "/";
    for (const std::string& name : names) {
        std::vector<std::string>& pool = name.find("F.MP4") != std::string::npos ? front : rear;
        if (pool.empty() || std::rename((dir + pool.back()).c_str(), (dir + name).c_str()) != 0)
            return false;
        pool.pop_back();
    }
    return true;
}

// Writes a recording into the start of a placed file, which keeps its size.
inline bool Record(const std::string& path, const std::string& recording)
{
    return media::Run("dd if='" + recording + "' of='" + path + "' conv=notrunc status=none") == 0;
}

} // namespace card
