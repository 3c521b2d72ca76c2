#pragma once
// The phone-link server: one phone at a time over TCP, commands framed in
// braces, recordings streamed, everything else handed to the owner's callbacks.
// It stops by itself when no command or connection has come for ten minutes.

#include "bmworks/BmTypes.h"

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

class BmNet {
public:
    static constexpr int NETBUFFRECV_SIZE = 1048576;
    static constexpr int START_DELAY_MS = 10000;
    static constexpr uint64_t IDLE_LIMIT_SEC = 600;

    using FilelistFn = void (*)(CameraPosition, RecordType, std::string& list, bool parking);
    using TextFn = void (*)(std::string& text);
    // True when every named recording was deleted.
    using DeleteFn = bool (*)(std::string& names);
    // True when the settings were taken; `close` asks the server to end the connection.
    using SettingsFn = bool (*)(std::string& text, bool& close);
    // How a command's parameter appears in the log: the owner hides its secrets.
    using LogMaskFn = std::string (*)(const std::string& param);
    using SetTimeFn = void (*)(int year, int month, int day, int hour, int minute, int second);
    using CopyFn = void (*)(std::string& name, std::string& result);
    using CloseFn = void (*)();
    using DisconnectFn = void (*)(bool timedOut);

    // The waits of the device (the access point needs time to come up, the
    // phone ten minutes to be idle); tests and the bench shorten them.
    struct Timing {
        int startDelayMs = START_DELAY_MS;
        uint64_t idleLimitSec = IDLE_LIMIT_SEC;
    };
    // How a camera's live stream is started and stopped: the engine's by default.
    struct LiveControl {
        void (*start)(CameraPosition);
        void (*stop)(CameraPosition);
    };

    BmNet();
    ~BmNet();
    BmNet(const BmNet&) = delete;
    BmNet& operator=(const BmNet&) = delete;

    void SetFilelistCallback(FilelistFn fn) { FilelistCallback = fn; }
    void SetDeleteFileCallback(DeleteFn fn) { DeleteFileCallback = fn; }
    void SetGetConfigCallback(TextFn fn) { GetConfigCallback = fn; }
    void SetSetConfigCallback(SettingsFn fn) { SetConfigCallback = fn; }
    void SetGetWifiCallback(TextFn fn) { GetWifiCallback = fn; }
    void SetSetWifiCallback(SettingsFn fn) { SetWifiCallback = fn; }
    void SetPageCallback(TextFn fn) { PageCallback = fn; }
    void SetCloseCallback(CloseFn fn) { CloseCallback = fn; }
    void SetSetTimeCallback(SetTimeFn fn) { SetTimeCallback = fn; }
    void SetDisconnectCallback(DisconnectFn fn) { DisconnectCallback = fn; }
    void SetGetVersionCallback(TextFn fn) { GetVersionCallback = fn; }
    void SetSDFormatCallback(TextFn fn) { SDFormatCallback = fn; }
    void SetSDFreeSpaceCallback(TextFn fn) { SDFreeSpaceCallback = fn; }
    void SetSDCopyCallback(CopyFn fn) { SDCopyCallback = fn; }
    void SetTiming(const Timing& timing) { mTiming = timing; }
    void SetLiveControl(const LiveControl& live) { mLive = live; }
    void SetLogMask(LogMaskFn fn) { mLogMask = fn; }

    // Returns 1 when the server threads started, 0 otherwise. A server still
    // running is stopped first, so only one pair of threads ever runs.
    int Start(int port);
    // Tells the phone {close} between two replies, stops both threads and waits for them (unless
    // called from one of them, e.g. by a callback; the next Start waits then).
    void Stop();
    bool IsRunning() const { return mIsRunning; }

    // A recording name of the system's own form ("NORM240131-120000F.MP4"),
    // and its full path on the card ("" when the name is not one).
    static bool IsRecordingName(const std::string& name);
    static std::string RecordingPath(const std::string& name);

private:
    using Handler = bool (BmNet::*)(const std::string& name, const std::string& param);
    struct Command {
        const char* name;
        Handler handler;
    };
    static const Command COMMANDS[];

