// The phone-link server against a phone on loopback: replies, framing, file
// names, downloads, client replacement, live streams, idle stop, stop and start.
// Each case has a network namespace (and a sandbox) of its own.

#include "PhoneClient.h"

#include "bmworks/BmNet.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// What the server told its owner, in order.
std::mutex gEventsMutex;
std::vector<std::string> gEvents;

void Note(const std::string& event)
{
    std::lock_guard<std::mutex> lock(gEventsMutex);
    gEvents.push_back(event);
}

std::vector<std::string> Events()
{
    std::lock_guard<std::mutex> lock(gEventsMutex);
    return gEvents;
}

int Count(const std::string& event)
{
    auto events = Events();
    return static_cast<int>(std::count(events.begin(), events.end(), event));
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s)
{
    auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

void NoteLiveStart(CameraPosition camera) { Note("live start " + std::to_string(camera)); }
void NoteLiveStop(CameraPosition camera) { Note("live stop " + std::to_string(camera)); }

class PhoneLink : public ::testing::Test {
protected:
    void SetUp() override
    {
        gEvents.clear();
        _net = std::make_unique<BmNet>();
        _net->SetTiming({0, BmNet::IDLE_LIMIT_SEC});
        _net->SetLiveControl({NoteLiveStart, NoteLiveStop});
        _net->SetCloseCallback([] { Note("close"); });
        _net->SetDisconnectCallback([](bool timedOut) { Note(timedOut ? "disconnect timed out" : "disconnect"); });
    }

    void Start() { ASSERT_EQ(_net->Start(8584), 1); }

    // Sends one command and returns the reply.
    std::string Ask(PhoneClient& phone, const std::string& command)
    {
        EXPECT_TRUE(phone.Send(command));
        return phone.Reply();
    }

    static void InstallOwner(BmNet& net)
    {
        net.SetGetVersionCallback([](std::string& text) { text = "v1.1.4-7"; });
        net.SetGetConfigCallback([](std::string& text) { text = "a=1,b=2"; });
        net.SetGetWifiCallback([](std::string& text) { text = "ssid=car"; });
        net.SetSDFormatCallback([](std::string& result) { result = "1024"; });
        net.SetSDFreeSpaceCallback([](std::string& result) { result = "512"; });
        net.SetSDCopyCallback([](std::string& name, std::string& result) {
            Note("copy " + name);
            result = "0";
        });
        net.SetDeleteFileCallback([](std::string& names) {
            Note("delete " + names);
            return true;
        });
        net.SetPageCallback([](std::string& page) { Note(page); });
        net.SetSetTimeCallback([](int y, int mo, int d, int h, int mi, int s) {
            char text[64];
            snprintf(text, sizeof(text), "time %d-%d-%d %d:%d:%d", y, mo, d, h, mi, s);
            Note(text);
        });
        net.SetFilelistCallback([](CameraPosition camera, RecordType type, std::string& list, bool parking) {
            list = std::to_string(camera) + "/" + std::to_string(type) + "/" + (parking ? "p" : "-");
        });
    }

    std::unique_ptr<BmNet> _net;
};

struct Exchange {
    const char* sent;
    const char* reply;
};

void ExpectReplies(PhoneClient& phone, const std::vector<Exchange>& table)
{
    for (const auto& row : table) {
        ASSERT_TRUE(phone.Send(row.sent)) << row.sent;
        EXPECT_EQ(phone.Reply(), row.reply) << row.sent;
    }
}

TEST_F(PhoneLink, RepliesWithoutOwnerCallbacksAreTheDefaults)
{
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    ExpectReplies(phone, {
        {"xx{get_version}", "{get_version}"},
        {"{a{b}", "{unknown_command,a{b}"},
        {"{page_live}", "{page_live}"},
        {"{sd_copy,NORM1.MP4}", "{sd_copy,NORM1.MP4,-1}"},
        {"{get_config}", "{get_config}"},
        {"{get_wifi}", "{get_wifi}"},
        {"{sd_format}", "{sd_format,-1}"},
        {"{sd_free_space}", "{sd_free_space,-1}"},
        {"{normal_flist}", "{normal_flist}"},
        {"{set_config,x=1}", "{set_config}"},
        {"{set_wifi,x=1}", "{set_wifi}"},
        {"{set_time,2024,1,31,12,0,0}", "{set_time}"},
        {"{rtsp_front}", "{rtsp_front,8586,/live_front}"},
        {"{rtsp_rear}", "{rtsp_rear,8587,/live_rear}"},
        {"{}", "{unknown_command,}"},
        {"{get_version,extra,commas}", "{get_version}"},
    });
}

TEST_F(PhoneLink, RepliesCarryWhatTheOwnerGives)
{
    InstallOwner(*_net);
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    ExpectReplies(phone, {
        {"{get_version}", "{get_version,v1.1.4-7}"},
        {"{get_config}", "{get_config,a=1,b=2}"},
        {"{get_wifi}", "{get_wifi,ssid=car}"},
        {"{sd_format}", "{sd_format,1024}"},
        {"{sd_free_space}", "{sd_free_space,512}"},
        {"{sd_copy,NORM240131-120000F.MP4}", "{sd_copy,NORM240131-120000F.MP4,0}"},
        {"{delete_file,EVEN240131-120000F.MP4,EVEN240131-120000R.MP4}",
         "{delete_file,EVEN240131-120000F.MP4,EVEN240131-120000R.MP4}"},
        {"{page_sd}", "{page_sd}"},
        {"{normal_flist}", "{normal_flist,0/0/-}"},
        {"{normal_rlist}", "{normal_rlist,1/0/-}"},
        {"{event_flist}", "{event_flist,0/1/-}"},
        {"{event_rlist}", "{event_rlist,1/1/-}"},
        {"{manual_flist}", "{manual_flist,0/2/-}"},
        {"{manual_rlist}", "{manual_rlist,1/2/-}"},
        {"{parking_flist}", "{parking_flist,0/3/p}"},
        {"{parking_rlist}", "{parking_rlist,1/3/p}"},
        {"{pnormal_flist}", "{pnormal_flist,0/0/p}"},
        {"{pnormal_rlist}", "{pnormal_rlist,1/0/p}"},
        {"{pevent_flist}", "{pevent_flist,0/1/p}"},
        {"{pevent_rlist}", "{pevent_rlist,1/1/p}"},
    });
    EXPECT_EQ(Count("delete EVEN240131-120000F.MP4,EVEN240131-120000R.MP4"), 1) << "deleted before the answer";
    EXPECT_EQ(Count("copy NORM240131-120000F.MP4"), 1);
    EXPECT_EQ(Count("page_sd"), 1);
}

TEST_F(PhoneLink, SetTimeHandsOverOnlyWhatTheClockCanHold)
{
    InstallOwner(*_net);
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    const struct {
        const char* command;
        const char* noted; // nullptr: refused
    } table[] = {
        {"{set_time,2024,1,31,12,34,56}", "time 2024-1-31 12:34:56"},
        {"{set_time,2024,2,29,23,59,59}", "time 2024-2-29 23:59:59"},
        {"{set_time,2030,6,1,,,}", "time 2030-6-1 0:0:0"},
        {"{set_time,2030,6,1}", "time 2030-6-1 0:0:0"},
        {"{set_time,2023,2,29,0,0,0}", nullptr},
        {"{set_time,2024,4,31,0,0,0}", nullptr},
        {"{set_time,2024,13,1,0,0,0}", nullptr},
        {"{set_time,2024,0,1,0,0,0}", nullptr},
        {"{set_time,2024,1,1,24,0,0}", nullptr},
        {"{set_time,2024,1,1,0,60,0}", nullptr},
        {"{set_time,2024,1,1,0,0,60}", nullptr},
        {"{set_time,1999,12,31,0,0,0}", nullptr},
        {"{set_time,2100,1,1,0,0,0}", nullptr},
        {"{set_time,-1,1,1,0,0,0}", nullptr},
        {"{set_time}", nullptr},
        {"{set_time,abc,1,1,0,0,0}", nullptr},
    };
    for (const auto& row : table) {
        size_t before = Events().size();
        EXPECT_EQ(Ask(phone, row.command), row.noted ? "{set_time}" : "{set_time,-1}") << row.command;
        // The owner hears of it after the reply; the next reply comes after that.
        EXPECT_EQ(Ask(phone, "{get_version}"), "{get_version,v1.1.4-7}");
        auto events = Events();
        if (row.noted) {
            ASSERT_EQ(events.size(), before + 1) << row.command;
            EXPECT_EQ(events.back(), row.noted);
        } else {
            EXPECT_EQ(events.size(), before) << row.command;
        }
    }
}

TEST_F(PhoneLink, FramingEdgeCases)
{
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());

    // One command over several segments, and two commands in one segment.
    ASSERT_TRUE(phone.Send("noise{get_"));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(phone.Send("vers"));
    std::this_thread::sleep_for(50ms);
    ASSERT_TRUE(phone.Send("ion}"));
    EXPECT_EQ(phone.Reply(), "{get_version}");
    ASSERT_TRUE(phone.Send("{page_live}{page_sd}"));
    EXPECT_EQ(phone.Reply(), "{page_live}");
    EXPECT_EQ(phone.Reply(), "{page_sd}");

    // The longest text the buffer holds is accepted.
    std::string longest(BmNet::NETBUFFRECV_SIZE - 1, 'x');
    EXPECT_EQ(Ask(phone, "{" + longest + "}"), "{unknown_command," + longest + "}");

    // One byte more drops the phone.
    std::string tooLong(BmNet::NETBUFFRECV_SIZE, 'x');
    phone.Send("{" + tooLong + "}");
    EXPECT_TRUE(phone.ClosedByDevice());
    EXPECT_TRUE(WaitFor([] { return Count("close") == 1; }));

    // The server goes on with the next phone.
    PhoneClient next;
    ASSERT_TRUE(next.Connect());
    EXPECT_EQ(Ask(next, "{page_live}"), "{page_live}");
}

