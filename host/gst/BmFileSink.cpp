// The device's file sink and recording actions on a PC. The card's recording
// files are pre-allocated: the sink opens the named file for update, never
// truncates or grows it, and answers seeks and positions so that robust
// muxing can rewrite the header in place. It replaces the stock "filesink"
// for this process only, so the recorders' pipeline texts stay as they are.
// The two actions stock elements lack are added to their classes here:
// splitmuxsink "split-emergency" and qtmux "moov-update-now".
// Like the stock sink it gathers what it is given up to buffer-size bytes
// and writes that at once (buffer-mode 2 or a size of 0: every buffer as it
// comes), so that writing costs here what it costs the device. A rewrite of
// what is already in the file (the muxer's header) is written at once, as
// "moov-update-now" promises a playable file: gathered, the header's last
// piece would wait for the next GOP.

#include "host/gst/HostGst.h"

#include <gst/base/gstbasesink.h>
#include <gst/gst.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <new>
#include <vector>

namespace {

struct BmFileSink {
    GstBaseSink parent;
    gchar* location;
    gboolean append;
    gint bufferMode;
    guint bufferSize;
    // The file's state below: started on one thread, written on the
    // streaming thread (splitmuxsink restarts the sink from another), asked
    // for its position from any.
    std::recursive_mutex lock;
    int fd;
    guint64 position; // where the gathered buffers go
    GstBufferList* pending; // gathered, not yet written
    guint64 pendingBytes;
    guint64 limit; // G_MAXUINT64 where the file may grow
    guint64 end; // how far the file has been written
    gboolean seekable;
    volatile gint stopped;
};

struct BmFileSinkClass {
    GstBaseSinkClass parent_class;
    void (*stop_now)(BmFileSink* sink);
};

enum { PropLocation = 1, PropAppend, PropBufferMode, PropBufferSize };

constexpr gint kUnbuffered = 2;

GType BmFileSinkGetType();
#define BM_FILE_SINK(obj) (G_TYPE_CHECK_INSTANCE_CAST((obj), BmFileSinkGetType(), BmFileSink))

G_DEFINE_TYPE(BmFileSink, bm_file_sink, GST_TYPE_BASE_SINK)

GType BmFileSinkGetType()
{
    return bm_file_sink_get_type();
}

using Guard = std::lock_guard<std::recursive_mutex>;

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* spec)
{
    BmFileSink* sink = BM_FILE_SINK(object);
    Guard guard(sink->lock);
    switch (id) {
    case PropLocation:
        g_free(sink->location);
        sink->location = g_value_dup_string(value);
        break;
    case PropAppend:
        sink->append = g_value_get_boolean(value);
        break;
    case PropBufferMode:
        sink->bufferMode = g_value_get_int(value);
        break;
    case PropBufferSize:
        sink->bufferSize = g_value_get_uint(value);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
    }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* spec)
{
    BmFileSink* sink = BM_FILE_SINK(object);
    Guard guard(sink->lock);
    switch (id) {
    case PropLocation:
        g_value_set_string(value, sink->location);
        break;
    case PropAppend:
        g_value_set_boolean(value, sink->append);
        break;
    case PropBufferMode:
        g_value_set_int(value, sink->bufferMode);
        break;
    case PropBufferSize:
        g_value_set_uint(value, sink->bufferSize);
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec);
    }
}

void Finalize(GObject* object)
{
    BM_FILE_SINK(object)->lock.~recursive_mutex();
    g_free(BM_FILE_SINK(object)->location);
    G_OBJECT_CLASS(bm_file_sink_parent_class)->finalize(object);
}

