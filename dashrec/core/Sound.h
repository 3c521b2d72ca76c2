#pragma once
// Sound prompts. Until the track table is built, start-up sets nothing up.

#include "dashrec/core/Singleton.h"

namespace vk {

class Sound : public Singleton<Sound> {
public:
    enum Clip { button = 0, power_off = 3 };

    void Init() {}
    void Play(Clip) {}
    void SetUserVolume() {}
};

} // namespace vk
