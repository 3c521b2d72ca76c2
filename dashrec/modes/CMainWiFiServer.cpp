// The network side of the Wi-Fi station test: the unit's address and MAC
// address from the interface list, and the registration of the MAC address
// with the production server on a thread of its own.

#include "dashrec/core/SDDebug.h"
#include "dashrec/modes/CMainWiFi.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vk {

namespace {

const int ADDR_LIST_SIZE = 320;
const int MAC_LIST_SIZE = 1024;
const int CONNECT_WAIT_S = 5;
const int AFTER_EXCHANGE_MS = 1000;

// The interfaces that have an address; the entries' count, -1 when the list fails.
int ListInterfaces(int sock, char* buffer, int size, ifreq*& entries)
{
    ifconf ifc {};
    ifc.ifc_len = size;
    ifc.ifc_buf = buffer;
    if (ioctl(sock, SIOCGIFCONF, &ifc) < 0)
        return -1;
    entries = ifc.ifc_req;
    return ifc.ifc_len / static_cast<int>(sizeof(ifreq));
}

bool SetBlocking(int sock, bool blocking)
{
    int flags = fcntl(sock, F_GETFL, 0);
    if (flags < 0)
        return false;
    flags = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
    return fcntl(sock, F_SETFL, flags) >= 0;
}

} // namespace

void CMainWiFi::GetAddr()
{
    char buffer[ADDR_LIST_SIZE];
    ifreq* entries = nullptr;
    int count = ListInterfaces(_socket, buffer, sizeof(buffer), entries);
    if (count < 0) {
        SetText(_message, "ioctl() Error");
        return;
    }
    for (int i = 0; i < count; ++i) {
        const sockaddr_in* addr = reinterpret_cast<const sockaddr_in*>(&entries[i].ifr_addr);
        if (addr->sin_family != AF_INET || addr->sin_addr.s_addr == htonl(INADDR_LOOPBACK))
            continue;
        inet_ntop(AF_INET, &addr->sin_addr, _ip, sizeof(_ip));
        return;
    }
    SetText(_message, "IP addr Error");
}

void CMainWiFi::GetMac()
{
    if (_socket < 0)
        VK_ASSERT_REPORT("socket >= 0");
    char buffer[MAC_LIST_SIZE];
    ifreq* entries = nullptr;
    int count = ListInterfaces(_socket, buffer, sizeof(buffer), entries);
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    for (int i = 0; i < count; ++i) {
        ifreq request {};
        std::memcpy(request.ifr_name, entries[i].ifr_name, sizeof(request.ifr_name));
        if (ioctl(_socket, SIOCGIFFLAGS, &request) < 0 || (request.ifr_flags & IFF_LOOPBACK) != 0)
            continue;
        if (ioctl(_socket, SIOCGIFHWADDR, &request) < 0)
            continue;
        const unsigned char* hw = reinterpret_cast<const unsigned char*>(request.ifr_hwaddr.sa_data);
        SetText(_mac, "%02X-%02X-%02X-%02X-%02X-%02X", hw[0], hw[1], hw[2], hw[3], hw[4], hw[5]);
        std::printf("MAC:%s\n", _mac);
        return;
    }
    SetText(_mac, "MAC error");
}

void CMainWiFi::ServerHandler()
{
    _state = CONNECTING_SERVER;
    JoinServer();
    _t = std::thread([this] { Register(); });
}

void CMainWiFi::JoinServer()
{
    if (_t.joinable())
        _t.join();
}

void CMainWiFi::Register()
{
    std::printf("ServerHandler starts...\n");
    timeval left { CONNECT_WAIT_S, 0 };
    int sock = Connect(left);
    if (sock >= 0) {
        _state = Exchange(sock, left);
        close(sock);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(AFTER_EXCHANGE_MS));
    std::printf("ServerHandler stops...\n");
    std::fflush(stdout);
}

int CMainWiFi::Connect(timeval& left)
{
    sockaddr_in server {};
    server.sin_family = AF_INET;
    server.sin_port = htons(SERV_PORT);
    server.sin_addr.s_addr = inet_addr(_settings.server.c_str());
    // A failure before the connection is tried is shown like one of the
    // connection itself, not left on "Connecting server".
    int sock = socket(AF_INET, SOCK_STREAM, 0);
    if (sock < 0) {
        std::printf("client socket error\n");
        _state = CONNECTION_ERROR;
        return -1;
    }
    const char* failure = nullptr;
    if (!SetBlocking(sock, false)) {
        failure = "fcntl() error";
    } else if (connect(sock, reinterpret_cast<sockaddr*>(&server), sizeof(server)) < 0 && errno != EINPROGRESS) {
        failure = "connect() error";
    } else {
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(sock, &writable);
        int error = 0;
        socklen_t length = sizeof(error);
        if (select(sock + 1, nullptr, &writable, nullptr, &left) <= 0)
            failure = "connection timeout";
        else if (getsockopt(sock, SOL_SOCKET, SO_ERROR, &error, &length) < 0 || error != 0)
            failure = "fcntl() error";
        else if (!SetBlocking(sock, true))
            failure = "fcntl() error";
    }
    if (failure == nullptr)
        return sock;
    std::printf("%s\n", failure);
    _state = CONNECTION_ERROR;
    close(sock);
    return -1;
}

int CMainWiFi::BuildRequest()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    size_t length = std::strlen(_mac);
    _snd[0] = static_cast<char>(length);
    _snd[1] = ACK_MAC;
    std::memcpy(_snd.get() + HEADSIZE, _mac, length + 1);
    return static_cast<int>(length) + HEADSIZE;
}

CMainWiFi::STATE CMainWiFi::Exchange(int sock, const timeval& left)
{
    int length = BuildRequest();
    timeval wait = left;
    // A wait used up to the end would read as "no time-out" to the socket.
    if (wait.tv_sec == 0 && wait.tv_usec == 0)
        wait.tv_usec = 1;
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof(wait));
    ssize_t sent = send(sock, _snd.get(), length, MSG_NOSIGNAL);
    if (sent <= 0) {
        std::printf("send error\n");
        return SEND_ERROR;
    }
    std::printf("sent:%d, len:%d\n", static_cast<int>(sent), length);
    ssize_t received = recv(sock, _rcv.get(), HEADSIZE, MSG_WAITALL);
    if (received <= 0) {
        std::printf("recv header error\n");
        return RECV_ERROR;
    }
    int payload = static_cast<unsigned char>(_rcv[0]);
    std::printf("rcv:%d, data to read:%d\n", static_cast<int>(received), payload);
    received = recv(sock, _rcv.get() + HEADSIZE, payload, MSG_WAITALL);
    if (received <= 0) {
        std::printf("recv payload error\n");
        return RECV_ERROR;
    }
    int overlapped = _rcv[HEADSIZE];
    std::printf("rcv:%d, overlapped:%d\n", static_cast<int>(received), overlapped);
    return overlapped == 1 ? REGISTER_MAC : OVERLAPPED_MAC;
}

} // namespace vk