    void ListenTask();
    void ClientTask();
    int OpenListenSocket();
    void AcceptClient(int listenFd);
    bool ProcessCommunication(int fd);
    bool RecvCommand(int fd);
    bool IsTimeout() const;
    void NewClient(int fd);
    void KickClient();
    void DeleteClient(int fd);
    void StopLiveStreams(const char* logFormat);
    void JoinThreads();

    bool OnGetFile(const std::string& name, const std::string& param);
    bool OnDeleteFile(const std::string& name, const std::string& param);
    bool OnGetConfig(const std::string& name, const std::string& param);
    bool OnSetConfig(const std::string& name, const std::string& param);
    bool OnGetWifi(const std::string& name, const std::string& param);
    bool OnSetWifi(const std::string& name, const std::string& param);
    bool OnRtspFront(const std::string& name, const std::string& param);
    bool OnRtspRear(const std::string& name, const std::string& param);
    bool OnClose(const std::string& name, const std::string& param);
    bool OnSetTime(const std::string& name, const std::string& param);
    bool OnGetVersion(const std::string& name, const std::string& param);
    bool OnSDFormat(const std::string& name, const std::string& param);
    bool OnSDFreeSpace(const std::string& name, const std::string& param);
    bool OnSDCopy(const std::string& name, const std::string& param);
    bool OnPage(const std::string& name, const std::string& param);
    bool OnFileList(const std::string& name, const std::string& param);

    bool ReplyText(const std::string& name, TextFn fill);
    bool ReplyResult(const std::string& name, TextFn fill);
    bool ApplySettings(const std::string& name, const std::string& param, SettingsFn apply);
    bool StartLive(const std::string& name, CameraPosition camera);
    std::atomic<bool>& LiveFlag(CameraPosition camera);

    void SendCommand(int fd, const std::string& text);
    bool SendFile(int fd, const std::string& path, uint64_t size);
    static uint64_t GetFileSize(const std::string& path);

    CloseFn CloseCallback = nullptr;
    DisconnectFn DisconnectCallback = nullptr;
    std::atomic<bool> mIsRunning{false};
    std::atomic<bool> mRtspFrontRunning{false};
    std::atomic<bool> mRtspRearRunning{false};
    int32_t mPort = 8585;
    std::atomic<int32_t> mClientFd{-1};
    char* mNetBuffSend;
    char* mNetBuffRecv;
    std::atomic<uint64_t> mLastCmdTimeSec{0};
    pthread_t mListenTaskId{};
    pthread_t mClientTaskId{};
    bool mListenStarted = false;
    bool mClientStarted = false;

    FilelistFn FilelistCallback = nullptr;
    DeleteFn DeleteFileCallback = nullptr;
    TextFn GetConfigCallback = nullptr;
    SettingsFn SetConfigCallback = nullptr;
    TextFn GetWifiCallback = nullptr;
    SettingsFn SetWifiCallback = nullptr;
    TextFn PageCallback = nullptr;
    SetTimeFn SetTimeCallback = nullptr;
    TextFn GetVersionCallback = nullptr;
    TextFn SDFormatCallback = nullptr;
    TextFn SDFreeSpaceCallback = nullptr;
    CopyFn SDCopyCallback = nullptr;

    Timing mTiming;
    LiveControl mLive;
    LogMaskFn mLogMask = nullptr;

    // Bytes read from the client beyond the current command, kept for the next.
    char mReadAhead[4096];
    size_t mReadAheadPos = 0;
    size_t mReadAheadLen = 0;

    // Stop asks the client thread to tell the phone {close}.
    std::atomic<bool> mCloseRequested{false};
    // Guards closing the client socket against the listen thread, which only
    // wakes the client thread (shutdown) without holding the command lock.
    std::mutex mFdMutex;
    // Wakes the idle client thread when a phone connects or the server stops.
    std::condition_variable mClientArrived;
};
