#include "bmworks/BmNet.h"

#include "bmworks/BmClock.h"
#include "bmworks/BmLog.h"
#include "bmworks/BmRtsp.h"
#include "bmworks/bmworks.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

namespace {

// Guards the client socket and the processing of one command.
std::mutex bmNetMutex;

constexpr int POLL_MS = 200;
// A phone that takes no bytes for this long is gone; its transfer fails.
constexpr int SEND_TIMEOUT_SEC = 10;

void Sleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void LogFramed(int width, const char* format, ...) __attribute__((format(printf, 2, 3)));
void LogFramed(int width, const char* format, ...)
{
    BmPrintRule('=', width);
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    BmPrintRule('=', width);
}

// 1 readable (or closed), 0 timed out, -1 error. poll, not select: no limit on
// the descriptor's number in a process that opens many.
int WaitReadable(int fd, int timeoutMs)
{
    if (fd < 0)
        return -1;
    pollfd wait{fd, POLLIN, 0};
    int ready = poll(&wait, 1, timeoutMs);
    if (ready < 0 && errno == EINTR)
        return 0;
    if (ready > 0 && (wait.revents & POLLNVAL))
        return -1;
    return ready < 0 ? -1 : (ready > 0 ? 1 : 0);
}

// Writes every byte (a short write is continued); never raises SIGPIPE.
bool SendAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        ssize_t sent = send(fd, data, length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        length -= static_cast<size_t>(sent);
    }
    return true;
}

// Reads the socket's pending error; logs with the caller's texts when there is one.
bool SocketFault(int fd, const char* readFailedFormat, const char* pendingFormat, int rule)
{
    int error = 0;
    socklen_t length = sizeof(error);
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) {
        const char* text = strerror(errno);
        rule ? LogFramed(rule, readFailedFormat, text) : (void)printf(readFailedFormat, text);
        return true;
    }
    if (error != 0) {
        const char* text = strerror(error);
        rule ? LogFramed(rule, pendingFormat, text) : (void)printf(pendingFormat, text);
        return true;
    }
    return false;
}

std::vector<std::string> SplitAtCommas(const std::string& text)
{
    std::vector<std::string> parts;
    size_t begin = 0;
    for (;;) {
        size_t comma = text.find(',', begin);
        parts.push_back(text.substr(begin, comma - begin));
        if (comma == std::string::npos)
            return parts;
        begin = comma + 1;
    }
}

struct FolderOfPrefix {
    const char* prefix;
    const char* folder;
};

const FolderOfPrefix RECORDING_FOLDERS[] = {
    {"NORM", "/NORMAL/"},
    {"EVEN", "/EVENT/"},
    {"MANU", "/MANUAL/"},
    {"PARK", "/PARKING/"},
    {"PNOR", "/PARKING/NORMAL/"},
    {"PEVE", "/PARKING/EVENT/"},
};

const char* FolderOf(const std::string& name)
{
    for (const auto& entry : RECORDING_FOLDERS) {
        if (name.compare(0, 4, entry.prefix) == 0)
            return entry.folder;
    }
    return nullptr;
}

struct FileList {
    const char* name;
    CameraPosition camera;
    RecordType type;
    bool parking;
};

const FileList FILE_LISTS[] = {
    {"normal_flist", Front, Normal, false},
    {"normal_rlist", Rear, Normal, false},
    {"event_flist", Front, Event, false},
    {"event_rlist", Rear, Event, false},
    {"manual_flist", Front, Manual, false},
    {"manual_rlist", Rear, Manual, false},
    {"parking_flist", Front, Parking, true},
    {"parking_rlist", Rear, Parking, true},
    {"pnormal_flist", Front, Normal, true},
    {"pnormal_rlist", Rear, Normal, true},
    {"pevent_flist", Front, Event, true},
    {"pevent_rlist", Rear, Event, true},
};

struct Page {
    const char* name;
    bool stopsLive;
};

const Page PAGES[] = {
    {"page_main", true},
    {"page_live", false},
    {"page_sd", false},
    {"page_config", false},
    {"page_wifi", true},
    {"page_copy", true},
};

