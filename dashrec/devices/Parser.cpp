#include "dashrec/devices/Parser.h"

#include "dashrec/devices/GPS.h"

namespace vk {

void Parser::Process(gps_data_t&, FIELDS&)
{
}

ProcessGGA::ProcessGGA()
    : Parser(GPS::GGA, 0)
{
}

void ProcessGGA::Process(gps_data_t& gps, FIELDS& message)
{
    Parser::Process(gps, message);
}

ProcessGLL::ProcessGLL()
    : Parser(GPS::GLL, 0)
{
}

void ProcessGLL::Process(gps_data_t& gps, FIELDS& message)
{
    Parser::Process(gps, message);
}

ProcessZDA::ProcessZDA()
    : Parser(GPS::ZDA, 0)
{
}

void ProcessZDA::Process(gps_data_t& gps, FIELDS& message)
{
    Parser::Process(gps, message);
}

} // namespace vk
