// make_speedcam_db OUT VERSION LAT LON [HEADING [LIMIT]]: a speed-camera
// database of one fixed camera (kind 1, sub 0), for runs of the recorder: its
// alert point at LAT LON (degrees, north and east positive) for traffic going
// HEADING (degrees clockwise from north, a multiple of 3; 0), the camera 100 m
// further on, limited to LIMIT km/h (60).

#include "DbFile.h"

#include <cstdio>
#include <cstdlib>

using namespace speedcam_test;

int main(int argc, char* argv[])
{
    if (argc < 5 || argc > 7) {
        std::fprintf(stderr, "usage: %s OUT VERSION LAT LON [HEADING [LIMIT]]\n", argv[0]);
        return 2;
    }
    const double cameraMetres = 100;
    double lat = std::atof(argv[3]);
    double lon = std::atof(argv[4]);
    int heading = argc > 5 ? std::atoi(argv[5]) : 0;
    int limit = argc > 6 ? std::atoi(argv[6]) : 60;
    double radians = heading * M_PI / 180.0;
    double cameraLat = lat + NorthDeg(cameraMetres * std::cos(radians));
    double cameraLon = lon + EastDeg(cameraMetres * std::sin(radians), lat);
    if (!WriteDb(argv[1], {Camera{1, 0, limit, heading, lon, lat, cameraLon, cameraLat}}, argv[2])) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
