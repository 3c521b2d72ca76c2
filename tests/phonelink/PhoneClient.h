#pragma once
// A phone on loopback: connects to the device's port, sends raw bytes, and
// reads replies framed in braces, raw file bytes or the end of the connection.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

class PhoneClient {
public:
    PhoneClient() = default;
    ~PhoneClient() { Close(); }
    PhoneClient(const PhoneClient&) = delete;
    PhoneClient& operator=(const PhoneClient&) = delete;

    // Retries while the server is still coming up.
    bool Connect(int port = 8584, int timeoutMs = 5000)
    {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        do {
            Close();
            _fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (connect(_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (std::chrono::steady_clock::now() < until);
        Close();
        return false;
    }

    void Close()
    {
        if (_fd >= 0)
            close(_fd);
        _fd = -1;
    }

    bool Send(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t sent = send(_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent <= 0)
                return false;
            done += static_cast<size_t>(sent);
        }
        return true;
    }

    // One reply "{...}" as it came ("" on time-out or end of connection).
    std::string Reply(int timeoutMs = 5000)
    {
        std::string reply;
        char byte;
        while (ReadSome(&byte, 1, timeoutMs) == 1) {
            if (reply.empty() && byte != '{')
                continue;
            reply += byte;
            if (byte == '}')
                return reply;
        }
        return "";
    }

    // Up to `length` raw bytes; fewer when the connection ends or stalls.
    std::string Bytes(size_t length, int timeoutMs = 5000)
    {
        std::string bytes(length, '\0');
        size_t done = 0;
        while (done < length) {
            ssize_t got = ReadSome(&bytes[done], length - done, timeoutMs);
            if (got <= 0)
                break;
            done += static_cast<size_t>(got);
        }
        bytes.resize(done);
        return bytes;
    }

    // True when the device closed the connection (nothing else arrived first).
    bool ClosedByDevice(int timeoutMs = 5000)
    {
        char byte;
        return ReadSome(&byte, 1, timeoutMs) == 0;
    }

    int Fd() const { return _fd; }

private:
    // >0 bytes read, 0 end of connection, -1 time-out or error. A signal
    // (a fuzzer's timer) is no time-out.
    ssize_t ReadSome(char* into, size_t length, int timeoutMs)
    {
        pollfd wait{_fd, POLLIN, 0};
        int ready;
        do {
            ready = poll(&wait, 1, timeoutMs);
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0)
            return -1;
        ssize_t got;
        do {
            got = recv(_fd, into, length, 0);
        } while (got < 0 && errno == EINTR);
        return got < 0 ? (errno == ECONNRESET ? 0 : -1) : got;
    }

    int _fd = -1;
};
