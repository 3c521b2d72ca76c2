// The network side of the Wi-Fi station test: the unit's address and MAC
// address from the interface list, and the registration of the MAC address
// with the production server on a thread of its own.

#include "dashrec/core/SDDebug.h"
#include "dashrec/modes/CMainWiFi.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vk {

namespace {

const int ADDR_LIST_SIZE = 320;
const int MAC_BYTES = 6;
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

// Reads exactly `size` bytes by `deadline`, however the peer splits them;
// false on its end, an error or the time running out.
bool ReceiveAll(int sock, char* buffer, size_t size, std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    for (size_t got = 0; got < size;) {
        long long left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
        pollfd readable { sock, POLLIN, 0 };
        int ready = left < 0 ? 0 : poll(&readable, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        ssize_t n = recv(sock, buffer + got, size - got, 0);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
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

bool CMainWiFi::GetMac()
{
    if (_socket < 0)
        VK_ASSERT_REPORT("socket >= 0");
    // The station's own address: the one the line registers, whatever other interfaces the unit has.
    ifreq request {};
    std::snprintf(request.ifr_name, sizeof(request.ifr_name), "%s", STATION_INTERFACE);
    bool found = ioctl(_socket, SIOCGIFHWADDR, &request) == 0;
    const unsigned char* hw = reinterpret_cast<const unsigned char*>(request.ifr_hwaddr.sa_data);
    found = found && std::any_of(hw, hw + MAC_BYTES, [](unsigned char byte) { return byte != 0; });
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    if (!found) {
        SetText(_mac, "MAC error");
        return false;
    }
    SetText(_mac, "%02X-%02X-%02X-%02X-%02X-%02X", hw[0], hw[1], hw[2], hw[3], hw[4], hw[5]);
    std::printf("MAC:%s\n", _mac);
    return true;
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
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(left.tv_sec) +
                    std::chrono::microseconds(left.tv_usec);
    ssize_t sent = send(sock, _snd.get(), length, MSG_NOSIGNAL);
    if (sent <= 0) {
        std::printf("send error\n");
        return SEND_ERROR;
    }
    std::printf("sent:%d, len:%d\n", static_cast<int>(sent), length);
    if (!ReceiveAll(sock, _rcv.get(), HEADSIZE, deadline)) {
        std::printf("recv header error\n");
        return RECV_ERROR;
    }
    int payload = static_cast<unsigned char>(_rcv[0]);
    std::printf("rcv:%d, data to read:%d\n", HEADSIZE, payload);
    // The verdict is the payload's first byte: a reply without one, or cut short, is no verdict.
    if (payload == 0 || !ReceiveAll(sock, _rcv.get() + HEADSIZE, payload, deadline)) {
        std::printf("recv payload error\n");
        return RECV_ERROR;
    }
    int overlapped = _rcv[HEADSIZE];
    std::printf("rcv:%d, overlapped:%d\n", payload, overlapped);
    return overlapped == 1 ? REGISTER_MAC : OVERLAPPED_MAC;
}

} // namespace vk
