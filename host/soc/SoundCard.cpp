#include "host/soc/SoundCard.h"

#include <gst/audio/gstaudiosink.h>
#include <gst/gst.h>

namespace {

struct HostSoundSink {
    GstAudioSink parent;
    guint rate;
    guint bytesPerFrame;
    gint64 anchorUsec;     // monotonic time at which the counted samples began
    guint64 framesPlayed;  // since the anchor
};

// A sink more than this late (a pause, a starved thread) starts counting anew
// rather than racing to catch up.
constexpr gint64 kReanchorUsec = 100000;

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
    self->framesPlayed = 0;
    return self->rate > 0 && self->bytesPerFrame > 0;
}

// Returns when the samples would have been played: this pace is the
// pipeline's clock, as the board's sound card is. The pace is kept against the
// monotonic clock, so the time spent around each write does not add up.
gint Write(GstAudioSink* sink, gpointer, guint length)
{
    auto* self = reinterpret_cast<HostSoundSink*>(sink);
    gint64 now = g_get_monotonic_time();
    gint64 due = self->anchorUsec + static_cast<gint64>(self->framesPlayed * G_USEC_PER_SEC / self->rate);
    if (self->framesPlayed == 0 || now - due > kReanchorUsec) {
        self->anchorUsec = now;
        self->framesPlayed = 0;
    }
    self->framesPlayed += length / self->bytesPerFrame;
    due = self->anchorUsec + static_cast<gint64>(self->framesPlayed * G_USEC_PER_SEC / self->rate);
    if (due > now)
        g_usleep(static_cast<gulong>(due - now));
    return static_cast<gint>(length);
}

guint Delay(GstAudioSink*)
{
    return 0;
}

// Nothing waits in a device; a write after a flush finds itself late and
// starts counting anew.
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
    self->anchorUsec = 0;
    self->framesPlayed = 0;
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