template <typename Row, size_t N>
const Row* FindByName(const Row (&rows)[N], const std::string& name)
{
    for (const auto& row : rows) {
        if (name == row.name)
            return &row;
    }
    return nullptr;
}

bool InRange(int value, int low, int high)
{
    return value >= low && value <= high;
}

int DaysInMonth(int year, int month)
{
    static const int DAYS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : DAYS[month - 1];
}

// The clock keeps the year in two digits after 2000.
bool IsValidTime(const int (&v)[6])
{
    return InRange(v[0], 2000, 2099) && InRange(v[1], 1, 12) && InRange(v[2], 1, DaysInMonth(v[0], v[1]))
        && InRange(v[3], 0, 23) && InRange(v[4], 0, 59) && InRange(v[5], 0, 59);
}

void EngineStartRtspLive(CameraPosition camera)
{
    BmWorks::Inst()->StartRtspLive(camera);
}

void EngineStopRtspLive(CameraPosition camera)
{
    BmWorks::Inst()->StopRtspLive(camera);
}

const char* const CAMERA_NAMES[MaxCam] = {"Front", "Rear"};

} // namespace

const BmNet::Command BmNet::COMMANDS[] = {
    {"get_file", &BmNet::OnGetFile},
    {"delete_file", &BmNet::OnDeleteFile},
    {"get_config", &BmNet::OnGetConfig},
    {"set_config", &BmNet::OnSetConfig},
    {"get_wifi", &BmNet::OnGetWifi},
    {"set_wifi", &BmNet::OnSetWifi},
    {"rtsp_front", &BmNet::OnRtspFront},
    {"rtsp_rear", &BmNet::OnRtspRear},
    {"close", &BmNet::OnClose},
    {"set_time", &BmNet::OnSetTime},
    {"get_version", &BmNet::OnGetVersion},
    {"sd_format", &BmNet::OnSDFormat},
    {"sd_free_space", &BmNet::OnSDFreeSpace},
    {"sd_copy", &BmNet::OnSDCopy},
};

BmNet::BmNet()
    : mNetBuffSend(new char[NETBUFFRECV_SIZE])
    , mNetBuffRecv(new char[NETBUFFRECV_SIZE])
    , mLive{EngineStartRtspLive, EngineStopRtspLive}
{
}

BmNet::~BmNet()
{
    Stop();
    delete[] mNetBuffSend;
    delete[] mNetBuffRecv;
}

int BmNet::Start(int port)
{
    Stop();
    mPort = port;
    mIsRunning = true;
    mCloseRequested = false;
    mClientFd = -1;
    mLastCmdTimeSec = BmClock::Inst()->Sec();
    auto listen = [](void* self) -> void* {
        static_cast<BmNet*>(self)->ListenTask();
        return nullptr;
    };
    auto client = [](void* self) -> void* {
        static_cast<BmNet*>(self)->ClientTask();
        return nullptr;
    };
    int ret = pthread_create(&mListenTaskId, nullptr, listen, this);
    mListenStarted = ret == 0;
    if (ret != 0)
        printf("\033[0;32;31m ERROR! [FUN]%s [LINE]%d  Create ListenTask fail! ret:%d\n\033[0m", __func__, __LINE__, ret);
    ret = pthread_create(&mClientTaskId, nullptr, client, this);
    mClientStarted = ret == 0;
    if (ret != 0)
        printf("\033[0;32;31m ERROR! [FUN]%s [LINE]%d  Create ClientTask fail! ret:%d\n\033[0m", __func__, __LINE__, ret);
    return mClientStarted ? 1 : 0;
}

void BmNet::Stop()
{
    if (mIsRunning) {
        mCloseRequested = true;
        Sleep(500);
        std::lock_guard<std::mutex> fdLock(mFdMutex);
        mIsRunning = false;
        mClientArrived.notify_all();
    }
    JoinThreads();
}

