#pragma once
// A queue of the bus family that carries nothing: sounds are played at once.

#include "dashrec/core/MessageQueue.h"

namespace vk {

class SoundQ : public MessageQueue<SoundQ> {
public:
    void Init() override {}
    void SendMessage(int, int, int, int) {}
    void SendMessage(const ipc_msg_t&) {}
};

} // namespace vk
