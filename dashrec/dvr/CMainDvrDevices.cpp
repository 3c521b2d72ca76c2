// The run mode's small hardware operations: back-light, microphone, CPU
// clock, system time from the clock chip, the Wi-Fi access point with the
// phone-app server, the USB gadget's event thread and the speed-camera
// database in use.

#include "dashrec/dvr/CMainDvr.h"

#include "bmworks/bmworks.h"
#include "dashrec/assist/SpeedCam.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SdCard.h"
#include "dashrec/core/SDDebug.h"
#include "dashrec/core/Shell.h"
#include "dashrec/core/Storage.h"
#include "dashrec/core/SystemClock.h"
#include "dashrec/devices/Rtc.h"
#include "dashrec/dvr/EngineCallbacks.h"
#include "dashrec/dvr/MobileApp.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <linux/netlink.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk {

namespace {

const char BACKLIGHT[] = "/sys/class/backlight/lcd0/bl_power";
const char USB_STATE_FILE[] = "/tmp/usb_state";
const int RTC_READ_TRIES = 5;
const int USB_RECEIVE_TIMEOUT_MS = 200;

SDDebug* Log()
{
    return Singleton<SDDebug>::Inst();
}

void RunBacklight(const char* value)
{
    char cmd[64];
    VK_FORMAT_COMMAND(cmd, "echo %s > %s", value, BACKLIGHT);
    std::system(cmd);
}

// The gadget's UDC binding as written to the state file; true when it is unbound.
bool UdcUnbound()
{
    std::system("cat /sys/kernel/config/usb_gadget/g1/UDC > /tmp/usb_state");
    struct stat sb {};
    if (stat(USB_STATE_FILE, &sb) != 0)
        return false;
    std::printf("sb.st_size : %lld\n", static_cast<long long>(sb.st_size));
    return sb.st_size < 2;
}

} // namespace

void CMainDvr::TurnOnLcd()
{
    if (_lcdOn)
        Log()->Print("[CMainDvr]Already LCD on\n");
    Log()->Print("[CMainDvr]Turn on LCD\n");
    RunBacklight("0");
    _lcdOn = true;
}

void CMainDvr::TurnOffLcd()
{
    if (!_lcdOn) {
        Log()->Print("[CMainDvr]Already LCD off\n");
        return;
    }
    Log()->Print("[CMainDvr]Turn off LCD\n");
    RunBacklight("4");
    _lcdOn = false;
}

void CMainDvr::SetMicOn()
{
    std::system("amixer sset 'ADC volume' 160");
}

void CMainDvr::SetMicOff()
{
    std::system("amixer sset 'ADC volume' 0");
}

void CMainDvr::SetCpuClock(int level)
{
    static const unsigned FACTOR_N[] = { 24, 33, 37, 41 };
    unsigned n = level >= 0 && level < 4 ? FACTOR_N[level] : 45;
    char cmd[64];
    VK_FORMAT_COMMAND(cmd, "echo 0x03001000 0x%08x > /sys/class/soc_dump/write", 0x8a000000u | (n << 8));
    std::system(cmd);
}

void CMainDvr::PauseVideoOut()
{
    BmVideo::SetVisible(false);
    BmWorks::Inst()->PauseVideoOut(Front);
    Log()->Print("[CMainDvr]PauseVideoOut(CameraPosition::Front)\n");
    BmWorks::Inst()->PauseVideoOut(Rear);
    Log()->Print("[CMainDvr]PauseVideoOut(CameraPosition::Rear)\n");
}

void CMainDvr::ResumeVideoOut()
{
    int view = Singleton<Pref>::Inst()->GetView();
    BmWorks::Inst()->SetVideoOutConfig(VideoOutConfig(view));
    Log()->Print("[CMainDvr]RunVideoOut(View=%d)\n", view);
    usleep(500 * 1000);
    BmVideo::SetVisible(true);
}

void CMainDvr::RunFsadas()
{
    std::printf("CMainDvr::RunFsadas()\n");
    gFsadasStarts = true;
}

void CMainDvr::PauseFsadas()
{
    std::printf("CMainDvr::PauseFsadas()\n");
    gFsadasStarts = false;
}

void CMainDvr::SetSystemTimeFromRtc()
{
    Rtc* rtc = Singleton<Rtc>::Inst();
    Rtc::RtcTime t {};
    int tries = 0;
    while (tries < RTC_READ_TRIES && !rtc->GetTime(t)) {
        Log()->Print("[CMainDvr]RTC.GetTime() Read Error\n");
        ++tries;
    }
    if (tries == RTC_READ_TRIES) {
        Log()->Print("[CMainDvr]RTC read failure\n");
        return;
    }
    bool reset = Rtc::IsNonsense(t);
    if (reset) {
        Log()->Print("[CMainDvr]RTC works but not correct time\n");
        t = Rtc::ResetTime(t.dayofweek);
        rtc->SetTime(t);
    } else {
        Log()->Print("[CMainDvr]RTC GetTime() successful\n");
    }
    int gmtOffset = reset ? 0 : Singleton<Pref>::Inst()->GetTimezone() * 3600;
    Log()->Print("[CMainDvr]gmtOffset:%d\n", gmtOffset);
    SetClockForwardFromRtc("CMainDvr", gmtOffset, Rtc::ToLocalSeconds(t) + gmtOffset);
}

