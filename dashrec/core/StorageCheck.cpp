// The recording medium's layout check at every card insertion, with the
// card-layout class that lays cards out.

#include "dashrec/core/Storage.h"

#include "cardform/Cardform.h"
#include "dashrec/core/Pref.h"
#include "dashrec/core/SDDebug.h"

#include <cstdio>
#include <string>

namespace vk {

bool Storage::CheckDevice()
{
    std::lock_guard<std::recursive_mutex> lock(_mutex);
    Pref* pref = Singleton<Pref>::Inst();
    bool internal = IsInternal();
    Cardform layout;
    if (internal)
        layout.SetEmmc();
    layout.SetMstarPark();
    const std::string& device = internal ? EmmcPartiion() : SdDevice();
    if (layout.Init2(device.c_str(), pref->GetFrontCameraResolutionHeight(), pref->GetRearCameraResolutionHeight(),
            pref->GetFps(), pref->GetParkingFps())
        != 0) {
        _fileSystem = 0;
        return false;
    }
    bool verified = layout.VerifyDisk();
    _fileSystem = static_cast<char>(layout.GetFileSystem());
    _normalRecords = layout.mNormalRecords;
    _blocks = layout.mBlocks;
    const std::string rule(55, '=');
    std::printf("%s\n%s, FileSystem:%02X\n%s\n", rule.c_str(),
        verified ? "               Verify OK" : "              Verify FAIL", static_cast<unsigned char>(_fileSystem),
        rule.c_str());
    std::fflush(stdout);
    if (!verified)
        return false;
    Singleton<SDDebug>::Inst()->SetTotalFiles(layout.mBlocks, layout.mNormalRecords, layout.mParkingNormalRecords);
    return true;
}

} // namespace vk
