// libFuzzer target: any file as the speed-camera database: its load, its
// records, and a drive past the points its first records name; and the same
// bytes as the RMC sentence the database is searched with.

#include "InputFile.h"

#include "dashrec/assist/SpeedCamDB.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace vk::scdb;

// At `cam`'s alert point heading its way, as the RMC parser hands a fix over.
void DrivePast(const _tCAMPROPERTY& cam)
{
    const double x = cam.alertX / 3600.0;
    const double y = cam.alertY / 3600.0;
    for (int step = 0; step < 3; ++step) {
        SetGPSInfo(x, y + step * 0.0005, cam.direction, 60, 1);
        _tDISPLSY_CAMINFO display[kMaxFindedCam];
        int kind = 0, sub = 0, limit = 0;
        double distance = 0;
        GetDisplayInfo(display, &kind, &sub, &limit, &distance, x, y + step * 0.0005);
        GetSoundNotiInfo(&kind, &sub, &limit);
        GetSoundReleaseInfo(&kind, &sub);
    }
    SetGPSInfo(0, 0, 0, 0, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& path = fuzz::WriteInputFile(data, size);
    if (Initialize(path.c_str())) {
        ResetDriveInfo();
        GetDBVersion();
        FILE* db = std::fopen(path.c_str(), "rb");
        for (int i = 0; i < 4; ++i) {
            _tCAMPROPERTY cam = GetCamData(db, i);
            if (cam.index < 0)
                break;
            DrivePast(cam);
        }
        std::fclose(db);
    }
    std::string sentence(reinterpret_cast<const char*>(data), size);
    double x = 0, y = 0;
    int heading = 0, speed = 0, valid = 0;
    ParseGPRMC(sentence.data(), x, y, heading, speed, valid);
    Finalize();
    return 0;
}