void BmNet::JoinThreads()
{
    pthread_t self = pthread_self();
    bool onOwnThread = (mListenStarted && pthread_equal(self, mListenTaskId))
        || (mClientStarted && pthread_equal(self, mClientTaskId));
    if (onOwnThread)
        return;
    if (mListenStarted)
        pthread_join(mListenTaskId, nullptr);
    if (mClientStarted)
        pthread_join(mClientTaskId, nullptr);
    mListenStarted = mClientStarted = false;
}

bool BmNet::IsTimeout() const
{
    return BmClock::Inst()->Sec() > mLastCmdTimeSec + mTiming.idleLimitSec;
}

void BmNet::ListenTask()
{
    for (int waited = 0; waited < mTiming.startDelayMs && mIsRunning; waited += 100)
        Sleep(100);
    if (!mIsRunning) {
        LogFramed(55, "       BmNet::ListenTask() Exit - wifi not ready\n");
        return;
    }
    int listenFd = OpenListenSocket();
    if (listenFd >= 0 && listen(listenFd, 5) < 0) {
        printf("     BmNet::ListenTask : Can't listening connect.\n");
        close(listenFd);
        return;
    }
    memset(mNetBuffSend, 0, NETBUFFRECV_SIZE);
    memset(mNetBuffRecv, 0, NETBUFFRECV_SIZE);
    while (mIsRunning) {
        int ready = WaitReadable(listenFd, POLL_MS);
        if (ready < 0)
            Sleep(POLL_MS);
        else if (ready > 0)
            AcceptClient(listenFd);
    }
    bool timedOut = IsTimeout();
    DeleteClient(mClientFd);
    if (DisconnectCallback)
        DisconnectCallback(timedOut);
    if (listenFd >= 0)
        close(listenFd);
    printf("               BmNet::ListenTask() Exit\n");
}

// Retries until the port is ours or the server stops (-1 then).
int BmNet::OpenListenSocket()
{
    while (mIsRunning) {
        int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            printf("    BmNet::ListenTask : Can't open stream socket\n");
            Sleep(1000);
            continue;
        }
        int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        address.sin_port = htons(static_cast<uint16_t>(mPort));
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
            return fd;
        printf("      BmNet::ListenTask : Can't bind local address.\n");
        close(fd);
        Sleep(1000);
    }
    return -1;
}

// A new connection always replaces the current client.
void BmNet::AcceptClient(int listenFd)
{
    sockaddr_in peer{};
    socklen_t length = sizeof(peer);
    int fd = accept4(listenFd, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0) {
        printf("BmNet::ListenTask: accept failed.\n");
        return;
    }
    char address[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &peer.sin_addr, address, sizeof(address));
    printf("     BmNet::ListenTask : %s client connected.\n", address);
    timeval sendTimeout{SEND_TIMEOUT_SEC, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof(sendTimeout));
    KickClient();
    DeleteClient(mClientFd);
    NewClient(fd);
    printf("     BmNet::ListenTask : %s client created.\n", address);
}

// Wakes the client thread out of its wait or transfer so that it lets go of the lock.
void BmNet::KickClient()
{
    std::lock_guard<std::mutex> fd(mFdMutex);
    if (mClientFd >= 0)
        shutdown(mClientFd, SHUT_RDWR);
}

void BmNet::NewClient(int fd)
{
    std::lock_guard<std::mutex> lock(bmNetMutex);
    mLastCmdTimeSec = BmClock::Inst()->Sec();
    mReadAheadPos = mReadAheadLen = 0;
    std::lock_guard<std::mutex> fdLock(mFdMutex);
    mClientFd = fd;
    mClientArrived.notify_all();
}

// Drops the client only while `fd` is still the current one: a client that
// replaced it in the meantime keeps its socket and its live streams.
void BmNet::DeleteClient(int fd)
{
    std::lock_guard<std::mutex> lock(bmNetMutex);
    if (fd < 0 || fd != mClientFd)
        return;
    {
        std::lock_guard<std::mutex> fdLock(mFdMutex);
        close(fd);
        mClientFd = -1;
    }
    printf("                 BmNet::DeleteClient\n");
    if (CloseCallback)
        CloseCallback();
    StopLiveStreams("            BmNet::StopRtspLive(%s) Closed\n");
}

