#include "dashrec/core/MessageQueue.h"

namespace vk {

void UIQueue::Init()
{
    recvQueue = ipc_create(KEY, 1);
    sendQueue = ipc_create(KEY, 0);
    VK_ASSERT(recvQueue != nullptr && sendQueue != nullptr);
}

void UIQueue::SendMessage(int wnd, int cmd, int param1, int param2, void* ptr)
{
    ipc_msg_t msg;
    msg.wnd = wnd;
    msg.cmd = cmd;
    msg.param1 = param1;
    msg.param2 = param2;
    msg.ptr = ptr;
    SendMessage(msg);
}

void UIQueue::SendMessage(const ipc_msg_t& msg)
{
    VK_ASSERT(recvQueue != nullptr && sendQueue != nullptr);
    ipc_send_msg(sendQueue, &msg);
}

} // namespace vk
