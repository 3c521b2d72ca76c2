#pragma once
// Replay encoding for benchmarks and small machines: units encoded once from
// the road scene for the same size, rate, GOP and bitrate, looped. The loop
// is two GOPs taken after a GOP of rate-control warm-up, so it starts with a
// key unit and carries the encoder's settled bitrate. With
// DASHREC_SOC_REPLAY_DIR set, loops are kept there between runs.

#include "host/soc/VencCodec.h"

#include <memory>
#include <string>
#include <vector>

namespace soc {

struct ReplayLoop {
    std::vector<uint8_t> header;
    std::vector<EncodedUnit> units;
};

// The loop for these settings as seen by the named camera; null when the
// encoder cannot be opened.
std::shared_ptr<const ReplayLoop> ReplayLoopFor(const EncoderSettings& settings, const std::string& label);

} // namespace soc
