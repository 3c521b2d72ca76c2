#pragma once
// The decoder and display path of playback: gathers the NAL units of one
// access unit, feeds them to a decoder channel of the media platform and
// hands every decoded picture to the display. The demuxer's streaming thread
// writes units in; a task on the engine loop takes pictures out.

#include "bmworks/BmTypes.h"
#include "mpp_comm/soc_vdec.h"

#include <glib.h>

class BmPlayer {
public:
    // The input buffer: one access unit, gathered without copying it again.
    static constexpr int32_t kInputBytes = 4194304;

    int Init();
    // On the engine thread: decoder channel, display channel, buffers and task.
    int Start();
    void Stop();
    // On the streaming thread: one NAL unit; a unit with a new time stamp
    // sends the units gathered before it as one frame.
    void WriteStream(const Nal& nal, bool hasPts);
    // One step of the decoder task: a picture, if any, to the display.
    void ShowDecodedPicture();
    // A raw picture (luma, then half as many chroma bytes) to the display,
    // without waiting; the playback path does not use it.
    void WriteFrame(const Nal& nal);

    VideoFormat mFormat = {960, 540, 275, H265};
    int32_t mVideoOutChannelId = 0;
    int32_t mVideoOutLayerId = 0;
    int32_t mVideoDecoderId = 0;
    int32_t mVideoOutPriority = 1;
    VIDEO_FRAME_INFO_S mVideoFrame = {};
    VDEC_STREAM_S mVdecFrame = {};
    uint64_t mLastPts = 0; // microseconds
    int32_t mLastOffset = 0;
    uint64_t mLastTimeMsec = 0;
    uintptr_t mPhysicalVoAddr = 0;
    uint8_t* pVirtualVoAddr = nullptr;
    uintptr_t mPhysicalVdAddr = 0;
    uint8_t* pVirtualVdAddr = nullptr;
    guint mVideoDecoderTaskId = 0;
    // The access unit being gathered did not fit and is being skipped.
    bool mDropping = false;

private:
    int CreateVideoDecoder();
    void DestroyVideoDecoder();
    int AllocVideoFrame();
    void FreeVideoFrame();
    int AllocVideoDecoderFrame();
    void FreeVideoDecoderFrame();
    void SendPending();
};
