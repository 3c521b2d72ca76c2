#pragma once
// The assertion report goes to standard output; death tests read standard
// error, so the dying statement sends one to the other first.

#include <unistd.h>

#define EXPECT_ASSERTION(statement, regex)                                                         \
    EXPECT_EXIT(                                                                                   \
        {                                                                                          \
            dup2(STDERR_FILENO, STDOUT_FILENO);                                                    \
            statement;                                                                             \
        },                                                                                         \
        ::testing::ExitedWithCode(0), regex)
