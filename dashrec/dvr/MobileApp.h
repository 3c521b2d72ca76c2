#pragma once
// The phone app's commands: the phone-link server frames them, this answers
// them from the rest of the system. The callbacks run on the server's client
// thread; they change the screen only by posting to the message bus.

#include "bmworks/BmNet.h"
#include "dashrec/core/Singleton.h"

#include <atomic>
#include <string>

namespace vk {

class MobileApp : public Singleton<MobileApp> {
public:
    // The page the phone shows.
    enum class Page { Main = 0, Live = 1, Sd = 2, Config = 3, Wifi = 4, Copy = 5 };

    static constexpr int PORT = 8584;

    void Init();
    bool Start();
    void Stop();
    Page GetPage() const { return mPage; }
    // The bench and the tests shorten the server's waits.
    void SetServerTiming(const BmNet::Timing& timing) { bmNet.SetTiming(timing); }

private:
    friend class Singleton<MobileApp>;
    MobileApp() = default;

    static void FilelistCallback(CameraPosition camera, RecordType type, std::string& list, bool parking);
    static bool DeleteFileCallback(std::string& names);
    static void GetConfigCallback(std::string& text);
    static void GetWifiCallback(std::string& text);
    static bool SetConfigCallback(std::string& text, bool& close);
    static bool SetWifiCallback(std::string& text, bool& close);
    static void PageCallback(std::string& page);
    static void GetVersionCallback(std::string& text);
    static void OnSetTime(int year, int month, int day, int hour, int minute, int second);
    static void SDFormatCallback(std::string& result);
    static void SDFreeSpaceCallback(std::string& result);
    static void SDCopyCallback(std::string& name, std::string& result);
    static void OnClose();
    static void OnDisconnect(bool timedOut);

    std::atomic<Page> mPage { Page::Main };
    BmNet bmNet;
};

} // namespace vk
