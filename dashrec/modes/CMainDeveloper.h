#pragma once
// The developer run mode: the GPS receiver's satellites on the full screen,
// one vertical signal bar per tracked satellite, and a beep with the red LED
// when the receiver gains a fix. It records nothing and reads no parameter
// file.

#include "dashrec/modes/ServiceMode.h"

#include <memory>
#include <vector>

namespace vk {

class CMainDeveloper : public Singleton<CMainDeveloper>, public ServiceMode {
public:
    // One satellite's bar on page 353: a background image whose area is the
    // bar's full extent, the bar itself, its strength and its satellite number.
    class SignalBar {
    public:
        static constexpr int OFFSET_IMG_BG = -1000;
        static constexpr int OFFSET_REC_BAR = 0;
        static constexpr int OFFSET_TXT_SIGNAL = 100;
        static constexpr int OFFSET_TXT_ID = 1000;
        static constexpr int OFFSET_IMG_FRAME = 10000;
        static constexpr int BAR_HEIGHT = 70;
        static constexpr unsigned RED = 0xFFFF0000;
        static constexpr unsigned ORANGE = 0xFFFF3333;
        static constexpr unsigned YELLOW = 0xFFFFFF33;
        static constexpr unsigned LIME = 0xFF99FF33;
        static constexpr unsigned GREEN = 0xFF33FF33;
        static constexpr unsigned DARK_FADE_BLUE = 0xFF000099;
        static constexpr unsigned LIGTH_GREY = 0xFFFFFFFF;

        explicit SignalBar(int id);

        void Show();
        void Hide();
        void Reset();
        void SetSatellite(int satellite);
        void SetStrength(int strength);
        void SetActive();
        void SetDeactive();
        obj_common* GetComponent(int id);

        int GetSatellite() const { return _satellite; }
        int GetStrength() const { return _strength; }
        bool GetActive() const { return _active; }

    private:
        // The bar's colour for its strength.
        unsigned StrengthColour() const;
        void ColourSatellite();

        bool _active = false;
        int _id;
        int _strength = 0;
        int _satellite = 0; // 0: the bar is free
        char _strSatellite[16] = {};
        char _strStrength[16] = {};
    };

    static constexpr int MAX_BUTTON = 24;
    static constexpr int UPDATE_TIMER = 1000;
    static constexpr int GPIO_LED_FIX = 196;
    static constexpr const char* FIX_SOUND = "aplay /app/kvo/rsc/sound/beepbeep.wav";

    CMainDeveloper();

    void Initialize(bool) override;
    void Start() override;
    void Finalize() override;

    // The satellite reports besides the frame's messages; keys are ignored.
    void Dispatch(ipc_msg_t& msg) override;
    void OnInit(ipc_msg_t&) override;
    void OnTimer(ipc_msg_t& msg) override;
    void OnGps(ipc_msg_t& msg) override;
    void OnSatUpdateBegin(ipc_msg_t& msg);
    void OnSatSnrUpdate(ipc_msg_t& msg);
    void OnSatActiveUpdate(ipc_msg_t& msg);
    void OnSatUpdateEnd(ipc_msg_t& msg);

    const std::vector<std::shared_ptr<SignalBar>>& GetSignalBars() const { return _signalbars; }

private:
    // The first bar showing `satellite`, or null.
    SignalBar* FindBar(int satellite);

    bool _draw = false;
    std::shared_ptr<GPIO_OUT> _pLedStateRed;
    std::vector<std::shared_ptr<SignalBar>> _signalbars;
    bool _fix = false;
};

} // namespace vk