// Opens the pre-allocated file for update; a missing file is created, with
// the warning that tells the program so, and may then grow.
gboolean OpenForUpdate(BmFileSink* sink)
{
    sink->fd = open(sink->location, O_RDWR | O_CLOEXEC);
    if (sink->fd < 0 && errno == ENOENT) {
        sink->fd = open(sink->location, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (sink->fd >= 0) {
            GST_ELEMENT_WARNING(sink, RESOURCE, OPEN_READ_WRITE, ("File \"%s\" did not exist and was created.", sink->location),
                                (nullptr));
            sink->limit = G_MAXUINT64;
        }
    }
    return sink->fd >= 0;
}

gboolean Start(GstBaseSink* base)
{
    BmFileSink* sink = BM_FILE_SINK(base);
    Guard guard(sink->lock);
    sink->position = 0;
    sink->end = 0;
    sink->pendingBytes = 0;
    g_atomic_int_set(&sink->stopped, 0);
    sink->limit = 0;
    if (sink->location == nullptr) {
        GST_ELEMENT_ERROR(sink, RESOURCE, NOT_FOUND, ("No file name specified for writing."), (nullptr));
        return FALSE;
    }
    gboolean opened = sink->append ? (sink->fd = open(sink->location, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) >= 0
                                   : OpenForUpdate(sink);
    if (!opened) {
        GST_ELEMENT_ERROR(sink, RESOURCE, OPEN_WRITE, ("Could not open file \"%s\" for writing.", sink->location),
                          GST_ERROR_SYSTEM);
        return FALSE;
    }
    // Only a regular file has a pre-allocated end; a device such as
    // /dev/null takes whatever comes and seeks as well.
    struct stat st;
    bool regular = fstat(sink->fd, &st) == 0 && S_ISREG(st.st_mode);
    sink->seekable = lseek(sink->fd, 0, SEEK_CUR) >= 0;
    if (!regular || sink->append)
        sink->limit = G_MAXUINT64;
    else if (sink->limit == 0)
        sink->limit = static_cast<guint64>(st.st_size);
    sink->pending = gst_buffer_list_new();
    return TRUE;
}

// Writes the pieces in order at the sink's position, however the kernel splits them.
gboolean WriteAll(BmFileSink* sink, iovec* pieces, size_t count)
{
    while (count > 0) {
        int n = static_cast<int>(count < IOV_MAX ? count : IOV_MAX);
        ssize_t written = sink->seekable ? pwritev(sink->fd, pieces, n, static_cast<off_t>(sink->position))
                                         : writev(sink->fd, pieces, n);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return FALSE;
        sink->position += static_cast<guint64>(written);
        if (sink->position > sink->end)
            sink->end = sink->position;
        for (auto left = static_cast<size_t>(written); left > 0;) {
            size_t step = left < pieces->iov_len ? left : pieces->iov_len;
            pieces->iov_base = static_cast<char*>(pieces->iov_base) + step;
            pieces->iov_len -= step;
            left -= step;
            if (pieces->iov_len == 0) {
                pieces++;
                count--;
            }
        }
        while (count > 0 && pieces->iov_len == 0) {
            pieces++;
            count--;
        }
    }
    return TRUE;
}

// Writes what was gathered; after stop-now it is dropped instead.
gboolean Flush(BmFileSink* sink)
{
    guint count = gst_buffer_list_length(sink->pending);
    if (count == 0)
        return TRUE;
    gboolean written = TRUE;
    if (!g_atomic_int_get(&sink->stopped)) {
        std::vector<GstMapInfo> maps(count);
        std::vector<iovec> pieces(count);
        guint mapped = 0;
        for (; mapped < count; mapped++) {
            if (!gst_buffer_map(gst_buffer_list_get(sink->pending, mapped), &maps[mapped], GST_MAP_READ))
                break;
            pieces[mapped] = iovec{maps[mapped].data, maps[mapped].size};
        }
        written = mapped == count && WriteAll(sink, pieces.data(), count);
        for (guint i = 0; i < mapped; i++)
            gst_buffer_unmap(gst_buffer_list_get(sink->pending, i), &maps[i]);
    }
    gst_buffer_list_remove(sink->pending, 0, count);
    sink->pendingBytes = 0;
    if (!written)
        GST_ELEMENT_ERROR(sink, RESOURCE, WRITE, ("Error while writing to file \"%s\".", sink->location),
                          GST_ERROR_SYSTEM);
    return written;
}

gboolean Stop(GstBaseSink* base)
{
    BmFileSink* sink = BM_FILE_SINK(base);
    Guard guard(sink->lock);
    if (sink->fd < 0)
        return TRUE;
    gboolean flushed = Flush(sink);
    gst_buffer_list_unref(sink->pending);
    sink->pending = nullptr;
    int result = close(sink->fd);
    sink->fd = -1;
    if (result != 0) {
        GST_ELEMENT_ERROR(sink, RESOURCE, CLOSE, ("Error closing file \"%s\".", sink->location), GST_ERROR_SYSTEM);
        return FALSE;
    }
    return flushed;
}

gboolean Buffered(const BmFileSink* sink)
{
    return sink->bufferMode != kUnbuffered && sink->bufferSize > 0;
}

GstFlowReturn Render(GstBaseSink* base, GstBuffer* buffer)
{
    BmFileSink* sink = BM_FILE_SINK(base);
    if (g_atomic_int_get(&sink->stopped))
        return GST_FLOW_OK;
    Guard guard(sink->lock);
    gsize size = gst_buffer_get_size(buffer);
    guint64 end = sink->position + sink->pendingBytes + size;
    if (sink->limit != G_MAXUINT64 && end > sink->limit) {
        GST_ELEMENT_ERROR(sink, RESOURCE, WRITE,
                          ("Writing past the end of the pre-allocated file \"%s\".", sink->location),
                          ("position %" G_GUINT64_FORMAT " + %" G_GSIZE_FORMAT " > %" G_GUINT64_FORMAT,
                           sink->position + sink->pendingBytes, size, sink->limit));
        return GST_FLOW_ERROR;
    }
    if (Buffered(sink) && sink->pendingBytes + size > sink->bufferSize && !Flush(sink))
        return GST_FLOW_ERROR;
    // Only appended data is gathered.
    bool rewrite = sink->position + sink->pendingBytes < sink->end;
    gst_buffer_list_add(sink->pending, gst_buffer_ref(buffer));
    sink->pendingBytes += size;
    if (!Buffered(sink) || rewrite || sink->pendingBytes >= sink->bufferSize)
        return Flush(sink) ? GST_FLOW_OK : GST_FLOW_ERROR;
    return GST_FLOW_OK;
}

gboolean Event(GstBaseSink* base, GstEvent* event)
{
    BmFileSink* sink = BM_FILE_SINK(base);
    {
        Guard guard(sink->lock);
        // What was gathered belongs before a seek and before the end.
        if ((GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT || GST_EVENT_TYPE(event) == GST_EVENT_EOS) && !Flush(sink)) {
            gst_event_unref(event);
            return FALSE;
        }
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment* segment;
            gst_event_parse_segment(event, &segment);
            if (segment->format == GST_FORMAT_BYTES && sink->seekable) {
                if (segment->start > sink->limit) {
                    GST_ELEMENT_ERROR(sink, RESOURCE, SEEK, ("Seek past the end of file \"%s\".", sink->location),
                                      (nullptr));
                    gst_event_unref(event);
                    return FALSE;
                }
                sink->position = segment->start;
            }
        }
    }
    return GST_BASE_SINK_CLASS(bm_file_sink_parent_class)->event(base, event);
}

gboolean Query(GstBaseSink* base, GstQuery* query)
{
    BmFileSink* sink = BM_FILE_SINK(base);
    switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_POSITION: {
        GstFormat format;
        gst_query_parse_position(query, &format, nullptr);
        if (format != GST_FORMAT_BYTES && format != GST_FORMAT_DEFAULT)
            return FALSE;
        Guard guard(sink->lock);
        gst_query_set_position(query, GST_FORMAT_BYTES, static_cast<gint64>(sink->position + sink->pendingBytes));
        return TRUE;
    }
    case GST_QUERY_FORMATS:
        gst_query_set_formats(query, 2, GST_FORMAT_DEFAULT, GST_FORMAT_BYTES);
        return TRUE;
    case GST_QUERY_SEEKING: {
        GstFormat format;
        gst_query_parse_seeking(query, &format, nullptr, nullptr, nullptr);
        gboolean bytes = format == GST_FORMAT_BYTES || format == GST_FORMAT_DEFAULT;
        Guard guard(sink->lock);
        gst_query_set_seeking(query, GST_FORMAT_BYTES, bytes && sink->seekable, 0, -1);
        return TRUE;
    }
    default:
        return GST_BASE_SINK_CLASS(bm_file_sink_parent_class)->query(base, query);
    }
}

