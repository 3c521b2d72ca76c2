#pragma once
// Records what the GPS receiver hands to the speed-camera feature, with the
// fix as it stood just before each sentence, while an instance lives.

#include "dashrec/assist/SpeedCam.h"
#include "dashrec/devices/GPS.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace sensors_test {

struct Handed {
    std::string sentence;
    vk::gps_lock_data_t fixBefore;
};

class HandedOn {
public:
    HandedOn()
    {
        Clear();
        vk::SpeedCam::SetObserver(Record);
    }
    ~HandedOn() { vk::SpeedCam::SetObserver(nullptr); }

    static void Clear()
    {
        std::lock_guard<std::mutex> lock(Mutex());
        List().clear();
    }

    static std::vector<Handed> All()
    {
        std::lock_guard<std::mutex> lock(Mutex());
        return List();
    }

    static std::vector<std::string> Sentences()
    {
        std::vector<std::string> sentences;
        for (const Handed& h : All())
            sentences.push_back(h.sentence);
        return sentences;
    }

    // Waits until the last sentence handed on is `sentence`.
    static bool WaitForLast(const std::string& sentence, std::chrono::seconds timeout)
    {
        std::unique_lock<std::mutex> lock(Mutex());
        return Changed().wait_for(
            lock, timeout, [&sentence] { return !List().empty() && List().back().sentence == sentence; });
    }

private:
    static void Record(const char* sentence, int length)
    {
        // Called with the GPS lock held, on the receiver's own thread: the lock is recursive.
        vk::gps_lock_data_t fix;
        vk::Singleton<vk::GPS>::Inst()->CopyData(fix);
        std::lock_guard<std::mutex> lock(Mutex());
        List().push_back({ std::string(sentence, length), fix });
        Changed().notify_all();
    }

    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::condition_variable& Changed()
    {
        static std::condition_variable changed;
        return changed;
    }
    static std::vector<Handed>& List()
    {
        static std::vector<Handed> list;
        return list;
    }
};

} // namespace sensors_test
