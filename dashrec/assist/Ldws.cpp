#include "dashrec/assist/Ldws.h"

#include "dashrec/assist/FsAdas.h"

// The lane detector is not here yet: nothing is reported.
void __FS_LdwsFrameWork(const uint8_t*, int, int, STRUCT_LDWS_CONFIG* config)
{
    config->status = LDWS_QUIET;
}
