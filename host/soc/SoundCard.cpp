#include "host/soc/SoundCard.h"

#include <gst/audio/gstaudiosink.h>
#include <gst/gst.h>

namespace {

struct HostSoundSink {
    GstAudioSink parent;
    guint rate;
    guint bytesPerFrame;
};

struct HostSoundSinkClass {
    GstAudioSinkClass parentClass;
};

GType host_sound_sink_get_type();
G_DEFINE_TYPE(HostSoundSink, host_sound_sink, GST_TYPE_AUDIO_SINK)

gboolean Accept(GstAudioSink*)
{
    return TRUE;
}

gboolean Prepare(GstAudioSink* sink, GstAudioRingBufferSpec* spec)
{
    auto* self = reinterpret_cast<HostSoundSink*>(sink);
    self->rate = GST_AUDIO_INFO_RATE(&spec->info);
    self->bytesPerFrame = GST_AUDIO_INFO_BPF(&spec->info);
    return self->rate > 0 && self->bytesPerFrame > 0;
}

// Takes as long as the samples would take to play: this pace is the
// pipeline's clock, as the board's sound card is.
gint Write(GstAudioSink* sink, gpointer, guint length)
{
    auto* self = reinterpret_cast<HostSoundSink*>(sink);
    guint64 frames = length / self->bytesPerFrame;
    g_usleep(static_cast<gulong>(frames * G_USEC_PER_SEC / self->rate));
    return static_cast<gint>(length);
}

guint Delay(GstAudioSink*)
{
    return 0;
}

void Reset(GstAudioSink*) {}

void host_sound_sink_class_init(HostSoundSinkClass* klass)
{
    auto* element = GST_ELEMENT_CLASS(klass);
    static GstStaticPadTemplate sinkTemplate =
        GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS,
                                GST_STATIC_CAPS(GST_AUDIO_CAPS_MAKE(GST_AUDIO_FORMATS_ALL) ", layout=interleaved"));
    gst_element_class_add_static_pad_template(element, &sinkTemplate);
    gst_element_class_set_static_metadata(element, "Host sound card", "Sink/Audio",
                                          "Plays samples at their real rate into nothing", "dashrec");
    auto* audio = GST_AUDIO_SINK_CLASS(klass);
    audio->open = Accept;
    audio->close = Accept;
    audio->unprepare = Accept;
    audio->prepare = Prepare;
    audio->write = Write;
    audio->delay = Delay;
    audio->reset = Reset;
}

void host_sound_sink_init(HostSoundSink* self)
{
    self->rate = 0;
    self->bytesPerFrame = 0;
}

} // namespace

void soc::RegisterSoundCard()
{
    static bool registered = [] {
        gst_init(nullptr, nullptr);
        return gst_element_register(nullptr, "alsasink", GST_RANK_PRIMARY, host_sound_sink_get_type()) == TRUE;
    }();
    (void)registered;
}