void CMainDvr::RunApMode()
{
    std::string hostapd = "/usr/sbin/hostapd " + PATH_HOSTAPD_CONF + " >/dev/null 2>&1 &";
    std::system(hostapd.c_str());
    usleep(100 * 1000);
    std::system("ifconfig wlan0 192.168.20.1 netmask 255.255.255.0 &");
    usleep(100 * 1000);
    std::system("dnsmasq -iwlan0 --no-resolv --no-poll --local-service  --dhcp-range=192.168.20.100,192.168.20.190,48h &");
}

void CMainDvr::OnWiFi(ipc_msg_t& msg)
{
    _status.wifi_on = msg.param1 == 1;
    Pref* pref = Singleton<Pref>::Inst();
    if (_status.wifi_on) {
        pref->SetWiFiOn();
        Log()->Print("rfkill unblock 0\n");
        std::system("rfkill unblock 0");
        Singleton<MobileApp>::Inst()->Start();
        // hostapd and dnsmasq stay up once started; later switches only block the radio.
        if (!_runApMode) {
            _runApMode = true;
            RunApMode();
        }
    } else {
        pref->SetWiFiOff();
        Singleton<MobileApp>::Inst()->Stop();
        Log()->Print("rfkill block 0\n");
        std::system("rfkill block 0");
    }
}

void CMainDvr::BindUsbGadget(const char* command)
{
    if (UdcUnbound())
        std::system(command);
}

void CMainDvr::OnUsbEvent(const char* message, int length)
{
    std::string text(message, length);
    if (text.find("android_usb") != std::string::npos) {
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\0', start);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(start, end - start);
            for (char& c : line)
                if (c < 33 || c > 126)
                    c = '.';
            if (line.find("USB_STATE=CONNECTED") != std::string::npos) {
                _usb_status = USB_CONFIGURED;
            } else if (line.find("USB_STATE=CONFIGURED") != std::string::npos) {
                _usb_status = USB_CONFIGURED;
                UIQueue::Inst()->SendMessage(WND::ANY, WM::CONNECT_USB, 0, 0);
            } else if (line.find("USB_STATE=DISCONNECTED") != std::string::npos) {
                _usb_status = USB_DISCONNECTED;
                UIQueue::Inst()->SendMessage(WND::ANY, WM::DISCONNECT_USB, 0, 0);
            }
            start = end + 1;
        }
        Log()->Print("[CMainDvr] _usb_status = %d\n", _usb_status.load());
    } else if (text.find("udc-controller") != std::string::npos) {
        _usb_status = USB_DISCONNECTED;
        Log()->Print("[CMainDvr] cdc> _usb_status = %d\n", _usb_status.load());
        BindUsbGadget("echo `ls /sys/class/udc` > /sys/kernel/config/usb_gadget/g1/UDC");
    }
}

void CMainDvr::UsbEventThread()
{
    int fd = socket(PF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0)
        std::printf("Unable to create uevent socket : %s\n", std::strerror(errno));
    sockaddr_nl address {};
    address.nl_family = AF_NETLINK;
    address.nl_pid = getpid();
    address.nl_groups = 1;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
        std::printf("Error bind");
    BindUsbGadget("echo \"`ls /sys/class/udc`\" > /sys/kernel/config/usb_gadget/g1/UDC");
    if (fd < 0)
        return;
    // A time-out lets the thread see the run mode end; any other error ends it
    // rather than spin on a broken socket.
    timeval timeout { 0, USB_RECEIVE_TIMEOUT_MS * 1000 };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    char buffer[4096];
    while (_running) {
        ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
        if (n > 0) {
            OnUsbEvent(buffer, static_cast<int>(n));
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            std::printf("[CMainDvr]uevent socket: %s\n", std::strerror(errno));
            break;
        }
    }
    close(fd);
}

namespace {
const char* const SPEEDCAM_DB_EMMC = "/data/app/sc_cam.idb";
// The card's latest copy first, else the one that ships with the program.
const char* const SPEEDCAM_DBS[] = {SPEEDCAM_DB_EMMC, "/app/kvo/sc_cam.idb"};
}

void CMainDvr::CheckSDCardForDB()
{
    if (!Singleton<Storage>::Inst()->IsSdCardInserted())
        return;
    SdCard* card = Singleton<SdCard>::Inst();
    card->Mount();
    SpeedCam* speedCam = Singleton<SpeedCam>::Inst();
    if (speedCam->CheckDataInSDCard())
        speedCam->MoveDataToEmmc(SPEEDCAM_DB_EMMC);
    card->Unmount();
}

void CMainDvr::LoadSpeedCamDB()
{
    for (const char* path : SPEEDCAM_DBS) {
        if (Singleton<SpeedCam>::Inst()->LoadData(path))
            return;
    }
}

} // namespace vk
