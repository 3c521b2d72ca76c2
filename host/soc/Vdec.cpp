// Decoder library of the host platform.

#include "mpp_comm/soc_vdec.h"

int gVideoDecoderScaleDown = 0;
