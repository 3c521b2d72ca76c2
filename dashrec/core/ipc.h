#pragma once
// The datagram transport of the message bus: one fixed record per datagram on
// a Unix-domain socket "/tmp/uds_<key>".

#include <cstdint>
#include <sys/un.h>

struct ipc_msg_t {
    int32_t wnd = -1;
    int32_t cmd = -1;
    int32_t param1 = 0;
    int32_t param2 = 0;
    void* ptr = nullptr; // meaningful only inside this process
};

struct ipc_handle_t {
    int fd = -1;
    sockaddr_un s_addr {};
};

// bound > 0 makes the receiving end; 0 a sending end. Null on failure.
ipc_handle_t* ipc_create(int key, int bound);
void ipc_destroy(ipc_handle_t* handle);
// The byte count sent, or -1 (queue still full after a short wait, nobody
// bound), when the message is logged as lost.
int ipc_send_msg(ipc_handle_t* handle, const ipc_msg_t* msg);
// The byte count received, or -1 when nothing arrived within timeoutMs.
int ipc_recv_msg(ipc_handle_t* handle, ipc_msg_t* msg, int timeoutMs);
