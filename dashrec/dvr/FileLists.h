#pragma once
// The index of the recordings per folder that playback and backup use. It is
// rebuilt lazily: users mark it stale and the next user re-reads it.

#include "dashrec/core/Singleton.h"

namespace vk {

class FileLists : public Singleton<FileLists> {
public:
    ~FileLists() override = default;

    // Re-reads the folders when the index is marked stale.
    void Open();
    void SetReload() { _reload = true; }
    bool NeedReload() const { return _reload; }

private:
    friend class Singleton<FileLists>;
    FileLists() = default;

    bool _reload = true;
};

} // namespace vk
