#include "host/board/SensorEvents.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace board {

namespace {

// A number directly followed by `unit`, as in "60km/h".
bool Quantity(const std::string& word, const char* unit, double& value)
{
    const char* text = word.c_str();
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && std::string(end) == unit && std::isfinite(value);
}

// "37.5665N" or "126.9780W": signed degrees within `limit`.
bool Coordinate(const std::string& word, char positive, char negative, double limit, double& degrees)
{
    if (word.size() < 2 || (word.back() != positive && word.back() != negative))
        return false;
    std::string unit(1, word.back());
    if (!Quantity(word, unit.c_str(), degrees) || degrees < 0 || degrees > limit)
        return false;
    degrees = word.back() == negative ? -degrees : degrees;
    return true;
}

bool GpsAt(const EventWords& args, EventApply& apply)
{
    double lat = 0;
    double lon = 0;
    if (args.size() != 2 || !Coordinate(args[0], 'N', 'S', 90, lat) || !Coordinate(args[1], 'E', 'W', 180, lon))
        return false;
    apply = [lat, lon](BoardState& s) {
        s.sensors.gps.latitude = lat;
        s.sensors.gps.longitude = lon;
        s.sensors.gps.fix = true;
        ++s.sensors.gps.placed;
    };
    return true;
}

// "60km/h" or "60kmh".
bool Speed(const std::string& word, double& kmh)
{
    return (Quantity(word, "km/h", kmh) || Quantity(word, "kmh", kmh)) && kmh >= 0;
}

bool GpsDrive(const EventWords& args, EventApply& apply)
{
    double kmh = 0;
    double heading = 0;
    bool withHeading = args.size() == 2;
    if (args.empty() || args.size() > 2 || !Speed(args[0], kmh)
        || (withHeading && !Quantity(args[1], "deg", heading)))
        return false;
    apply = [kmh, heading, withHeading](BoardState& s) {
        s.sensors.gps.kmh = kmh;
        if (withHeading)
            s.sensors.gps.heading = std::fmod(heading + 360.0, 360.0);
    };
    return true;
}

// The route's only shape is straight on, with a fix.
bool GpsRoute(const EventWords& args, EventApply& apply)
{
    double kmh = 0;
    if (args.size() != 2 || args[0] != "straight" || !Speed(args[1], kmh))
        return false;
    apply = [kmh](BoardState& s) {
        s.sensors.gps.kmh = kmh;
        s.sensors.gps.fix = true;
    };
    return true;
}

bool GpsTurn(const EventWords& args, EventApply& apply)
{
    double angle = 0;
    if (args.size() != 1 || !Quantity(args[0], "deg", angle))
        return false;
    apply = [angle](BoardState& s) {
        s.sensors.gps.heading = std::fmod(std::fmod(s.sensors.gps.heading + angle, 360.0) + 360.0, 360.0);
    };
    return true;
}

template <bool Fix>
bool GpsFix(const EventWords& args, EventApply& apply)
{
    if (!args.empty())
        return false;
    apply = [](BoardState& s) { s.sensors.gps.fix = Fix; };
    return true;
}

bool GpsReplay(const EventWords& args, EventApply& apply)
{
    if (args.size() != 1)
        return false;
    std::string file = args[0];
    apply = [file](BoardState& s) { s.sensors.gps.replay = file; };
    return true;
}

// "GN", "GL", ...: two capitals, the talker the module names its sentences by.
bool GpsTalker(const EventWords& args, EventApply& apply)
{
    if (args.size() != 1 || args[0].size() != 2 || !std::isupper(static_cast<unsigned char>(args[0][0]))
        || !std::isupper(static_cast<unsigned char>(args[0][1])))
        return false;
    std::string talker = args[0];
    apply = [talker](BoardState& s) { s.sensors.gps.talker = talker; };
    return true;
}

struct GpsAction {
    const char* name;
    bool (*parse)(const EventWords& args, EventApply& apply);
    const char* usage;
};

const GpsAction GPS_ACTIONS[] = {
    { "at", GpsAt, "gps at LATN|S LONE|W" },
    { "drive", GpsDrive, "gps drive SPEEDkm/h [HEADINGdeg]" },
    { "route", GpsRoute, "gps route straight SPEEDkm/h" },
    { "turn", GpsTurn, "gps turn ANGLEdeg" },
    { "lost", GpsFix<false>, "gps lost" },
    { "fix", GpsFix<true>, "gps fix" },
    { "replay", GpsReplay, "gps replay FILE" },
    { "talker", GpsTalker, "gps talker XX (two capitals, as GN)" },
};

} // namespace

bool ParseGps(const EventWords& args, EventApply& apply, std::string& error)
{
    for (const GpsAction& action : GPS_ACTIONS) {
        if (!args.empty() && args[0] == action.name) {
            if (action.parse(EventWords(args.begin() + 1, args.end()), apply))
                return true;
            error = std::string("expected ") + action.usage;
            return false;
        }
    }
    error = "expected gps at, drive, route, turn, lost, fix, replay or talker";
    return false;
}

bool ParseShock(const EventWords& args, EventApply& apply, std::string& error)
{
    double g = 0;
    if (args.size() != 1 || !Quantity(args[0], "g", g) || g <= 0) {
        error = "expected shock SIZEg";
        return false;
    }
    apply = [g](BoardState& s) {
        s.sensors.shockG = g;
        ++s.sensors.shocks;
    };
    return true;
}

bool ParseMotion(const EventWords& args, EventApply& apply, std::string& error)
{
    double seconds = 3;
    if (args.size() > 1 || (args.size() == 1 && (!Quantity(args[0], "s", seconds) || seconds <= 0))) {
        error = "expected motion [SECONDSs]";
        return false;
    }
    apply = [seconds](BoardState& s) {
        s.sensors.motionSec = seconds;
        ++s.sensors.motions;
    };
    return true;
}

bool ParseTap(const EventWords& args, EventApply& apply, std::string& error)
{
    char* endX = nullptr;
    char* endY = nullptr;
    long x = args.size() == 2 ? std::strtol(args[0].c_str(), &endX, 10) : -1;
    long y = args.size() == 2 ? std::strtol(args[1].c_str(), &endY, 10) : -1;
    if (args.size() != 2 || *endX != '\0' || *endY != '\0' || x < 0 || x >= 480 || y < 0 || y >= 320) {
        error = "expected tap X Y (screen pixels, 480 x 320)";
        return false;
    }
    apply = [x, y](BoardState& s) {
        s.sensors.tapX = static_cast<int>(x);
        s.sensors.tapY = static_cast<int>(y);
        ++s.sensors.taps;
    };
    return true;
}

} // namespace board
