#pragma once
// Writes speed-camera database files: records given as the points and angles
// they decode to, encoded as the file keeps them and sorted by alert latitude.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace speedcam_test {

// Degrees to arc-seconds.
inline double Arcsec(double degrees)
{
    return degrees * 3600.0;
}

// Metres north and east of a point, in degrees (small steps).
inline double NorthDeg(double metres)
{
    return metres / 6378137.0 * 180.0 / M_PI;
}

inline double EastDeg(double metres, double latitude)
{
    return NorthDeg(metres) / std::cos(latitude * M_PI / 180.0);
}

struct Camera {
    int kind;
    int sub;
    int limit;
    int direction; // degrees, a multiple of 3
    double alertLon, alertLat; // degrees
    double cameraLon, cameraLat;
    int secondDirection = 0;
};

inline void Put32(std::string& out, int64_t value)
{
    uint32_t v = static_cast<uint32_t>(static_cast<int32_t>(value));
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<char>(v >> (8 * i) & 0xFF));
}

inline int64_t Code(double degrees)
{
    return std::llround(degrees * 36000.0);
}

// False when the file cannot be written.
inline bool WriteDb(const std::string& path, std::vector<Camera> cameras, const char* version = "2026.12")
{
    std::sort(cameras.begin(), cameras.end(), [](const Camera& a, const Camera& b) { return a.alertLat < b.alertLat; });
    std::string out;
    Put32(out, static_cast<int64_t>(cameras.size()));
    std::string text(version);
    text.resize(12, '\0');
    out += text;
    Put32(out, 0);
    for (const Camera& c : cameras) {
        int d = c.direction / 3;
        int g = c.secondDirection / 3;
        out.push_back(static_cast<char>(c.kind));
        out.push_back(static_cast<char>(c.sub));
        out.push_back(static_cast<char>(c.limit));
        out.push_back(static_cast<char>(d));
        Put32(out, Code(c.alertLon) + 3 * d + 12 * c.limit);
        Put32(out, Code(c.alertLat) + 5 * g);
        out.push_back(static_cast<char>(g));
        Put32(out, Code(c.cameraLon) + 4 * d);
        Put32(out, Code(c.cameraLat) + 7 * g + 21 * c.limit);
        out.push_back(0);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

// "$GPRMC" (or another talker's RMC) at a position (degrees), speed in km/h
// and course; valid "A".
inline std::string Rmc(double lon, double lat, int kmh, int course, const char* status = "A",
                       const char* time = "120000", const char* talker = "GP")
{
    auto field = [](double degrees, int width) {
        double a = std::fabs(degrees);
        int whole = static_cast<int>(a);
        char text[32];
        std::snprintf(text, sizeof(text), "%0*d%07.4f", width, whole, (a - whole) * 60.0);
        return std::string(text);
    };
    char sentence[160];
    std::snprintf(sentence, sizeof(sentence), "$%sRMC,%s,%s,%s,%c,%s,%c,%.1f,%d,101226,,,A*00\r\n", talker, time,
                  status, field(lat, 2).c_str(), lat < 0 ? 'S' : 'N', field(lon, 3).c_str(), lon < 0 ? 'W' : 'E',
                  kmh / 1.852 + 0.05, course);
    return sentence;
}

} // namespace speedcam_test
