#pragma once
// Sentences as a GPS module sends them, for the receiver's tests.

#include <cstdio>
#include <string>

namespace sensors_test {

inline std::string Checksum(const std::string& body)
{
    unsigned char sum = 0;
    for (char c : body)
        sum ^= static_cast<unsigned char>(c);
    char hex[3];
    std::snprintf(hex, sizeof(hex), "%02X", sum);
    return hex;
}

// "$" + body + "*" + checksum + CR LF.
inline std::string Nmea(const std::string& body)
{
    return "$" + body + "*" + Checksum(body) + "\r\n";
}

// An RMC with a fix at the given UTC time and date (hhmmss, ddmmyy).
inline std::string Rmc(const std::string& time, const std::string& date, const std::string& status = "A",
    const std::string& position = "3733.1234,N,12658.5000,W", const std::string& knots = "10.0")
{
    return Nmea("GPRMC," + time + ".00," + status + "," + position + "," + knots + ",45.0," + date + ",,,A");
}

} // namespace sensors_test
