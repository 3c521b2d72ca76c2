#include "mpp_comm/mpp_comm_sys.h"

#include "mpp_comm/mpp_comm_log.h"
#include "mpp_comm/soc_sys.h"

#include <string.h>

int mpp_comm_sys_init(void)
{
    SOC_SYS_CONF_S conf;
    memset(&conf, 0, sizeof(conf));
    conf.nAlignWidth = 32;
    int ret = SOC_MPI_SYS_SetConf(&conf);
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_SetConf fail! ret:%d ", ret);
        return -1;
    }
    ret = SOC_MPI_SYS_Init();
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_Init fail! ret:%d ", ret);
        return -1;
    }
    MPP_COMM_OK("Do sys init success!");
    return 0;
}

int mpp_comm_sys_exit(void)
{
    int ret = SOC_MPI_SYS_Exit();
    if (ret != 0) {
        MPP_COMM_ERR("Do SOC_MPI_SYS_Exit fail! ret:%d ", ret);
        return -1;
    }
    MPP_COMM_OK("The sys exit!");
    return 0;
}