// Nothing more reaches the file from now on, whatever the pipeline sends.
void StopNow(BmFileSink* sink)
{
    g_atomic_int_set(&sink->stopped, 1);
}

void bm_file_sink_class_init(BmFileSinkClass* klass)
{
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = SetProperty;
    object->get_property = GetProperty;
    object->finalize = Finalize;
    auto flags = static_cast<GParamFlags>(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS);
    g_object_class_install_property(object, PropLocation,
                                    g_param_spec_string("location", "File Location", "File to write", nullptr, flags));
    g_object_class_install_property(object, PropAppend,
                                    g_param_spec_boolean("append", "Append", "Create the file anew", FALSE, flags));
    g_object_class_install_property(object, PropBufferMode,
                                    g_param_spec_int("buffer-mode", "Buffering mode",
                                                     "-1 default, 0 full, 1 line (as full), 2 unbuffered", -1, 2, -1,
                                                     flags));
    g_object_class_install_property(object, PropBufferSize,
                                    g_param_spec_uint("buffer-size", "Buffering size", "Bytes gathered before a write", 0,
                                                      G_MAXUINT, 65536, flags));
    klass->stop_now = StopNow;
    g_signal_new("stop-now", G_TYPE_FROM_CLASS(klass), static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION),
                 G_STRUCT_OFFSET(BmFileSinkClass, stop_now), nullptr, nullptr, nullptr, G_TYPE_NONE, 0);

    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(element, "File Sink", "Sink/File",
                                          "Write into a pre-allocated file without truncating or growing it", "dashrec");
    static GstStaticPadTemplate sinkTemplate =
        GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
    gst_element_class_add_static_pad_template(element, &sinkTemplate);

    GstBaseSinkClass* sink = GST_BASE_SINK_CLASS(klass);
    sink->start = Start;
    sink->stop = Stop;
    sink->render = Render;
    sink->event = Event;
    sink->query = Query;
}