void BmNet::StopLiveStreams(const char* logFormat)
{
    for (int camera = Front; camera < MaxCam; ++camera) {
        auto position = static_cast<CameraPosition>(camera);
        if (!LiveFlag(position).exchange(false))
            continue;
        if (logFormat)
            printf(logFormat, CAMERA_NAMES[camera]);
        mLive.stop(position);
    }
}

std::atomic<bool>& BmNet::LiveFlag(CameraPosition camera)
{
    return camera == Front ? mRtspFrontRunning : mRtspRearRunning;
}

void BmNet::ClientTask()
{
    while (mIsRunning) {
        int served = -1;
        bool keep = true;
        {
            std::lock_guard<std::mutex> lock(bmNetMutex);
            served = mClientFd;
            if (served >= 0)
                keep = ProcessCommunication(served);
        }
        if (!keep)
            DeleteClient(served);
        if (served >= 0)
            continue;
        if (IsTimeout()) {
            printf("      BmNet::ClientTask() connection time over.\n");
            mIsRunning = false;
        } else {
            std::unique_lock<std::mutex> wait(mFdMutex);
            mClientArrived.wait_for(wait, std::chrono::milliseconds(POLL_MS), [this] { return mClientFd >= 0 || !mIsRunning; });
        }
    }
    printf("               BmNet::ClientTask() Exit\n");
}

bool BmNet::ProcessCommunication(int fd)
{
    if (!RecvCommand(fd)) {
        LogFramed(55, "   BmNet::ProcessCommunication() RecvCommand() error.\n");
        return false;
    }
    std::string text(mNetBuffRecv);
    size_t comma = text.find(',');
    std::string name = text.substr(0, comma);
    std::string param = comma == std::string::npos ? "" : text.substr(comma + 1);
    if (comma == std::string::npos)
        LogFramed(55, " BmNet:Receive... {%s}\n", name.c_str());
    else
        LogFramed(55, " BmNet:Receive... {%s,%s}\n", name.c_str(), (mLogMask ? mLogMask(param) : param).c_str());
    mLastCmdTimeSec = BmClock::Inst()->Sec();

    for (const auto& command : COMMANDS) {
        if (name == command.name)
            return (this->*command.handler)(name, param);
    }
    if (FindByName(PAGES, name))
        return OnPage(name, param);
    if (FindByName(FILE_LISTS, name))
        return OnFileList(name, param);
    printf("          BmNet:Unknown command %s\n", name.c_str());
    SendCommand(mClientFd, "unknown_command," + name);
    return true;
}

// One command, from its "{" to its "}", into the receive buffer (NUL-terminated).
bool BmNet::RecvCommand(int fd)
{
    size_t length = 0;
    bool begun = false;
    bool complete = false;
    while (mIsRunning && !complete) {
        if (mReadAheadPos == mReadAheadLen) {
            // Between replies, so that {close} never lands inside a file transfer.
            if (mCloseRequested.exchange(false))
                SendCommand(fd, "close");
            int ready = WaitReadable(fd, POLL_MS);
            if (ready < 0) {
                printf("          BmNet::RecvCommand() select() error.\n");
                break;
            }
            if (ready == 0) {
                if (!IsTimeout())
                    continue;
                SendCommand(fd, "close");
                printf("      BmNet::RecvCommand() connection time over.\n");
                Sleep(500);
                mIsRunning = false;
                break;
            }
            ssize_t got = recv(fd, mReadAhead, sizeof(mReadAhead), 0);
            if (got <= 0) {
                printf("      BmNet::RecvCommand() read error = %d.\n", got < 0 ? errno : 0);
                break;
            }
            mReadAheadPos = 0;
            mReadAheadLen = static_cast<size_t>(got);
        }
        char byte = mReadAhead[mReadAheadPos++];
        if (!begun) {
            begun = byte == '{';
        } else if (byte == '}') {
            complete = true;
        } else if (length == NETBUFFRECV_SIZE - 1) {
            printf("      BmNet::RecvCommand() command length error. len=%zu\n", length);
            break;
        } else {
            mNetBuffRecv[length++] = byte;
        }
    }
    mNetBuffRecv[length] = '\0';
    return complete;
}

