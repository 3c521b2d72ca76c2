// The host's file sink gathers buffers up to buffer-size and writes them at
// once, as the stock sink does: what reaches the file after each buffer, its
// position meanwhile, and a seek (the muxer's header rewrite) that comes
// after gathered data, the rewrite itself being in the file at once, and
// a position asked from another thread while the streaming thread writes.

#include "host/gst/HostGst.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kFileBytes = 65536;
constexpr int kPiece = 1000;

// Feeds a file sink by hand: each push returns once the sink has rendered it.
class SinkFeed {
public:
    SinkFeed(const std::string& path, const char* properties)
    {
        std::string text = "filesink location=" + path + " " + properties;
        mSink = gst_parse_launch(text.c_str(), nullptr);
        mSrc = gst_pad_new("src", GST_PAD_SRC);
        GstPad* sinkPad = gst_element_get_static_pad(mSink, "sink");
        gst_pad_set_active(mSrc, TRUE);
        gst_pad_link(mSrc, sinkPad);
        gst_object_unref(sinkPad);
        gst_element_set_state(mSink, GST_STATE_PLAYING);
        gst_pad_push_event(mSrc, gst_event_new_stream_start("file"));
        GstCaps* caps = gst_caps_new_empty_simple("application/octet-stream");
        gst_pad_push_event(mSrc, gst_event_new_caps(caps));
        gst_caps_unref(caps);
        Seek(0);
    }

    ~SinkFeed()
    {
        gst_element_set_state(mSink, GST_STATE_NULL);
        gst_object_unref(mSink);
        gst_object_unref(mSrc);
    }

    void Push(char fill, int bytes = kPiece)
    {
        GstBuffer* buffer = gst_buffer_new_allocate(nullptr, static_cast<gsize>(bytes), nullptr);
        gst_buffer_memset(buffer, 0, static_cast<guint8>(fill), static_cast<gsize>(bytes));
        EXPECT_EQ(gst_pad_push(mSrc, buffer), GST_FLOW_OK);
    }

    void Seek(guint64 offset)
    {
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_BYTES);
        segment.start = offset;
        gst_pad_push_event(mSrc, gst_event_new_segment(&segment));
    }

    void End() { gst_pad_push_event(mSrc, gst_event_new_eos()); }

    gint64 Position()
    {
        gint64 position = -1;
        gst_pad_peer_query_position(mSrc, GST_FORMAT_BYTES, &position);
        return position;
    }

private:
    GstElement* mSink;
    GstPad* mSrc;
};

std::string PreallocatedFile()
{
    char path[] = "filesink-XXXXXX";
    int fd = mkstemp(path);
    EXPECT_EQ(posix_fallocate(fd, 0, kFileBytes), 0);
    close(fd);
    return path;
}

std::vector<char> FileBytes(const std::string& path)
{
    std::vector<char> bytes(kFileBytes);
    int fd = open(path.c_str(), O_RDONLY);
    EXPECT_EQ(pread(fd, bytes.data(), bytes.size(), 0), kFileBytes);
    close(fd);
    return bytes;
}

// The bytes written so far: the pre-allocated file reads 0 where nothing was.
int WrittenBytes(const std::string& path)
{
    std::vector<char> bytes = FileBytes(path);
    int written = 0;
    while (written < kFileBytes && bytes[written] != 0)
        written++;
    return written;
}

class FileSink : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        gst_init(nullptr, nullptr);
        RegisterFileSink();
    }
};

TEST_F(FileSink, WritesWhatItGatheredOnceBufferSizeIsReached)
{
    struct Case {
        const char* properties;
        std::vector<int> writtenAfterEachPush; // five pushes of 1000 bytes
    } cases[] = {
        {"buffer-mode=0 buffer-size=4096", {0, 0, 0, 0, 4000}},
        {"buffer-mode=-1 buffer-size=2000", {0, 2000, 2000, 4000, 4000}},
        {"buffer-mode=2 buffer-size=4096", {1000, 2000, 3000, 4000, 5000}},
        {"buffer-mode=0 buffer-size=0", {1000, 2000, 3000, 4000, 5000}},
    };
    for (const Case& c : cases) {
        std::string path = PreallocatedFile();
        {
            SinkFeed feed(path, c.properties);
            for (size_t i = 0; i < c.writtenAfterEachPush.size(); i++) {
                feed.Push('a');
                EXPECT_EQ(WrittenBytes(path), c.writtenAfterEachPush[i]) << c.properties << ", push " << i;
                EXPECT_EQ(feed.Position(), static_cast<gint64>((i + 1) * kPiece)) << c.properties;
            }
            feed.End();
            EXPECT_EQ(WrittenBytes(path), 5 * kPiece) << c.properties;
        }
        unlink(path.c_str());
    }
}

// A header rewritten at the start lands after the data gathered before it
// and is in the file before anything follows it (a power loss keeps the
// header the muxer last wrote), and a buffer that alone exceeds the size is
// written whole.
TEST_F(FileSink, SeekWritesTheGatheredDataFirst)
{
    std::string path = PreallocatedFile();
    {
        SinkFeed feed(path, "buffer-mode=0 buffer-size=4096");
        feed.Push('a', 100);
        feed.Push('b', 3000);
        feed.Seek(0);
        feed.Push('h', 100);
        EXPECT_EQ(FileBytes(path)[99], 'h') << "the rewrite is in the file at once";
        feed.Seek(3100);
        feed.Push('c', kFileBytes - 3100);
        feed.End();
    }
    std::vector<char> bytes = FileBytes(path);
    EXPECT_EQ(bytes[0], 'h');
    EXPECT_EQ(bytes[99], 'h');
    EXPECT_EQ(bytes[100], 'b');
    EXPECT_EQ(bytes[3099], 'b');
    EXPECT_EQ(bytes[3100], 'c');
    EXPECT_EQ(bytes[kFileBytes - 1], 'c');
    unlink(path.c_str());
}

// The recorder asks a file's size from its own thread while the streaming
// thread writes: every answer is a whole number of pieces, never more than
// was handed to the sink and never less than a previous answer.
TEST_F(FileSink, PositionAskedDuringWritesIsNeverCountedTwice)
{
    constexpr int kSmall = 64;
    constexpr int kPieces = kFileBytes / kSmall;
    for (const char* properties : {"buffer-mode=2", "buffer-mode=0 buffer-size=3000"}) {
        std::string path = PreallocatedFile();
        {
            SinkFeed feed(path, properties);
            std::atomic<gint64> handed{0};
            std::atomic<bool> done{false};
            std::thread pusher([&] {
                for (int i = 0; i < kPieces; i++) {
                    handed += kSmall;
                    feed.Push('a', kSmall);
                }
                done = true;
            });
            gint64 last = 0;
            while (!done && !HasFailure()) {
                gint64 position = feed.Position();
                EXPECT_EQ(position % kSmall, 0) << properties;
                EXPECT_LE(position, handed.load()) << properties;
                EXPECT_GE(position, last) << properties;
                last = position;
            }
            pusher.join();
            EXPECT_EQ(feed.Position(), kPieces * kSmall) << properties;
            feed.End();
        }
        unlink(path.c_str());
    }
}

} // namespace
