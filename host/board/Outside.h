#pragma once
// What the simulator does beyond the program's lines: the card slot (the
// card's device nodes attached and detached as host/card/card.sh does, and
// the detect node), the scene before the cameras (the road stands still with
// the car, someone walks past), and the program cut off at once by a power
// cut (SIGKILL to the pid in "$DASHREC_HOST_DIR/dashrec.pid"), and the
// recording medium that the preferences in the EEPROM name.

#include "host/board/Scenario.h"
#include "host/soc/SceneControl.h"

#include <string>
#include <thread>

namespace board {

class Outside {
public:
    static constexpr const char* SD_DEVICE = "/dev/mmcblk1";
    static constexpr const char* CARD_DETECT = "/sys/sdcard0/detect";

    Outside() = default;
    ~Outside();
    Outside(const Outside&) = delete;
    Outside& operator=(const Outside&) = delete;

    // Takes the card in the slot now, if any, as the one a later "card in" inserts.
    void Start(const BoardState& state);
    void Apply(const BoardState& state);

private:
    void ApplyCard(bool in);
    void ApplyScene(const BoardState& state);
    void ApplyStorage(const std::string& medium);
    void Kill();

    bool _cardIn = false;
    bool _cardWanted = true; // the scenario's last word on the card
    std::string _cardImage;
    std::thread _slot; // the card going in or out
    std::string _storage;
    int _kills = 0;
    int _motions = 0;
    bool _moving = true;
    bool _sceneWritten = false;
    soc::SceneControl _scene;
};

// The image behind the card's device node, as card.sh recorded it; empty without a card.
std::string AttachedCardImage();

} // namespace board
