// libFuzzer target: any file as a recording played back from the card: what
// the player takes from its discovery (duration, video codec and size) and
// the video it hands on, the parsers being GStreamer's own.

#include "InputFile.h"

#include "bmworks/BmDemux.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

GstDiscoverer* Discoverer()
{
    static GstDiscoverer* discoverer = [] {
        gst_init(nullptr, nullptr);
        GstDiscoverer* made = gst_discoverer_new(5 * GST_SECOND, nullptr);
        if (made == nullptr)
            std::abort();
        return made;
    }();
    return discoverer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string uri = "file://" + fuzz::WriteInputFile(data, size);
    GError* error = nullptr;
    GstDiscovererInfo* info = gst_discoverer_discover_uri(Discoverer(), uri.c_str(), &error);
    static BmDemux demux;
    demux.mDurationMsec = -1;
    if (info != nullptr) {
        demux.OnDiscovered(info, error);
        g_object_unref(info);
    }
    g_clear_error(&error);
    // A duration either unknown (-1) or one the player can count to.
    if (demux.mDurationMsec < -1)
        std::abort();
    return 0;
}
