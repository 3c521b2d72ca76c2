#pragma once
// The request that opens the format dialog or the formatting screen rides in
// the CLOSE's param2 (and so the INIT's param1): the high 16 bits say which
// settings the formatted medium is laid out for, the low 16 bits name the
// window to return to (0 when none). Beside it, the rules on which medium the
// format windows act.

#include "dashrec/core/MessageIds.h"

namespace vk {

namespace FormatRequest {

enum Flag : int {
    CURRENT_IMPLIED = 0, // the phone app and the version screen send no flag
    USE_TEMP = 0xF10000,  // the values kept for the next start
    USE_DEFAULT = 0xF20000,
    USE_CURRENT = 0xF30000,
};

// The pending settings need a format on the way back to the live view.
const int TEMP_FROM_LIVEVIEW = USE_TEMP | WND::LIVEVIEW;

inline int FlagOf(int param)
{
    return static_cast<int>(static_cast<unsigned>(param) & 0xFFFF0000u);
}

inline WND::ID CallerOf(int param)
{
    return static_cast<WND::ID>(param & 0xFFFF);
}

} // namespace FormatRequest

// The SD card is the recording medium (the preferences name it).
bool IsSdCardMedium();
// An SD card may become the recording medium only above 8192 MiB.
bool IsSdCardLargeEnough();

} // namespace vk