void BmNet::SendCommand(int fd, const std::string& text)
{
    if (SocketFault(fd, " getsockopt() error ...%s\n", " Socket error ...%s\n", 59))
        return;
    std::string reply = "{" + text + "}";
    SendAll(fd, reply.data(), reply.size());
}

bool BmNet::OnGetFile(const std::string&, const std::string& param)
{
    std::string path = RecordingPath(param);
    if (path.empty())
        printf("    BmNet:Unknown fileName %s\n", param.c_str());
    uint64_t size = path.empty() ? 0 : GetFileSize(path);
    SendCommand(mClientFd, "get_file," + std::to_string(size));
    if (path.empty())
        return false;
    if (size == 0)
        return true;
    bool sent = SendFile(mClientFd, path, size);
    printf(sent ? "    BmNet:%s... sended successfully\n" : "    BmNet:%s... send failed\n", param.c_str());
    return sent;
}

// Exactly `size` bytes or a failure: a file that grew meanwhile is cut at the announced size.
bool BmNet::SendFile(int fd, const std::string& path, uint64_t size)
{
    int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0)
        return false;
    uint64_t sent = 0;
    while (sent < size && mIsRunning) {
        size_t want = static_cast<size_t>(std::min<uint64_t>(NETBUFFRECV_SIZE, size - sent));
        ssize_t got = read(file, mNetBuffSend, want);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (SocketFault(fd, " BmNet:SendFile...getsockopt() error ...%s\n", " BmNet:SendFile...Socket error ...%s\n", 0))
            break;
        if (!SendAll(fd, mNetBuffSend, static_cast<size_t>(got)))
            break;
        sent += static_cast<uint64_t>(got);
    }
    close(file);
    return sent == size;
}

