#include "dashrec/core/ipc.h"

#include "dashrec/core/SDDebug.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

// How long a sender waits out a full receiving queue (the kernel holds only a
// few datagrams) before the message counts as lost, and its retry step.
static const int FULL_QUEUE_WAIT_MS = 200;
static const int FULL_QUEUE_RETRY_MS = 2;

static sockaddr_un BusAddress(int key)
{
    sockaddr_un addr {};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof(addr.sun_path), "/tmp/uds_%d", key);
    return addr;
}

ipc_handle_t* ipc_create(int key, int bound)
{
    sockaddr_un addr = BusAddress(key);
    if (bound > 0)
        unlink(addr.sun_path); // a stale socket file of an earlier run

    int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    if (fd < 0) {
        std::printf("ipc: creation failed (msg_key: %d)\n", key);
        return nullptr;
    }
    if (fcntl(fd, F_SETFL, O_NONBLOCK) < 0) {
        std::printf("ipc: setting nonblock option err");
        close(fd);
        return nullptr;
    }
    int reuse = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
    if (bound > 0 && bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) < 0)
        std::printf("ipc: bind() error");

    auto* handle = new ipc_handle_t;
    handle->fd = fd;
    handle->s_addr = addr;
    return handle;
}

void ipc_destroy(ipc_handle_t* handle)
{
    if (handle == nullptr)
        return;
    if (handle->fd > 0)
        close(handle->fd);
    delete handle;
}

static bool QueueIsFull(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

// The socket stays non-blocking, so a sender never waits longer than the bound.
int ipc_send_msg(ipc_handle_t* handle, const ipc_msg_t* msg)
{
    VK_ASSERT(handle != NULL);
    for (int waitedMs = 0;; waitedMs += FULL_QUEUE_RETRY_MS) {
        ssize_t sent = sendto(handle->fd, msg, sizeof(*msg), 0, reinterpret_cast<const sockaddr*>(&handle->s_addr),
            sizeof(handle->s_addr));
        if (sent >= 0)
            return static_cast<int>(sent);
        if (!QueueIsFull(errno) || waitedMs >= FULL_QUEUE_WAIT_MS)
            break;
        usleep(FULL_QUEUE_RETRY_MS * 1000);
    }
    int error = errno;
    vk::Singleton<vk::SDDebug>::Inst()->Print("[ipc]message lost, %s: wnd %d, cmd %d, param1 %d (%s)\n",
        handle->s_addr.sun_path, msg->wnd, msg->cmd, msg->param1, std::strerror(error));
    return -1;
}

int ipc_recv_msg(ipc_handle_t* handle, ipc_msg_t* msg, int timeoutMs)
{
    VK_ASSERT(handle != nullptr);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(handle->fd, &readable);
    // select refuses a microsecond part of a second or more
    timeval timeout { timeoutMs / 1000, (timeoutMs % 1000) * 1000 };
    if (select(handle->fd + 1, &readable, nullptr, nullptr, &timeout) < 1)
        return -1;
    return static_cast<int>(recv(handle->fd, msg, sizeof(*msg), 0));
}