TEST_F(PhoneLink, CloseCommandDropsThePhoneAndTheServerGoesOn)
{
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    EXPECT_EQ(Ask(phone, "{close}"), "{close}");
    EXPECT_TRUE(phone.ClosedByDevice());
    EXPECT_TRUE(WaitFor([] { return Count("close") == 1; }));
    PhoneClient next;
    ASSERT_TRUE(next.Connect());
    EXPECT_EQ(Ask(next, "{get_version}"), "{get_version}");
    EXPECT_TRUE(_net->IsRunning());
}

TEST_F(PhoneLink, NewPhoneReplacesTheOldOneAndItsLiveStreams)
{
    Start();
    PhoneClient first;
    ASSERT_TRUE(first.Connect());
    EXPECT_EQ(Ask(first, "{rtsp_front}"), "{rtsp_front,8586,/live_front}");
    EXPECT_EQ(Ask(first, "{rtsp_front}"), "{rtsp_front,8586,/live_front}");
    EXPECT_EQ(Count("live start 0"), 1);

    PhoneClient second;
    ASSERT_TRUE(second.Connect());
    EXPECT_TRUE(first.ClosedByDevice());
    EXPECT_TRUE(WaitFor([] { return Count("live stop 0") == 1; }));
    EXPECT_EQ(Count("close"), 1);

    // The new phone starts a stream of its own, which ends when it leaves.
    EXPECT_EQ(Ask(second, "{rtsp_rear}"), "{rtsp_rear,8587,/live_rear}");
    EXPECT_EQ(Count("live start 1"), 1);
    second.Close();
    EXPECT_TRUE(WaitFor([] { return Count("live stop 1") == 1; }));
    EXPECT_EQ(Count("live stop 0"), 1);
    EXPECT_EQ(Count("close"), 2);
}

