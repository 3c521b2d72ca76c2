#include "dashrec/dvr/RecContoller.h"

#include "dashrec/core/SDDebug.h"

namespace vk {

void RecContoller::ParkingModeEntered()
{
    _parkingEnter = true;
    Singleton<SDDebug>::Inst()->Print("[RecContoller]Parking Mode entered\n");
}

void RecContoller::ParkingModeExited()
{
    _parkingEnter = false;
    Singleton<SDDebug>::Inst()->Print("[RecContoller]Parking Mode exited\n");
}

} // namespace vk
