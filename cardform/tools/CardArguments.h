#pragma once
// The command lines of cardform and cardaudit: device, front and rear video
// size, normal and parking frame rate, and the option words.

class Cardform;

struct CardArguments {
    const char* device = nullptr;
    int frontHeight = 0;
    int rearHeight = 0;
    int fps = 0;
    int parkingFps = 0;
    bool emmc = false;
    bool mstar = false;
    bool aging = false; // accepted for the production line; changes nothing
};

constexpr const char CARDFORM_USAGE[] = "usage: cardform /dev/mmcblk0 wqhd fhd 27 16 [aging] [emmc] [mstar]";
constexpr const char CARDAUDIT_USAGE[] = "usage: cardaudit /dev/mmcblk0 wqhd fhd 27 16 [emmc] [mstar]";

// False for a wrong count or a word outside its table.
bool ParseCardformArguments(int argc, const char* const* argv, CardArguments* arguments);
bool ParseCardauditArguments(int argc, const char* const* argv, CardArguments* arguments);
// Selects the options, then Init2 with the device, heights and rates; false
// when the layout cannot be computed for the device.
bool SetUpCard(const CardArguments& arguments, Cardform* card);