TEST_F(PhoneLink, PagesThatLeaveTheLiveViewStopItsStreams)
{
    InstallOwner(*_net);
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    const struct {
        const char* page;
        bool stops;
    } table[] = {
        {"page_live", false}, {"page_sd", false}, {"page_config", false},
        {"page_main", true}, {"page_wifi", true}, {"page_copy", true},
    };
    for (const auto& row : table) {
        Ask(phone, "{rtsp_front}");
        Ask(phone, "{rtsp_rear}");
        int stopsBefore = Count("live stop 0") + Count("live stop 1");
        EXPECT_EQ(Ask(phone, std::string("{") + row.page + "}"), std::string("{") + row.page + "}");
        EXPECT_EQ(Count(row.page), 1);
        EXPECT_EQ(Count("live stop 0") + Count("live stop 1") - stopsBefore, row.stops ? 2 : 0) << row.page;
    }
}

// The answer comes after the owner acted and says how it went.
TEST_F(PhoneLink, RepliesFollowTheOwnersOutcome)
{
    _net->SetDeleteFileCallback([](std::string& names) {
        Note("delete " + names);
        return names.find("R.MP4") == std::string::npos;
    });
    _net->SetSetConfigCallback([](std::string& text, bool&) {
        Note("config " + text);
        return text == "good";
    });
    _net->SetSetWifiCallback([](std::string&, bool&) { return false; });
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    ExpectReplies(phone, {
        {"{delete_file,EVEN240131-120000F.MP4}", "{delete_file,EVEN240131-120000F.MP4}"},
        {"{delete_file,EVEN240131-120000F.MP4,EVEN240131-120000R.MP4}", "{delete_file,-1}"},
        {"{set_config,good}", "{set_config}"},
        {"{set_config,bad}", "{set_config,-1}"},
        {"{set_wifi,x}", "{set_wifi,-1}"},
    });
    EXPECT_EQ(Count("delete EVEN240131-120000F.MP4,EVEN240131-120000R.MP4"), 1);
    EXPECT_EQ(Count("config bad"), 1);
}

