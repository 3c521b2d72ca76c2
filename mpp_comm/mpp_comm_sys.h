#pragma once
// Start and end of the media platform.

#ifdef __cplusplus
extern "C" {
#endif

int mpp_comm_sys_init(void);
int mpp_comm_sys_exit(void);

#ifdef __cplusplus
}
#endif
