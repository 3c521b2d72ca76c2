#include "bmworks/BmGstPlatform.h"

void BmGstPlatformInit()
{
}
