#pragma once
// Shell commands are formatted into fixed buffers of 64 or 128 bytes; a
// command that would not fit is a broken invariant of its caller.

#include "dashrec/core/SDDebug.h"

#include <cstdio>

#define VK_FORMAT_COMMAND(cmd, ...)                                                                \
    do {                                                                                           \
        if (std::snprintf(cmd, sizeof(cmd), __VA_ARGS__) >= static_cast<int>(sizeof(cmd)))         \
            VK_ASSERT_REPORT("strlen(cmd) < sizeof(cmd)");                                         \
    } while (0)
