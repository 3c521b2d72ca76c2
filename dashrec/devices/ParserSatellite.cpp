// The GSA and GSV sentences: satellite numbers, signal strengths and use in
// the fix, gathered into the periodic satellite report of the service screens.

#include "dashrec/core/MessageIds.h"
#include "dashrec/core/MessageQueue.h"
#include "dashrec/devices/GPS.h"
#include "dashrec/devices/Parser.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace vk {

namespace {

enum GsaField { FIX_MODE = 2, FIRST_SAT = 3, LAST_SAT = 14 };

const int GSV_HEADER_FIELDS = 4;
const int GSV_BLOCK_FIELDS = 4;
const size_t GSV_MIN_FIELDS = 8;
const time_t SAT_FORGOTTEN_AFTER_S = 31;
const int SAT_MESSAGE_GAP_MS = 10;

// Seconds of a clock that setting the wall clock does not move: a satellite's
// age must not jump when the GPS sets the time.
time_t NowSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The field's leading integer, 0 when there is none; clamped to int.
int FieldInt(const char* field)
{
    long value = std::strtol(field, nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

sat_data_t* FindSat(gps_data_t& gps, int id)
{
    for (sat_data_t& sat : gps.sats) {
        if (sat.id == id)
            return &sat;
    }
    return nullptr;
}

void Post(int cmd, int param1 = 0, int param2 = 0)
{
    UIQueue::Inst()->SendMessage(WND::ANY, cmd, param1, param2);
}

} // namespace

ProcessGSA::ProcessGSA()
    : Parser(GPS::GSA, 17)
{
}

void ProcessGSA::Process(gps_data_t& gps, FIELDS& message)
{
    std::vector<char*>& f = message.fields;
    if (f.size() < _minNumberOfField)
        return;
    SendSatData(gps);
    if (std::strcmp(f[FIX_MODE], "1") == 0)
        return;
    for (int i = FIRST_SAT; i <= LAST_SAT; ++i) {
        int id = FieldInt(f[i]);
        if (f[i][0] == '\0' || id <= 0)
            continue;
        sat_data_t* sat = FindSat(gps, id);
        if (sat == nullptr) {
            gps.sats.push_back(sat_data_t { true, id, 0, NowSeconds() });
            continue;
        }
        sat->active = true;
        sat->updatetime = NowSeconds();
    }
}

void ProcessGSA::SendSatData(gps_data_t& gps)
{
    if (!gps.sendSatelliteInfo || gps.sats.empty() || !gps.parseGSV)
        return;
    Post(WM::SATELLITE_UPDATE_BEGIN);
    time_t now = NowSeconds();
    gps.sats.remove_if([now](const sat_data_t& sat) { return now - sat.updatetime >= SAT_FORGOTTEN_AFTER_S; });
    gps.sats.sort(sat_data_t::compare);
    GPS* receiver = Singleton<GPS>::Inst();
    std::vector<int> snrs;
    for (sat_data_t& sat : gps.sats) {
        snrs.push_back(sat.snr);
        if (gps.sendMessageToApp) {
            Post(WM::SATELLITE_SNR_UPDATE, sat.id, sat.snr);
            receiver->SleepUnlocked(SAT_MESSAGE_GAP_MS);
            Post(WM::SATELLITE_ACTIVE_UPDATE, sat.id, sat.active ? 1 : 0);
            receiver->SleepUnlocked(SAT_MESSAGE_GAP_MS);
        }
        sat.active = false;
    }
    std::sort(snrs.begin(), snrs.end(), std::greater<int>());
    int nSat = std::min(static_cast<int>(snrs.size()), receiver->GetMinNSat());
    long long sum = 0;
    for (int i = 0; i < nSat; ++i)
        sum += snrs[i];
    receiver->SetSignalAvg(nSat > 0 ? static_cast<int>(sum / nSat) : 0, nSat);
    gps.parseGSV = false;
    Post(WM::SATELLITE_UPDATE_END);
}

ProcessGSV::ProcessGSV()
    : Parser(GPS::GSV, 0)
{
}

void ProcessGSV::Process(gps_data_t& gps, FIELDS& message)
{
    std::vector<char*>& f = message.fields;
    gps.parseGSV = true;
    size_t blocks = f.size() < GSV_MIN_FIELDS ? 0 : (f.size() - GSV_HEADER_FIELDS) / GSV_BLOCK_FIELDS;
    for (size_t i = 1; i <= blocks; ++i) {
        int id = FieldInt(f[GSV_BLOCK_FIELDS * i]);
        int snr = FieldInt(f[GSV_BLOCK_FIELDS * i + 3]);
        if (id < 1 || snr < 0)
            continue;
        sat_data_t* sat = FindSat(gps, id);
        if (sat == nullptr) {
            gps.sats.push_back(sat_data_t { false, id, snr, NowSeconds() });
            continue;
        }
        sat->snr = snr;
        sat->updatetime = NowSeconds();
    }
}

} // namespace vk
