#include "bmworks/BmSubtitle.h"

#include "bmworks/BmAudio.h"
#include "bmworks/BmClock.h"
#include "bmworks/BmFeed.h"

#include <cstring>
#include <mutex>

namespace {

std::mutex mSubtitleMutex;

constexpr const char* kPlaceholder = "EXTD/0/0.000000/0.000000/0/00/00/00,";

gboolean gSubtitleReadGpsTask(gpointer data)
{
    auto* subtitle = static_cast<BmSubtitle*>(data);
    subtitle->MakeEntry();
    subtitle->mSubtitleReadGpsTaskId = 0;
    subtitle->ArmEntryTask();
    return G_SOURCE_REMOVE;
}

gboolean gSubtitleBufferDeleteTask(gpointer data)
{
    static_cast<BmSubtitle*>(data)->mSubtitleBuffer.DeleteOld();
    return G_SOURCE_CONTINUE;
}

gboolean gSubtitleBufferReportTask(gpointer data)
{
    static_cast<BmSubtitle*>(data)->mSubtitleBuffer.Report("Subtitle");
    return G_SOURCE_CONTINUE;
}

} // namespace

BmSubtitle::BmSubtitle()
{
    for (int i = 0; i < 10; i++)
        mText += kPlaceholder;
}

BmSubtitle* BmSubtitle::Inst()
{
    static BmSubtitle* subtitle = new BmSubtitle(); // kept for the program's life
    return subtitle;
}

void BmSubtitle::SetText(std::string text)
{
    uint64_t now = BmClock::Inst()->Usec();
    std::lock_guard<std::mutex> lock(mSubtitleMutex);
    mTimeStamp = now;
    mText = std::move(text);
}

void BmSubtitle::Start()
{
    if (mStarted)
        return;
    gStartSubtitleTask();
    mStarted = true;
}

void BmSubtitle::Stop()
{
    if (!mStarted)
        return;
    gStopSubtitleTask();
    mStarted = false;
}

int BmSubtitle::ReadStreamOld(uint64_t& position, AudioBuffer& out, int waitMs)
{
    return BmReadOld(mSubtitleBuffer, position, out, waitMs);
}

std::string BmSubtitle::MakeGpsString(int second)
{
    int s = second;
    int n = second + 1;
    std::string text;
    {
        char head[64];
        snprintf(head, sizeof(head), "%d:%02d:%02d:", s / 3600, (s / 60) % 60, s % 60);
        text = head;
    }
    char tail[96];
    snprintf(tail, sizeof(tail), " %02d:%02d:%02d\r\n%d:%02d:%02d:\r\n", s / 3600, (s / 60) % 60, s % 60, n / 3600,
             (n / 60) % 60, n % 60);
    return text + mText + tail;
}

void BmSubtitle::MakeEntry()
{
    uint64_t nowUsec = BmClock::Inst()->Usec();
    int s = static_cast<int>(nowUsec / 1000000) - 1;
    std::lock_guard<std::mutex> lock(mSubtitleMutex);
    if (s == mLastSec)
        return;
    std::string entry = MakeGpsString(s);
    AudioBuffer line;
    line.length = static_cast<int>(entry.size()) + 1;
    line.buffer = static_cast<char*>(g_try_malloc(static_cast<gsize>(line.length)));
    BmAssert(line.buffer != nullptr, "subtitleBuffer.buffer != NULL");
    memcpy(line.buffer, entry.c_str(), static_cast<size_t>(line.length));
    // Before the first text arrives there is no time of its own to go by.
    bool fresh = mTimeStamp != mLastTimeStamp && mTimeStamp != 0;
    uint64_t stamp = fresh ? mTimeStamp : nowUsec;
    line.pts = stamp - 1000000;
    mSubtitleBuffer.Add(line, line.pts);
    mLastSec = s;
    mLastTimeStamp = mTimeStamp;
}

GstClockTime BmSubtitle::NextEntryNsec() const
{
    return mLastSec < 0 ? GST_CLOCK_TIME_NONE : static_cast<GstClockTime>(mLastSec + 1) * GST_SECOND;
}

void BmSubtitle::gStartSubtitleTask()
{
    ArmEntryTask();
    if (mSubtitleBufferDeleteTaskId == 0)
        mSubtitleBufferDeleteTaskId = g_timeout_add(100, gSubtitleBufferDeleteTask, this);
    if (mSubtitleBufferReportTaskId == 0)
        mSubtitleBufferReportTaskId = g_timeout_add_seconds(600, gSubtitleBufferReportTask, this);
}

void BmSubtitle::ArmEntryTask()
{
    // Each entry is made just after its second is over: the recordings'
    // muxer waits for the subtitle track to reach a GOP's end before it takes
    // that GOP, so a late entry holds the whole recording back.
    if (mSubtitleReadGpsTaskId == 0)
        mSubtitleReadGpsTaskId =
            g_timeout_add(static_cast<guint>(1000 - BmClock::Inst()->Msec() % 1000) + 1, gSubtitleReadGpsTask, this);
}

void BmSubtitle::gStopSubtitleTask()
{
    for (guint* id : {&mSubtitleBufferDeleteTaskId, &mSubtitleBufferReportTaskId}) {
        if (*id != 0)
            g_source_remove(*id);
        *id = 0;
    }
}