void bm_file_sink_init(BmFileSink* sink)
{
    sink->fd = -1;
    new (&sink->lock) std::recursive_mutex();
    gst_base_sink_set_sync(GST_BASE_SINK(sink), FALSE);
}

// splitmuxsink "split-emergency": ends every source of the pipeline, so that
// the muxer finishes the current file and splitmuxsink closes it.
void SplitEmergency(GstElement* splitmux)
{
    GstObject* parent = gst_object_get_parent(GST_OBJECT(splitmux));
    if (parent == nullptr)
        return;
    GstIterator* sources = gst_bin_iterate_sources(GST_BIN(parent));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(sources, &item) == GST_ITERATOR_OK) {
        GstElement* source = GST_ELEMENT(g_value_get_object(&item));
        gst_element_send_event(source, gst_event_new_eos());
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(sources);
    gst_object_unref(parent);
}

constexpr const char* kSavedPeriod = "bm-saved-update-period";

GstPadProbeReturn RestorePeriod(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    (void)pad;
    if (GST_EVENT_TYPE(GST_PAD_PROBE_INFO_EVENT(info)) != GST_EVENT_SEGMENT)
        return GST_PAD_PROBE_OK;
    auto* muxer = static_cast<GstElement*>(data);
    auto* saved = static_cast<guint64*>(g_object_get_data(G_OBJECT(muxer), kSavedPeriod));
    if (saved != nullptr)
        g_object_set(muxer, "reserved-moov-update-period", *saved, nullptr);
    g_object_set_data(G_OBJECT(muxer), kSavedPeriod, nullptr);
    return GST_PAD_PROBE_REMOVE;
}

// qtmux "moov-update-now": the muxer rewrites the header with its next
// buffer (the header's rewrite starts with a segment event), then keeps its
// own period again.
void MoovUpdateNow(GstElement* muxer)
{
    if (g_object_get_data(G_OBJECT(muxer), kSavedPeriod) != nullptr)
        return;
    auto* saved = g_new(guint64, 1);
    g_object_get(muxer, "reserved-moov-update-period", saved, nullptr);
    g_object_set_data_full(G_OBJECT(muxer), kSavedPeriod, saved, g_free);
    g_object_set(muxer, "reserved-moov-update-period", static_cast<guint64>(1), nullptr);
    GstPad* src = gst_element_get_static_pad(muxer, "src");
    gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, RestorePeriod, muxer, nullptr);
    gst_object_unref(src);
}

// Adds an action without arguments to the class of a stock element.
void AddAction(const char* factoryName, const char* action, GCallback handler)
{
    GstElement* sample = gst_element_factory_make(factoryName, nullptr);
    if (sample == nullptr)
        return;
    GType type = G_OBJECT_TYPE(sample);
    gst_object_unref(sample);
    if (g_signal_lookup(action, type) != 0)
        return;
    GClosure* closure = g_cclosure_new(handler, nullptr, nullptr);
    g_signal_newv(action, type, static_cast<GSignalFlags>(G_SIGNAL_RUN_LAST | G_SIGNAL_ACTION), closure, nullptr,
                  nullptr, nullptr, G_TYPE_NONE, 0, nullptr);
}

} // namespace

void RegisterFileSink()
{
    HostGstReplace("coreelements", "filesink", bm_file_sink_get_type());
    AddAction("splitmuxsink", "split-emergency", G_CALLBACK(SplitEmergency));
    AddAction("qtmux", "moov-update-now", G_CALLBACK(MoovUpdateNow));
}
