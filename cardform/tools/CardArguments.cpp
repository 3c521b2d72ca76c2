#include "cardform/tools/CardArguments.h"

#include "cardform/Cardform.h"

#include <cstring>

namespace {

struct Word {
    const char* word;
    int value;
};

constexpr Word FRONT_SIZES[] = {{"wqhd", 1440}, {"shd", 1296}, {"fhd", 1080}, {"hd", 720}};
constexpr Word REAR_SIZES[] = {{"fhd", 1080}, {"hd", 720}, {"0", 0}};
constexpr Word CARDFORM_RATES[] = {{"27", 27}, {"30", 30}, {"29", 29}, {"25", 25},
                                   {"22", 22}, {"16", 16}, {"7", 7},   {"6", 6}};
constexpr Word CARDAUDIT_RATES[] = {{"27", 27}, {"30", 30}, {"25", 25}, {"22", 22}, {"16", 16}, {"7", 7}, {"6", 6}};
constexpr Word NO_PARKING[] = {{"0", 0}};

template <size_t N>
bool LookUp(const Word (&table)[N], const char* word, int* value)
{
    for (const Word& entry : table) {
        if (strcmp(entry.word, word) == 0) {
            *value = entry.value;
            return true;
        }
    }
    return false;
}

bool Is(const char* word, const char* expected)
{
    return strcmp(word, expected) == 0;
}

// argv[1] to argv[5]: device, front, rear, fps and parking fps, checked in that order.
template <size_t N>
bool ParseSettings(const char* const* argv, const Word (&rates)[N], CardArguments* arguments)
{
    arguments->device = argv[1];
    return LookUp(FRONT_SIZES, argv[2], &arguments->frontHeight) &&
           LookUp(REAR_SIZES, argv[3], &arguments->rearHeight) && LookUp(rates, argv[4], &arguments->fps) &&
           (LookUp(rates, argv[5], &arguments->parkingFps) || LookUp(NO_PARKING, argv[5], &arguments->parkingFps));
}

// One option alone: "emmc" stands for the eMMC with its alternative parking layout.
void ApplyCardformSingleOption(const char* word, CardArguments* arguments)
{
    if (Is(word, "aging"))
        arguments->aging = true;
    if (Is(word, "emmc"))
        arguments->emmc = arguments->mstar = true;
}

} // namespace

bool ParseCardformArguments(int argc, const char* const* argv, CardArguments* arguments)
{
    if (argc < 6 || argc > 9 || !ParseSettings(argv, CARDFORM_RATES, arguments))
        return false;
    if (argc == 9) {
        for (int i = 6; i < 9; ++i) {
            arguments->aging |= Is(argv[i], "aging");
            arguments->emmc |= Is(argv[i], "emmc");
            arguments->mstar |= Is(argv[i], "mstar");
        }
        return true;
    }
    for (int i = 6; i < argc; ++i)
        ApplyCardformSingleOption(argv[i], arguments);
    return true;
}

bool ParseCardauditArguments(int argc, const char* const* argv, CardArguments* arguments)
{
    if (argc < 6 || argc > 8 || !ParseSettings(argv, CARDAUDIT_RATES, arguments))
        return false;
    if (argc == 7 && Is(argv[6], "emmc"))
        arguments->emmc = arguments->mstar = true;
    if (argc == 8) {
        for (int i = 6; i < 8; ++i) {
            arguments->emmc |= Is(argv[i], "emmc");
            arguments->mstar |= Is(argv[i], "mstar");
        }
    }
    return true;
}

bool SetUpCard(const CardArguments& arguments, Cardform* card)
{
    if (arguments.emmc)
        card->SetEmmc();
    if (arguments.mstar)
        card->SetMstarPark();
    return card->Init2(arguments.device, arguments.frontHeight, arguments.rearHeight, arguments.fps,
                       arguments.parkingFps) == 0;
}
