// "alsasrc" on a PC without a microphone: a live 440 Hz tone with the
// device property the capture text sets, so the capture pipeline runs as is.

#include "host/gst/HostGst.h"

namespace {

struct BmToneSource {
    GstBin parent;
    gchar* device;
};

struct BmToneSourceClass {
    GstBinClass parent_class;
};

G_DEFINE_TYPE(BmToneSource, bm_tone_source, GST_TYPE_BIN)

void SetProperty(GObject* object, guint, const GValue* value, GParamSpec*)
{
    auto* source = reinterpret_cast<BmToneSource*>(object);
    g_free(source->device);
    source->device = g_value_dup_string(value);
}

void GetProperty(GObject* object, guint, GValue* value, GParamSpec*)
{
    g_value_set_string(value, reinterpret_cast<BmToneSource*>(object)->device);
}

void Finalize(GObject* object)
{
    g_free(reinterpret_cast<BmToneSource*>(object)->device);
    G_OBJECT_CLASS(bm_tone_source_parent_class)->finalize(object);
}

void bm_tone_source_class_init(BmToneSourceClass* klass)
{
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = SetProperty;
    object->get_property = GetProperty;
    object->finalize = Finalize;
    g_object_class_install_property(
        object, 1,
        g_param_spec_string("device", "Device", "Capture device (not used)", "default",
                            static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS)));
    gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "Audio source", "Source/Audio",
                                          "A tone in place of the microphone", "dashrec");
    static GstStaticPadTemplate srcTemplate =
        GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-raw"));
    gst_element_class_add_static_pad_template(GST_ELEMENT_CLASS(klass), &srcTemplate);
}

void bm_tone_source_init(BmToneSource* source)
{
    GstElement* tone = gst_element_factory_make("audiotestsrc", nullptr);
    g_object_set(tone, "is-live", TRUE, "freq", 440.0, "volume", 0.3, nullptr);
    gst_bin_add(GST_BIN(source), tone);
    GstPad* pad = gst_element_get_static_pad(tone, "src");
    gst_element_add_pad(GST_ELEMENT(source), gst_ghost_pad_new("src", pad));
    gst_object_unref(pad);
}

} // namespace

void RegisterToneSource()
{
    HostGstReplace("alsa", "alsasrc", bm_tone_source_get_type());
}
