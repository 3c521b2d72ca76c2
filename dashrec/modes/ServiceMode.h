#pragma once
// What the production and bench run modes share: one window id for all their
// messages and timers, the message loop, power-off and exit to the launcher,
// the card mount, the live view of both cameras without recording, the
// parameter file on the card, the status LEDs, the firmware version with its
// language picture, and the RTC check. A mode derives from Singleton<X> first
// and ServiceMode second, and overrides the handlers it needs.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/Singleton.h"
#include "dashrec/core/ipc.h"
#include "dashrec/devices/Gpio.h"
#include "dashrec/ui/UIObject.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vk {

class ServiceMode : public CMainHandler {
public:
    static constexpr const char* CARD_ROOT = "/mnt/extsd/";
    static constexpr const char* VERSION_FILE = "/tmp/fversion";
    static constexpr int GPIO_LED_SECURITY = 195;
    static constexpr int GPIO_LED_BLUE = 196;
    static constexpr int GPIO_LED_RED = 197;
    static constexpr int LOOP_RECEIVE_MS = 100;
    static constexpr int POWER_OFF_COMMANDS = 3;
    static constexpr int POWER_OFF_PAUSE_MS = 120;

    // How the media engine shows the cameras: one row per mode.
    struct LiveView {
        bool factoryMode; // the composite output of the production line's monitor
        bool eventTime; // event clips of 20 s with 5 s before
        bool quiet; // no audio capture
        bool unmirroredRear;
        bool bothOutputs; // both cameras to the display, else the front alone
        bool rearPowered; // the rear camera's power switched on first
        bool userFps; // the front camera at the user's recording rate, else 30 fps
    };
    static const LiveView FACTORY_VIEW;
    static const LiveView FINISH_VIEW;
    static const LiveView VOLTAGE_VIEW;
    static const LiveView WIFI_VIEW;

    WND::ID GetWindowId() const { return _window; }
    bool IsRunning() const { return _running; }
    const char* GetVersionText() const { return _ver; }
    const char* GetSoftwareVersion() const { return _sw; }

    // "/mnt/extsd/" followed by the marker name: the mode's parameter file.
    static std::string ParameterFile(const std::string& marker);
    // The picture of the language letter that ends the version file.
    static const char* LanguagePicture(char letter);

protected:
    // `tag` names the mode in its log lines ("CMainFactory").
    ServiceMode(WND::ID window, const char* tag);
    virtual ~ServiceMode() = default;

    // Receives with a 100 ms wait and dispatches while the mode runs.
    void RunLoop();
    // The factory and final-inspection table; whatever the target window.
    virtual void Dispatch(ipc_msg_t& msg);
    virtual void OnInit(ipc_msg_t&) {}
    virtual void OnTimer(ipc_msg_t&) {}
    virtual void OnButton(ipc_msg_t&) {}
    virtual void OnGps(ipc_msg_t&) {}
    virtual void OnShutDown(ipc_msg_t& msg);
    void OnDraw(ipc_msg_t&);
    // "/tmp/exit" for the launcher, then Start returns.
    void OnExit();
    // Saves the boot mode, asks the MCU three times for power-off with the
    // given reason, leaves "/tmp/shutdown" and ends the program.
    [[noreturn]] void PowerOff(int reason, bool withSound);

    // The send's result: at most 0 when the bus refused the message.
    int SendMessage(int cmd, int param1 = 0, int param2 = 0);
    // Asks the page to fill itself. The bus holds only a few messages, and
    // the device threads may have filled it before the loop runs: an INIT
    // it refuses is handled when the loop starts.
    void PostInit();
    void SetTimer(TIMER::ID id, int ms);
    // The component of the mode's page, or null: each caller asserts.
    obj_common* GetComponent(int id);
    obj_text* GetText(int id);
    obj_button* GetButton(int id);
    obj_image* GetImage(int id);

    // Mounts the card partition at "/mnt/extsd/".
    void MountCard();
    // Shows the mode's page, asks it to fill itself, starts the MCU's reports
    // and the satellite reports, keeps the GPS from the phone app, and turns
    // the MCU's watchdog off after 2 s.
    void EnterPage();
    void DisableWatchdogAfterStart();
    // Rear camera powered, both cameras started, shown as `view` says.
    void InitBmworks(const LiveView& view);
    // The three LEDs (the security LED only when asked), all off.
    void MakeLeds(bool withSecurity);

    // Reads "/tmp/fversion" into _sw and _ver ("ERROR" when it holds no
    // version); returns the language letter (0 when the file is missing or
    // empty) and sets `picture` to the component.
    char LoadVersion(obj_image* picture);
    // Up to five reads; a broken time is reset; the system clock is moved
    // forward to the RTC's. True when the RTC could be read.
    bool CheckRtc();

    const char* Tag() const { return _tag; }

    bool _running = false;
    bool _initRefused = false;
    char _ver[32] = {};
    char _sw[32] = {};
    std::shared_ptr<GPIO_OUT> _pLedBlue;
    std::shared_ptr<GPIO_OUT> _pLedRed;
    std::shared_ptr<GPIO_OUT> _pLedSecurity;

private:
    static constexpr size_t VERSION_LINE_SIZE = 256;

    // The first line of the version file without its newline; false when it can't be opened.
    static bool ReadVersionLine(char* line, size_t size);

    const WND::ID _window;
    const char* const _tag;
};

} // namespace vk
