#pragma once
// The datagram transport of the message bus: one fixed record per datagram on
// a Unix-domain socket "/tmp/uds_<key>".

#include <cstdint>
#include <cstddef>
#include <sys/un.h>

struct ipc_msg_t {
    int32_t wnd = -1;
    int32_t cmd = -1;
    int32_t param1 = 0;
    int32_t param2 = 0;
    void* ptr = nullptr; // meaningful only inside this process
};
// Sent as it lies in memory: four 32-bit fields and the pointer, no padding
// (20 bytes on the board, 24 where pointers are 64 bits).
static_assert(offsetof(ipc_msg_t, ptr) == 16 && sizeof(ipc_msg_t) == 16 + sizeof(void*),
              "the bus record's layout");
static_assert(sizeof(void*) != 4 || sizeof(ipc_msg_t) == 20, "the board's 20-byte bus record");

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
