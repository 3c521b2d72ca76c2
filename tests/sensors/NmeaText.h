#pragma once
// Sentences as a GPS module sends them, for the receiver's tests.

#include "host/board/NmeaRoute.h"

#include <string>

namespace sensors_test {

// "$" + body + "*" + checksum + CR LF.
inline std::string Nmea(const std::string& body)
{
    return board::NmeaSentence(body);
}

// The two hex digits of the checksum of a sentence's body.
inline std::string Checksum(const std::string& body)
{
    std::string sentence = Nmea(body);
    return sentence.substr(sentence.size() - 4, 2);
}

// An RMC with a fix at the given UTC time and date (hhmmss, ddmmyy).
inline std::string Rmc(const std::string& time, const std::string& date, const std::string& status = "A",
    const std::string& position = "3733.1234,N,12658.5000,W", const std::string& knots = "10.0")
{
    return Nmea("GPRMC," + time + ".00," + status + "," + position + "," + knots + ",45.0," + date + ",,,A");
}

} // namespace sensors_test