TEST_F(PhoneLink, SettingsThatAskToCloseStopTheServer)
{
    _net->SetSetWifiCallback([](std::string& text, bool& close) {
        Note("wifi " + text);
        close = true;
        return true;
    });
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    EXPECT_EQ(Ask(phone, "{set_wifi,ssid=new}"), "{set_wifi}");
    EXPECT_EQ(phone.Reply(), "{close}");
    EXPECT_TRUE(phone.ClosedByDevice());
    EXPECT_TRUE(WaitFor([] { return Count("disconnect") == 1; }));
    EXPECT_EQ(Count("wifi ssid=new"), 1);
    EXPECT_FALSE(_net->IsRunning());
}

TEST_F(PhoneLink, SilentPhoneIsToldToCloseAndTheServerStops)
{
    _net->SetTiming({0, 1});
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    EXPECT_EQ(Ask(phone, "{get_version}"), "{get_version}");
    EXPECT_EQ(phone.Reply(5000), "{close}");
    EXPECT_TRUE(phone.ClosedByDevice());
    EXPECT_TRUE(WaitFor([] { return Count("disconnect timed out") == 1; }));
    EXPECT_FALSE(_net->IsRunning());
}

TEST_F(PhoneLink, ServerWithoutPhoneStopsAfterTheIdleLimit)
{
    _net->SetTiming({0, 1});
    Start();
    EXPECT_TRUE(WaitFor([] { return Count("disconnect timed out") == 1; }));
    EXPECT_FALSE(_net->IsRunning());
    PhoneClient phone;
    EXPECT_FALSE(phone.Connect(8584, 300));
}

TEST_F(PhoneLink, StopTellsThePhoneAndStartAgainServes)
{
    Start();
    {
        PhoneClient phone;
        ASSERT_TRUE(phone.Connect());
        EXPECT_EQ(Ask(phone, "{get_version}"), "{get_version}");
        _net->Stop();
        EXPECT_EQ(phone.Reply(), "{close}");
        EXPECT_TRUE(phone.ClosedByDevice());
    }
    EXPECT_FALSE(_net->IsRunning());
    EXPECT_EQ(Count("disconnect"), 1);
    PhoneClient refused;
    EXPECT_FALSE(refused.Connect(8584, 300));

    // A second Start while running leaves one pair of threads.
    Start();
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    EXPECT_EQ(Ask(phone, "{get_version}"), "{get_version}");
    _net.reset();
    EXPECT_EQ(Count("disconnect"), 3);
}

// Recording names of the system's own form, and nothing else.
TEST(RecordingName, OnlyTheSystemsOwnFormIsAccepted)
{
    const struct {
        const char* name;
        const char* path;
    } table[] = {
        {"NORM240131-120000F.MP4", "/mnt/extsd/NORMAL/NORM240131-120000F.MP4"},
        {"EVEN240131-120000R.MP4", "/mnt/extsd/EVENT/EVEN240131-120000R.MP4"},
        {"MANU991231-235959F.MP4", "/mnt/extsd/MANUAL/MANU991231-235959F.MP4"},
        {"PARK240131-120000R.MP4", "/mnt/extsd/PARKING/PARK240131-120000R.MP4"},
        {"PNOR240131-120000F.MP4", "/mnt/extsd/PARKING/NORMAL/PNOR240131-120000F.MP4"},
        {"PEVE240131-120000R.MP4", "/mnt/extsd/PARKING/EVENT/PEVE240131-120000R.MP4"},
        {"", ""},
        {"NORM1.MP4", ""},
        {"XYZ1240131-120000F.MP4", ""},
        {"norm240131-120000F.MP4", ""},
        {"NORM240131-120000X.MP4", ""},
        {"NORM240131_120000F.MP4", ""},
        {"NORM24013a-120000F.MP4", ""},
        {"NORM240131-120000F.mp4", ""},
        {"NORM240131-120000F.TMP", ""},
        {"NORM240131-120000F.MP4/", ""},
        {"NORM240131-120000F.MP4x", ""},
        {"NORM/../../etc/passwd", ""},
        {"NORM............/x.MP4", ""},
        {"NORM240131/120000F.MP4", ""},
        {".NORM90925-000001F.TMP", ""},
    };
    for (const auto& row : table) {
        EXPECT_EQ(BmNet::RecordingPath(row.name), row.path) << row.name;
        EXPECT_EQ(BmNet::IsRecordingName(row.name), row.path[0] != '\0') << row.name;
    }
}

