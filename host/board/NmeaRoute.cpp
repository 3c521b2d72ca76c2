#include "host/board/NmeaRoute.h"

#include <cmath>
#include <cstdio>

namespace board {

namespace {

const double METRES_PER_DEGREE = 111320.0;
const double KMH_PER_KNOT = 1.852;
const double PI = 3.14159265358979323846;

std::string Hex2(unsigned value)
{
    char text[3];
    std::snprintf(text, sizeof(text), "%02X", value & 0xFF);
    return text;
}

// ddmm.mmmm (or dddmm.mmmm with three degree digits) and the hemisphere letter.
std::string Angle(double degrees, int degreeDigits, char positive, char negative)
{
    long long tenThousandths = std::llround(std::fabs(degrees) * 60 * 10000);
    long long whole = tenThousandths / 600000;
    long long minutes = tenThousandths % 600000;
    char text[32];
    std::snprintf(text, sizeof(text), "%0*lld%02lld.%04lld,%c", degreeDigits, whole, minutes / 10000, minutes % 10000,
        degrees < 0 ? negative : positive);
    return text;
}

struct Stamp {
    char time[40];
    char date[40];
};

Stamp StampOf(time_t utc)
{
    std::tm t {};
    gmtime_r(&utc, &t);
    Stamp s {};
    std::snprintf(s.time, sizeof(s.time), "%02d%02d%02d.00", t.tm_hour, t.tm_min, t.tm_sec);
    std::snprintf(s.date, sizeof(s.date), "%02d%02d%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
    return s;
}

// Four satellites the module always sees; their signal only with a fix.
const struct {
    int id, elevation, azimuth, snr;
} SATELLITES[] = { { 3, 45, 120, 40 }, { 7, 30, 200, 35 }, { 9, 60, 45, 30 }, { 16, 15, 300, 20 } };

// The fix's summary under the module's talker; the GPS satellites' view under GP.
std::string Satellites(const std::string& talker, bool fix)
{
    std::string gsa = talker + (fix ? "GSA,A,3" : "GSA,A,1");
    std::string gsv = "GPGSV,1,1,04";
    for (const auto& sat : SATELLITES) {
        char block[32];
        std::snprintf(block, sizeof(block), ",%02d,%02d,%03d,", sat.id, sat.elevation, sat.azimuth);
        gsv += block + (fix ? std::to_string(sat.snr) : "");
        gsa += fix ? "," + std::to_string(100 + sat.id).substr(1) : ",";
    }
    gsa += ",,,,,,,,";
    gsa += fix ? ",1.8,0.9,1.5" : ",99.9,99.9,99.9";
    return NmeaSentence(gsa) + NmeaSentence(gsv);
}

} // namespace

std::string NmeaSentence(const std::string& body)
{
    unsigned sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    return "$" + body + "*" + Hex2(sum) + "\r\n";
}

void AdvanceRoute(GpsState& gps, double seconds)
{
    double metres = gps.kmh / 3.6 * seconds;
    double heading = gps.heading * PI / 180.0;
    gps.latitude += metres * std::cos(heading) / METRES_PER_DEGREE;
    gps.longitude += metres * std::sin(heading) / (METRES_PER_DEGREE * std::cos(gps.latitude * PI / 180.0));
}

std::string RouteSentences(const GpsState& gps, time_t utc)
{
    Stamp s = StampOf(utc);
    std::string time = s.time;
    const std::string& talker = gps.talker;
    if (!gps.fix) {
        return NmeaSentence(talker + "RMC," + time + ",V,,,,,,," + s.date + ",,,N")
            + NmeaSentence(talker + "GGA," + time + ",,,,,0,00,99.99,,,,,,") + Satellites(talker, false);
    }
    std::string position = Angle(gps.latitude, 2, 'N', 'S') + "," + Angle(gps.longitude, 3, 'E', 'W');
    char motion[32];
    std::snprintf(motion, sizeof(motion), "%.2f,%.1f", gps.kmh / KMH_PER_KNOT, gps.heading);
    return NmeaSentence(talker + "RMC," + time + ",A," + position + "," + motion + "," + s.date + ",,,A")
        + NmeaSentence(talker + "GGA," + time + "," + position + ",1,04,0.9,50.0,M,0.0,M,,") + Satellites(talker, true);
}

} // namespace board
