#include "host/gst/HostGst.h"

#include "bmworks/BmGstPlatform.h"

#include <unistd.h>

void HostGstReplace(const char* plugin, const char* name, GType type)
{
    GstPlugin* stock = gst_plugin_load_by_name(plugin);
    if (stock != nullptr)
        gst_object_unref(stock);
    gst_element_register(nullptr, name, GST_RANK_PRIMARY + 1, type);
}

void BmGstPlatformInit()
{
    RegisterFileSink();
    // A PC without a capture device records a tone instead of the microphone.
    if (access("/dev/snd/pcmC0D0c", F_OK) != 0)
        RegisterToneSource();
}
