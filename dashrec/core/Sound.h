#pragma once
// Sound prompts. Until the track table is built, start-up sets nothing up.

#include "dashrec/core/Singleton.h"

namespace vk {

class Sound : public Singleton<Sound> {
public:
    enum Clip { button = 0 };

    void Init() {}
    void SetUserVolume() {}
    void Play(Clip) {}
};

} // namespace vk