uint64_t BmNet::GetFileSize(const std::string& path)
{
    struct stat status;
    if (stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return 0;
    return static_cast<uint64_t>(status.st_size);
}

bool BmNet::IsRecordingName(const std::string& name)
{
    // PREFIX yymmdd-hhmmss F|R .MP4
    static const char PATTERN[] = "PPPP999999-999999C.MP4";
    if (name.size() != sizeof(PATTERN) - 1 || !FolderOf(name))
        return false;
    for (size_t i = 4; i < name.size(); ++i) {
        char want = PATTERN[i];
        char got = name[i];
        bool ok = want == '9' ? (got >= '0' && got <= '9') : want == 'C' ? (got == 'F' || got == 'R') : got == want;
        if (!ok)
            return false;
    }
    return true;
}

std::string BmNet::RecordingPath(const std::string& name)
{
    if (!IsRecordingName(name))
        return "";
    return std::string("/mnt/extsd") + FolderOf(name) + name;
}

// Answered once the recordings are gone: a phone told so lists them no more.
bool BmNet::OnDeleteFile(const std::string& name, const std::string& param)
{
    std::vector<std::string> names = SplitAtCommas(param);
    bool deleted = std::all_of(names.begin(), names.end(), IsRecordingName);
    if (deleted && DeleteFileCallback) {
        std::string text = param;
        deleted = DeleteFileCallback(text);
    }
    SendCommand(mClientFd, name + "," + (deleted ? param : "-1"));
    return true;
}

// {name,T} or {name} when the owner gives no text.
bool BmNet::ReplyText(const std::string& name, TextFn fill)
{
    std::string text;
    if (fill)
        fill(text);
    SendCommand(mClientFd, text.empty() ? name : name + "," + text);
    return true;
}

bool BmNet::OnGetConfig(const std::string& name, const std::string&)
{
    return ReplyText(name, GetConfigCallback);
}

bool BmNet::OnGetWifi(const std::string& name, const std::string&)
{
    return ReplyText(name, GetWifiCallback);
}

bool BmNet::OnGetVersion(const std::string& name, const std::string&)
{
    return ReplyText(name, GetVersionCallback);
}

// Answered once applied: {name}, or {name,-1} when the owner refused the text.
bool BmNet::ApplySettings(const std::string& name, const std::string& param, SettingsFn apply)
{
    bool taken = true;
    bool close = false;
    if (apply) {
        std::string text = param;
        taken = apply(text, close);
    }
    SendCommand(mClientFd, taken ? name : name + ",-1");
    if (close) {
        SendCommand(mClientFd, "close");
        mIsRunning = false;
    }
    return true;
}

bool BmNet::OnSetConfig(const std::string& name, const std::string& param)
{
    return ApplySettings(name, param, SetConfigCallback);
}

bool BmNet::OnSetWifi(const std::string& name, const std::string& param)
{
    return ApplySettings(name, param, SetWifiCallback);
}

bool BmNet::StartLive(const std::string& name, CameraPosition camera)
{
    if (!LiveFlag(camera).exchange(true))
        mLive.start(camera);
    const BmRtspMount& mount = RTSP_MOUNTS[camera];
    SendCommand(mClientFd, name + "," + mount.service + "," + mount.path);
    return true;
}

bool BmNet::OnRtspFront(const std::string& name, const std::string&)
{
    return StartLive(name, Front);
}

bool BmNet::OnRtspRear(const std::string& name, const std::string&)
{
    return StartLive(name, Rear);
}

bool BmNet::OnClose(const std::string& name, const std::string&)
{
    SendCommand(mClientFd, name);
    Sleep(1000);
    return false;
}

// set_time,Y,M,D,h,m,s: a missing value counts as 0, and a date or time the
// clock cannot hold is refused.
bool BmNet::OnSetTime(const std::string& name, const std::string& param)
{
    std::vector<std::string> fields = SplitAtCommas(param);
    int values[6] = {};
    for (size_t i = 0; i < 6 && i < fields.size(); ++i)
        values[i] = atoi(fields[i].c_str());
    bool valid = IsValidTime(values);
    SendCommand(mClientFd, valid ? name : name + ",-1");
    if (valid && SetTimeCallback)
        SetTimeCallback(values[0], values[1], values[2], values[3], values[4], values[5]);
    return true;
}

// {name,R} with R "-1" unless the owner sets it.
bool BmNet::ReplyResult(const std::string& name, TextFn fill)
{
    std::string result = "-1";
    if (fill)
        fill(result);
    SendCommand(mClientFd, name + "," + result);
    return true;
}

bool BmNet::OnSDFormat(const std::string& name, const std::string&)
{
    return ReplyResult(name, SDFormatCallback);
}

bool BmNet::OnSDFreeSpace(const std::string& name, const std::string&)
{
    return ReplyResult(name, SDFreeSpaceCallback);
}

bool BmNet::OnSDCopy(const std::string& name, const std::string& param)
{
    std::string result = "-1";
    if (SDCopyCallback && IsRecordingName(param)) {
        std::string file = param;
        SDCopyCallback(file, result);
    }
    SendCommand(mClientFd, name + "," + param + "," + result);
    return true;
}

bool BmNet::OnPage(const std::string& name, const std::string&)
{
    if (PageCallback) {
        if (FindByName(PAGES, name)->stopsLive)
            StopLiveStreams(nullptr);
        std::string page = name;
        PageCallback(page);
    }
    SendCommand(mClientFd, name);
    return true;
}

bool BmNet::OnFileList(const std::string& name, const std::string&)
{
    const FileList* list = FindByName(FILE_LISTS, name);
    std::string text;
    if (FilelistCallback)
        FilelistCallback(list->camera, list->type, text, list->parking);
    else
        printf("          BmNet:FilelistCallback is not ready.\n");
    SendCommand(mClientFd, text.empty() ? name : name + "," + text);
    return true;
}