class Download : public PhoneLink {
protected:
    static std::string MakeRecording(const std::string& path, size_t size)
    {
        std::string bytes(size, '\0');
        std::mt19937 random(7);
        for (auto& byte : bytes)
            byte = static_cast<char>(random());
        std::string folder = path.substr(0, path.rfind('/'));
        mkdir("/mnt/extsd", 0755);
        mkdir(folder.c_str(), 0755);
        std::ofstream(path, std::ios::binary) << bytes;
        return bytes;
    }
};

TEST_F(Download, FileArrivesWholeAndTheConnectionStays)
{
    std::string bytes = MakeRecording("/mnt/extsd/EVENT/EVEN240131-120000F.MP4", 3 * 1048576 + 123);
    Start();
    PhoneClient phone;
    ASSERT_TRUE(phone.Connect());
    EXPECT_EQ(Ask(phone, "{get_file,EVEN240131-120000F.MP4}"), "{get_file," + std::to_string(bytes.size()) + "}");
    EXPECT_TRUE(phone.Bytes(bytes.size()) == bytes);
    EXPECT_EQ(Ask(phone, "{get_file,NORM240131-120000F.MP4}"), "{get_file,0}");
    EXPECT_EQ(Ask(phone, "{get_version}"), "{get_version}");
}

TEST_F(Download, NamesOutsideTheSystemsFormAreRefusedAndTouchNothing)
{
    InstallOwner(*_net);
    MakeRecording("/mnt/extsd/secret.MP4", 100);
    MakeRecording("/mnt/extsd/NORMAL/NORM240131-120000F.MP4x", 100);
    Start();
    const char* refused[] = {
        "XYZ1.MP4",
        "../secret.MP4",
        "NORM/../../secret.MP4",
        "NORM/../secret.MP4",
        "NORM240131-120000F.MP4x",
        "/mnt/extsd/secret.MP4",
        "NORM240131-120000X.MP4",
    };
    for (const char* name : refused) {
        PhoneClient phone;
        ASSERT_TRUE(phone.Connect());
        EXPECT_EQ(Ask(phone, std::string("{delete_file,") + name + "}"), "{delete_file,-1}") << name;
        EXPECT_EQ(Ask(phone, std::string("{delete_file,NORM240131-120000F.MP4,") + name + "}"), "{delete_file,-1}")
            << name;
        EXPECT_EQ(Ask(phone, std::string("{sd_copy,") + name + "}"), std::string("{sd_copy,") + name + ",-1}") << name;
        EXPECT_EQ(Ask(phone, std::string("{get_file,") + name + "}"), "{get_file,0}") << name;
        EXPECT_TRUE(phone.ClosedByDevice()) << name;
    }
    for (const auto& event : Events()) {
        EXPECT_EQ(event.rfind("delete", 0), std::string::npos) << event;
        EXPECT_EQ(event.rfind("copy", 0), std::string::npos) << event;
    }
}

TEST_F(Download, PhoneLeavingMidTransferLeavesTheServerServing)
{
    std::string bytes = MakeRecording("/mnt/extsd/NORMAL/NORM240131-120000R.MP4", 32 * 1048576);
    Start();
    {
        PhoneClient leaving;
        ASSERT_TRUE(leaving.Connect());
        EXPECT_EQ(Ask(leaving, "{get_file,NORM240131-120000R.MP4}"), "{get_file," + std::to_string(bytes.size()) + "}");
        EXPECT_EQ(leaving.Bytes(1000).size(), 1000u);
    }
    EXPECT_TRUE(WaitFor([] { return Count("close") == 1; }));
    PhoneClient next;
    ASSERT_TRUE(next.Connect());
    EXPECT_EQ(Ask(next, "{get_file,NORM240131-120000R.MP4}"), "{get_file," + std::to_string(bytes.size()) + "}");
    EXPECT_TRUE(next.Bytes(bytes.size()) == bytes);
}

} // namespace
