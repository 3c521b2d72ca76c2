#pragma once
// Video decoder library of the vendor media platform.

#ifdef __cplusplus
extern "C" {
#endif

/* The decoder library's own setting; the engine sets it to 1 before the platform starts. */
extern int gVideoDecoderScaleDown;

#ifdef __cplusplus
}
#endif
