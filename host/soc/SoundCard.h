#pragma once
// The host's sound card: an audio sink under the stock name "alsasink" that
// consumes samples at their real rate and plays them nowhere, so pipelines
// that end in the board's sound card run, and keep time, on a PC without one.

namespace soc {

// Starts GStreamer if the program has not yet, and registers the sink once.
void RegisterSoundCard();

} // namespace soc
