#pragma once
// A process-wide pair of datagram endpoints: the receiving and the sending end
// of one queue. T opens them in its Init.

#include "dashrec/core/SDDebug.h"
#include "dashrec/core/ipc.h"

#include <memory>
#include <mutex>

namespace vk {

template <typename T>
class MessageQueue {
public:
    virtual void Init() = 0;
    virtual ~MessageQueue() = default;

    static T* Inst()
    {
        std::call_once(_once, [] { _inst.reset(new T()); });
        return _inst.get();
    }

    int SendMessage(int wnd, int cmd, int param1 = 0, int param2 = 0, void* ptr = nullptr)
    {
        ipc_msg_t msg;
        msg.wnd = wnd;
        msg.cmd = cmd;
        msg.param1 = param1;
        msg.param2 = param2;
        msg.ptr = ptr;
        return SendMessage(msg);
    }

    int SendMessage(const ipc_msg_t& msg)
    {
        VK_ASSERT(recvQueue != nullptr && sendQueue != nullptr);
        return ipc_send_msg(sendQueue, &msg);
    }

    int RecvMessage(ipc_msg_t& msg, int timeoutMs)
    {
        VK_ASSERT(recvQueue != nullptr && sendQueue != nullptr);
        return ipc_recv_msg(recvQueue, &msg, timeoutMs);
    }

    void Finalize()
    {
        VK_ASSERT(recvQueue != nullptr && sendQueue != nullptr);
        ipc_destroy(recvQueue);
        ipc_destroy(sendQueue);
        recvQueue = nullptr;
        sendQueue = nullptr;
    }

protected:
    MessageQueue() = default;

    // Binds the receiving end of the queue with this key and opens its sending end.
    void Open(int key)
    {
        recvQueue = ipc_create(key, 1);
        sendQueue = ipc_create(key, 0);
        VK_ASSERT(recvQueue != nullptr && sendQueue != nullptr);
    }

    ipc_handle_t* recvQueue = nullptr;
    ipc_handle_t* sendQueue = nullptr;

private:
    static std::unique_ptr<T> _inst;
    static std::once_flag _once;
};

template <typename T> std::unique_ptr<T> MessageQueue<T>::_inst;
template <typename T> std::once_flag MessageQueue<T>::_once;

// The message bus: every thread posts, only the run mode's main loop receives.
class UIQueue : public MessageQueue<UIQueue> {
public:
    static constexpr int KEY = 11;

    void Init() override { Open(KEY); }
};

// The speed-camera alert queue: prompts queued on the GPS thread, played one
// after another by the speed-camera worker.
class Safety : public MessageQueue<Safety> {
public:
    static constexpr int KEY = 13;

    void Init() override { Open(KEY); }
};

} // namespace vk
