#pragma once
// The engine's report lines for the media platform: failures in red with the
// function and line, successes plain.

#include <stdio.h>

#define MPP_COMM_ERR(fmt, ...) \
    printf("\033[0;32;31m ERROR! [FUN]%s [LINE]%d  " fmt "\033[0m\n", __func__, __LINE__, ##__VA_ARGS__)
#define MPP_COMM_OK(fmt, ...) printf("[FUN]%s [LINE]%d  " fmt "\n", __func__, __LINE__, ##__VA_ARGS__)
